#include "report/windows/page_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace zond::report {

PageView::PageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PageView::~PageView() = default;

void PageView::setDocument(const ReportDocument* document) {
    document_ = document;
    painter_ = document ? std::make_unique<PagePainter>(*document) : nullptr;
    highlight_.reset();
    resizeToPages();
    update();
}

void PageView::setZoom(double zoom, int pagesPerRow) {
    zoom_ = zoom;
    pagesPerRow_ = std::max(1, pagesPerRow);
    resizeToPages();
    update();
}

double PageView::dotsPerInch() const {
    return logicalDpiX();
}

QSizeF PageView::unzoomedPageSize() const {
    if (!document_) {
        return {};
    }
    const double scale = dotsPerInch() / kUnitsPerInch;
    return {document_->pageWidth * scale, document_->pageHeight * scale};
}

QRect PageView::pageRect(int page) const {
    const QSizeF size = unzoomedPageSize() * zoom_;
    const int width = static_cast<int>(std::lround(size.width()));
    const int height = static_cast<int>(std::lround(size.height()));
    const int column = page % pagesPerRow_;
    const int row = page / pagesPerRow_;
    // Pages are centred when the view is wider than they need.
    const int rowWidth = pagesPerRow_ * width + (pagesPerRow_ + 1) * kGap;
    const int left = std::max(0, (this->width() - rowWidth) / 2);
    return {left + kGap + column * (width + kGap), kGap + row * (height + kGap), width, height};
}

QRect PageView::itemRect(TextPosition position) const {
    const PageItem& item = document_->pages.at(static_cast<std::size_t>(position.page))
                               .items.at(static_cast<std::size_t>(position.item));
    const double scale = dotsPerInch() / kUnitsPerInch * zoom_;
    const QRect page = pageRect(position.page);
    return QRectF(page.left() + item.x * scale, page.top() + item.y * scale, item.width * scale,
                  item.height * scale)
        .toAlignedRect();
}

int PageView::pageAt(QPoint point) const {
    if (!document_ || document_->pages.empty()) {
        return 0;
    }
    const int rowHeight = pageRect(0).height() + kGap;
    const int row = std::max(0, (point.y() - kGap / 2) / std::max(1, rowHeight));
    const int last = static_cast<int>(document_->pages.size()) - 1;
    return std::min(last, row * pagesPerRow_);
}

void PageView::setHighlight(std::optional<TextPosition> position) {
    highlight_ = position;
    update();
}

void PageView::resizeToPages() {
    if (!document_) {
        setMinimumSize(0, 0);
        return;
    }
    const int pages = static_cast<int>(document_->pages.size());
    const QRect last = pageRect(pages - 1);
    const QRect firstRowEnd = pageRect(std::min(pages, pagesPerRow_) - 1);
    setMinimumSize(firstRowEnd.right() - pageRect(0).left() + 2 * kGap, last.bottom() + kGap);
}

void PageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    if (!document_) {
        return;
    }
    // Frames stay crisp one-pixel lines on screen; only text is smoothed.
    painter.setRenderHint(QPainter::TextAntialiasing);
    const int pages = static_cast<int>(document_->pages.size());
    const int rowHeight = pageRect(0).height() + kGap;
    const int firstRow = std::max(0, (event->rect().top() - kGap) / std::max(1, rowHeight));
    for (int page = firstRow * pagesPerRow_; page < pages; ++page) {
        const QRect area = pageRect(page);
        if (area.top() > event->rect().bottom()) {
            break;
        }
        if (!area.intersects(event->rect())) {
            continue;
        }
        painter.fillRect(area.translated(3, 3), QColor(0, 0, 0, 80));
        painter.fillRect(area, Qt::white);
        painter.save();
        painter.setClipRect(area);
        painter.translate(area.topLeft());
        painter.scale(zoom_, zoom_);
        painter_->paint(painter, page, dotsPerInch());
        painter.restore();
        ++paintedPages_;
        if (highlight_ && highlight_->page == page) {
            painter.fillRect(itemRect(*highlight_), QColor(255, 200, 0, 110));
        }
    }
}

}  // namespace zond::report
