// The footer line under the grid's columns: one text per column, aligned with the title row.
#pragma once

#include <QWidget>
#include <array>

#include "app/grid/column_layout.h"

class QHeaderView;

namespace zond::app {

class FooterBar : public QWidget {
    Q_OBJECT

  public:
    FooterBar(const QHeaderView& header,
              const std::array<ColumnLayout, kGridColumns.size()>& columns, QWidget* parent);

    void setText(int column, const QString& text);
    QString text(int column) const { return texts_[static_cast<std::size_t>(column)]; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // Where the title row's x = 0 lies in this widget.
    int originX() const;

    const QHeaderView& header_;
    const std::array<ColumnLayout, kGridColumns.size()>& columns_;
    std::array<QString, kGridColumns.size()> texts_;
};

}  // namespace zond::app
