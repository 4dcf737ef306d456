// The pages of a report side by side or one under another, painted only where they show, so a
// report of any length appears at once.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "report/report_document.h"
#include "report/report_painter.h"

namespace zond::report {

class PageView final : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kGap = 12;  // pixels around and between pages

    explicit PageView(QWidget* parent);
    ~PageView() override;

    void setDocument(const ReportDocument* document);
    void setZoom(double zoom, int pagesPerRow);
    double zoom() const { return zoom_; }
    int pagesPerRow() const { return pagesPerRow_; }

    // One page at zoom 1, in pixels of this screen.
    QSizeF unzoomedPageSize() const;
    QRect pageRect(int page) const;
    QRect itemRect(TextPosition position) const;
    int pageAt(QPoint point) const;  // the nearest page at or above the point
    void setHighlight(std::optional<TextPosition> position);
    // How many pages were painted so far, for checking that painting stays on demand.
    int paintedPages() const { return paintedPages_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double dotsPerInch() const;
    void resizeToPages();

    const ReportDocument* document_ = nullptr;
    std::unique_ptr<PagePainter> painter_;
    double zoom_ = 1;
    int pagesPerRow_ = 1;
    std::optional<TextPosition> highlight_;
    int paintedPages_ = 0;
};

}  // namespace zond::report
