// Draws laid-out pages on any paint device: the preview, a printer or a PDF file.
#pragma once

#include <QFont>
#include <QPageLayout>
#include <QString>
#include <functional>
#include <stdexcept>
#include <vector>

#include "report/report_document.h"
#include "report/report_layout.h"

class QPainter;
class QPagedPaintDevice;
class QPdfWriter;

namespace zond::report {

// A failure to write or print, with the text the user sees.
class ReportOutputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class PagePainter {
  public:
    explicit PagePainter(const ReportDocument& document);

    // Paints one page with its top-left corner at the painter's origin. The painter's logical
    // coordinates have `dotsPerInch` per inch, the resolution its device sizes fonts by; any
    // scaling set on the painter (a zoom) applies on top.
    void paint(QPainter& painter, int page, double dotsPerInch) const;

  private:
    const ReportDocument& document_;
    std::vector<QFont> fonts_;
};

// The font a text style is painted with.
QFont fontOf(const TextStyle& style);

// Measures texts with the fonts the pages are painted with, wrapped as they are painted (at word
// boundaries, or inside a word too long for the cell). Needs a QGuiApplication.
TextHeight paintedTextHeight();

// The paper of a report: its own page size and orientation, no margins.
QPageLayout pageLayoutOf(const ReportDocument& document);

// Paints the given pages (0-based, in this order) onto a printer or PDF writer, one sheet each.
void paintPages(QPagedPaintDevice& device, const ReportDocument& document,
                const std::vector<int>& pages);

// A PDF file titled `title`, painted by `paint` and put in place only when complete. Throws
// fileio::FileWriteError with the cause when it cannot be written or `paint` throws
// ReportOutputError.
void writePdfFile(const QString& path, const QString& title,
                  const std::function<void(QPdfWriter&)>& paint);

// All pages, as a PDF file with embedded fonts.
void writePdf(const ReportDocument& document, const QString& path);

}  // namespace zond::report
