// Lays the report template out over the rows of a table, in two passes: the first counts the
// pages, the second produces them with the page total known.
#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "report/report_document.h"
#include "report/report_template.h"

namespace zond::report {

// The rows a report covers, in the order they are printed.
class ReportRows {
  public:
    virtual ~ReportRows() = default;

    // Names the fields read() returns, in that order; throws when one is missing.
    virtual void bind(const QStringList& fields) = 0;
    virtual std::size_t count() const = 0;
    // The stored texts of the bound fields of one row; nothing for a null value.
    virtual void read(std::size_t row, std::vector<std::optional<QString>>& values) const = 0;
};

enum class LayoutPass { Counting, Producing };

class LayoutProgress {
  public:
    virtual ~LayoutProgress() = default;
    // Called as each page begins: the pages counted so far, or the page being produced.
    // Returning false cancels the layout.
    virtual bool step(LayoutPass pass, int pageNumber) = 0;
};

// The height, in layout units, that a text of the style needs in a cell of the given width (one
// line when it fits). Without one, every data row keeps its band's height.
using TextHeight = std::function<double(const TextStyle&, double width, const QString& text)>;

// The text a data cell shows for a stored value.
QString formatValue(const std::optional<QString>& value, ValueFormat format);

// Nothing when the progress cancelled it; errors of the rows pass through as exceptions. With
// `textHeight`, a data row grows to fit its wrapped texts and the page breaks follow.
std::optional<ReportDocument> layoutReport(const ReportTemplate& report, ReportRows& rows,
                                           LayoutProgress* progress = nullptr,
                                           const TextHeight& textHeight = {});

}  // namespace zond::report
