// The fixed layout of the measurement report: page, bands, cells, texts and fonts.
#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace zond::report {

// Lengths of a report are layout units of 1/91.6256 inch.
inline constexpr double kUnitsPerInch = 91.6256;
inline constexpr double kMmPerInch = 25.4;
inline constexpr double unitsFromMm(double mm) {
    return mm / kMmPerInch * kUnitsPerInch;
}
inline constexpr double mmFromUnits(double units) {
    return units / kUnitsPerInch * kMmPerInch;
}

// Which sides of a cell carry a frame line.
enum FrameSide : quint8 {
    kFrameNone = 0,
    kFrameLeft = 1,
    kFrameTop = 2,
    kFrameRight = 4,
    kFrameBottom = 8,
    kFrameAll = kFrameLeft | kFrameTop | kFrameRight | kFrameBottom,
};

struct TextStyle {
    QString family;
    double pointSize = 10;
    bool bold = false;
    int alignment = 0;  // Qt::Alignment flags
    bool wordWrap = false;

    friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

enum class ValueFormat {
    AsStored,        // the field's stored text
    OneDecimalComma  // a number with one decimal digit and a comma: 12.46 -> "12,5"
};

// A text cell of a band. It spans the band's height; left is measured from the page's edge.
struct TemplateCell {
    double left = 0;
    double width = 0;
    QString text;   // fixed text, when no field is named
    QString field;  // the table field whose value the cell shows
    ValueFormat format = ValueFormat::AsStored;
    TextStyle style;
    quint8 frames = kFrameNone;
};

enum class BandKind { ReportTitle, PageHeader, MasterData, PageFooter };

struct TemplateBand {
    BandKind kind = BandKind::MasterData;
    double height = 0;
    std::vector<TemplateCell> cells;
};

// Placeholders of fixed texts, replaced when the page is laid out.
inline constexpr char16_t kPageNumberTag[] = u"[PAGE#]";
inline constexpr char16_t kTotalPagesTag[] = u"[TOTALPAGES]";

struct ReportTemplate {
    double pageWidth = 0;  // the page as laid out, whatever the printer's setting
    double pageHeight = 0;
    double marginLeft = 0;
    double marginTop = 0;
    double marginRight = 0;
    double marginBottom = 0;
    double frameLineWidth = 1;
    std::vector<TemplateBand> bands;

    const TemplateBand& band(BandKind kind) const;  // throws std::logic_error when missing
};

// The table report: A4 landscape, a title on page 1, a heading row on every page, one data row
// per record and a page counter in every footer.
const ReportTemplate& measurementReportTemplate();

}  // namespace zond::report
