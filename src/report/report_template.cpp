#include "report/report_template.h"

#include <stdexcept>
#include <string_view>

#include "measurement/measurement_schema.h"

namespace zond::report {

namespace {

// Metric-compatible faces stand in for Arial where it is not installed (Liberation Sans).
const QString kFontFamily = QStringLiteral("Arial");

constexpr int kCentred = Qt::AlignHCenter | Qt::AlignVCenter;

TextStyle font(double pointSize, bool bold, int alignment, bool wordWrap) {
    return TextStyle{kFontFamily, pointSize, bold, alignment, wordWrap};
}

struct Column {
    double left;
    double width;
    const char16_t* heading;  // empty for the two-cell temperature headings
    std::string_view field;
    ValueFormat format;
};

namespace field = measurement::field;

constexpr Column kColumns[] = {
    {25, 61, u"N", field::kN, ValueFormat::AsStored},
    {86, 88, u"Дата", field::kDate, ValueFormat::AsStored},
    {174, 72, u"Время", field::kTime, ValueFormat::AsStored},
    {246, 121, u"Режим", field::kMode, ValueFormat::AsStored},
    {367, 155, u"Тип преобразователя", field::kType, ValueFormat::AsStored},
    {522, 94, u"q1, Вт/кв.м", field::kTavis1, ValueFormat::OneDecimalComma},
    {616, 94, u"q2, Вт/кв.м", field::kTavis2, ValueFormat::OneDecimalComma},
    {710, 94, u"q3, Вт/кв.м", field::kTavis3, ValueFormat::OneDecimalComma},
    {804, 72, u"", field::kTIn, ValueFormat::AsStored},
    {876, 72, u"", field::kTExt, ValueFormat::AsStored},
    {948, 97, u"Примеч.", field::kComment, ValueFormat::AsStored},
};

// A temperature heading reads as one cell: a large "t" and its index beside it.
void addTemperatureHeading(TemplateBand& band, double left, const char16_t* index) {
    constexpr double kLetterWidth = 20;
    constexpr double kIndexWidth = 52;
    band.cells.push_back(TemplateCell{left,
                                      kLetterWidth,
                                      QStringLiteral("t"),
                                      {},
                                      ValueFormat::AsStored,
                                      font(14, true, Qt::AlignRight | Qt::AlignVCenter, false),
                                      kFrameLeft | kFrameTop | kFrameBottom});
    band.cells.push_back(TemplateCell{left + kLetterWidth,
                                      kIndexWidth,
                                      QString::fromUtf16(index),
                                      {},
                                      ValueFormat::AsStored,
                                      font(12, true, Qt::AlignLeft | Qt::AlignVCenter, false),
                                      kFrameRight | kFrameTop | kFrameBottom});
}

ReportTemplate buildMeasurementReport() {
    ReportTemplate report;
    report.pageWidth = unitsFromMm(297);
    report.pageHeight = unitsFromMm(210);
    report.marginLeft = 25;
    report.marginTop = 72;
    report.marginRight = 25;
    report.marginBottom = 25;
    report.frameLineWidth = 1;

    TemplateBand title{BandKind::ReportTitle, 64, {}};
    title.cells.push_back(TemplateCell{report.marginLeft,
                                       234,
                                       QStringLiteral("ЗОНД-8Т.05 \"ТАВИС\""),
                                       {},
                                       ValueFormat::AsStored,
                                       font(14, true, Qt::AlignLeft | Qt::AlignTop, false),
                                       kFrameNone});

    TemplateBand headings{BandKind::PageHeader, 60, {}};
    TemplateBand data{BandKind::MasterData, 40, {}};
    for (const Column& column : kColumns) {
        const QString fieldName = QString(
            QLatin1String(column.field.data(), static_cast<qsizetype>(column.field.size())));
        if (column.field == field::kTIn) {
            addTemperatureHeading(headings, column.left, u"в, C");
        } else if (column.field == field::kTExt) {
            addTemperatureHeading(headings, column.left, u"н, C");
        } else {
            headings.cells.push_back(TemplateCell{column.left,
                                                  column.width,
                                                  QString::fromUtf16(column.heading),
                                                  {},
                                                  ValueFormat::AsStored,
                                                  font(12, true, kCentred, true),
                                                  kFrameAll});
        }
        data.cells.push_back(TemplateCell{column.left,
                                          column.width,
                                          {},
                                          fieldName,
                                          column.format,
                                          font(10, false, kCentred, true),
                                          kFrameAll});
    }

    constexpr double kFooterWidth = 202;
    TemplateBand footer{BandKind::PageFooter, 20, {}};
    footer.cells.push_back(
        TemplateCell{report.pageWidth - report.marginRight - kFooterWidth,
                     kFooterWidth,
                     QStringLiteral("Стр. ") + QString::fromUtf16(kPageNumberTag) +
                         QStringLiteral(" из ") + QString::fromUtf16(kTotalPagesTag),
                     {},
                     ValueFormat::AsStored,
                     font(10, false, Qt::AlignRight | Qt::AlignVCenter, false),
                     kFrameNone});

    report.bands = {std::move(title), std::move(headings), std::move(data), std::move(footer)};
    return report;
}

}  // namespace

const TemplateBand& ReportTemplate::band(BandKind kind) const {
    for (const TemplateBand& candidate : bands) {
        if (candidate.kind == kind) {
            return candidate;
        }
    }
    throw std::logic_error("report template lacks a band");
}

const ReportTemplate& measurementReportTemplate() {
    static const ReportTemplate report = buildMeasurementReport();
    return report;
}

}  // namespace zond::report
