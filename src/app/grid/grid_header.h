// The grid's title row: captions on two text lines and drawn sort indicators.
#pragma once

#include <QHeaderView>
#include <array>

#include "app/grid/column_layout.h"

namespace zond::app {

class GridHeader : public QHeaderView {
    Q_OBJECT

  public:
    GridHeader(const std::array<ColumnLayout, kGridColumns.size()>& columns, QWidget* parent);

    QSize sizeHint() const override;

  signals:
    // A click on a title (not a border drag), with the keys held when it was pressed.
    void titleClicked(int column, Qt::KeyboardModifiers modifiers);

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    const std::array<ColumnLayout, kGridColumns.size()>& columns_;
    Qt::KeyboardModifiers pressModifiers_;
};

}  // namespace zond::app
