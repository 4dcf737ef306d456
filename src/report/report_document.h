// Laid-out report pages as a compact display list: positioned texts, lines and rectangles in
// layout units. Painting, saving, searching and printing all work from this.
#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

#include "report/report_template.h"

namespace zond::report {

struct PageItem {
    enum class Kind : quint8 { Text, Line, Rect };

    Kind kind = Kind::Text;
    quint16 style = 0;  // index into ReportDocument::styles, texts only
    // Texts and rectangles: the box. Lines: from (x, y) to (x + width, y + height).
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    QString text;

    friend bool operator==(const PageItem&, const PageItem&) = default;
};

struct ReportPage {
    std::vector<PageItem> items;

    friend bool operator==(const ReportPage&, const ReportPage&) = default;
};

struct ReportDocument {
    double pageWidth = 0;
    double pageHeight = 0;
    double lineWidth = 1;
    std::vector<TextStyle> styles;
    std::vector<ReportPage> pages;

    friend bool operator==(const ReportDocument&, const ReportDocument&) = default;
};

// Where a searched text was found.
struct TextPosition {
    int page = 0;  // 0-based
    int item = 0;

    friend bool operator==(const TextPosition&, const TextPosition&) = default;
};

// The first text item after `after` (or from the start) that contains `needle`, ignoring case;
// the search wraps round to the first page.
std::optional<TextPosition> findText(const ReportDocument& document, const QString& needle,
                                     std::optional<TextPosition> after = std::nullopt);

}  // namespace zond::report
