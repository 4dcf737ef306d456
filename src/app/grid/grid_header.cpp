#include "app/grid/grid_header.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

namespace zond::app {

namespace {

constexpr int kTextMargin = 2;
constexpr int kIndicatorSize = 7;

void drawSortIndicator(QPainter* painter, const QRect& area, SortIndicator sort) {
    const int half = kIndicatorSize / 2;
    const QPoint centre = area.center();
    const int top = centre.y() - half / 2 - 1;
    const int bottom = top + half + 1;
    QPolygon triangle;
    if (sort == SortIndicator::Up) {
        triangle << QPoint(centre.x() - half, bottom) << QPoint(centre.x() + half, bottom)
                 << QPoint(centre.x(), top);
    } else {
        triangle << QPoint(centre.x() - half, top) << QPoint(centre.x() + half, top)
                 << QPoint(centre.x(), bottom);
    }
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(Qt::darkGray));
    painter->drawPolygon(triangle);
}

}  // namespace

GridHeader::GridHeader(const std::array<ColumnLayout, kGridColumns.size()>& columns,
                       QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), columns_(columns) {
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
    setStretchLastSection(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setMinimumSectionSize(8);
    connect(this, &QHeaderView::sectionClicked, this,
            [this](int column) { emit titleClicked(column, pressModifiers_); });
}

QSize GridHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(2 * fontMetrics().height() + 2 * kTextMargin + 4);
    return size;
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid()) {
        return;
    }
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.text.clear();
    option.sortIndicator = QStyleOptionHeader::None;
    painter->save();
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    // The style may leave an empty clip region behind; everything below stays in the section.
    painter->setClipRect(rect);

    const auto sort = logicalIndex >= 0 && logicalIndex < static_cast<int>(columns_.size())
                          ? columns_[static_cast<std::size_t>(logicalIndex)].sort
                          : SortIndicator::None;
    QRect textRect = rect.adjusted(kTextMargin, kTextMargin, -kTextMargin, -kTextMargin);
    if (sort != SortIndicator::None) {
        const QRect indicator(textRect.right() - kIndicatorSize, textRect.top(), kIndicatorSize,
                              textRect.height());
        textRect.setRight(indicator.left() - 1);
        drawSortIndicator(painter, indicator, sort);
    }
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->setFont(font());
    const QString caption =
        model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    painter->drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap, caption);
    painter->restore();
}

void GridHeader::mousePressEvent(QMouseEvent* event) {
    pressModifiers_ = event->modifiers();
    QHeaderView::mousePressEvent(event);
}

}  // namespace zond::app
