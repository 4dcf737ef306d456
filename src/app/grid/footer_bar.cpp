#include "app/grid/footer_bar.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace zond::app {

namespace {

constexpr int kPadding = 3;

}  // namespace

FooterBar::FooterBar(const QHeaderView& header,
                     const std::array<ColumnLayout, kGridColumns.size()>& columns, QWidget* parent)
    : QWidget(parent), header_(header), columns_(columns) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    // Follow the columns as they are resized, hidden or scrolled.
    connect(&header, &QHeaderView::sectionResized, this, [this] { update(); });
    connect(&header, &QHeaderView::geometriesChanged, this, [this] { update(); });
    connect(&header, &QHeaderView::sectionMoved, this, [this] { update(); });
}

void FooterBar::setText(int column, const QString& text) {
    auto& slot = texts_[static_cast<std::size_t>(column)];
    if (slot != text) {
        slot = text;
        update();
    }
}

// Only the height: the width follows the columns, which follow the grid.
QSize FooterBar::sizeHint() const {
    return {0, fontMetrics().height() + 2 * kPadding + 1};
}

int FooterBar::originX() const {
    return header_.mapTo(window(), QPoint(0, 0)).x() - mapTo(window(), QPoint()).x();
}

bool FooterBar::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int column = header_.logicalIndexAt(help->pos().x() - originX());
        const QString text = column >= 0 ? texts_[static_cast<std::size_t>(column)] : QString();
        if (text.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void FooterBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int originX = this->originX();
    painter.setPen(QColor(Qt::gray));
    painter.drawLine(0, 0, width(), 0);
    for (int column = 0; column < header_.count(); ++column) {
        if (header_.isSectionHidden(column)) {
            continue;
        }
        const QRect cell(originX + header_.sectionViewportPosition(column), 1,
                         header_.sectionSize(column), height() - 1);
        painter.setPen(QColor(Qt::lightGray));
        painter.drawLine(cell.topRight(), cell.bottomRight());
        const QString& text = texts_[static_cast<std::size_t>(column)];
        if (text.isEmpty()) {
            continue;
        }
        painter.save();
        painter.setClipRect(cell);
        painter.setPen(palette().color(QPalette::ButtonText));
        // A text wider than its column shows its beginning; the tool tip shows all of it.
        const QRect inner = cell.adjusted(kPadding, 0, -kPadding, 0);
        const Qt::Alignment alignment = fontMetrics().horizontalAdvance(text) > inner.width()
                                            ? Qt::AlignLeft
                                            : columns_[static_cast<std::size_t>(column)].alignment;
        painter.drawText(inner, alignment | Qt::AlignVCenter, text);
        painter.restore();
    }
}

}  // namespace zond::app
