// DBGridPro1: the grid over the open measurement table, with its footer line, selection,
// sorting, colours and stored column layout. It reads only the rows it paints.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "grid/column_layout.h"
#include "measurement/channel_statistics.h"
#include "measurement/row_snapshot.h"

namespace zond::dbf {
class DbfTable;
}
namespace zond::ui {
class UserDialogs;
}
class QTableView;

namespace zond::app {

class MeasurementGrid : public QWidget {
    Q_OBJECT

  public:
    // Columns in display order.
    enum Column {
        ColN,
        ColDate,
        ColTime,
        ColMode,
        ColType,
        ColQ1,
        ColQ2,
        ColQ3,
        ColTIn,
        ColTExt,
        ColComment,
        ColumnCount
    };

    explicit MeasurementGrid(QWidget* parent = nullptr);
    ~MeasurementGrid() override;

    // The table the grid shows; nullptr when none is open. The grid never owns it.
    void setTable(dbf::DbfTable* table);
    void setDialogs(ui::UserDialogs* dialogs);
    void setDecimalSeparator(QChar separator);
    void setColumnCaption(Column column, const QString& caption);
    // Whole-table figures, shown in the footers while fewer than two rows are selected.
    void setTableStatistics(const measurement::ChannelStatistics& statistics);

    void tab_vis_en();
    void tab_vis_dis();
    void ClearSort();
    void DeleteSelectedRows();
    void ClearColumnColors();
    void EqualizeColumns();
    void LoadGridLayout(const QString& valueName);
    void SaveGridLayout(const QString& valueName);
    void CommitCellEdit();
    // "Задать цвет" / "Убрать цвет" on the column of the cell cursor.
    void ChooseCurrentColumnColor();
    void ClearCurrentColumnColor();
    // "Перенумеровать строки": N := 1, 2, 3 … in display order. Refused with a message when the
    // rows do not fit the field.
    void RenumberRows();
    // Re-reads the rows after the table changed underneath (append, pack, reopen).
    void reload();

    const std::vector<measurement::RowSnapshot>& selection() const;
    QString footerText(Column column) const;
    // EN_CH of the row under the cell cursor (0 when there is none).
    int currentEnCh() const;
    // Every column's settings as SaveGridLayout stores them, in column order.
    std::vector<ColumnLayout> columnLayouts() const;
    QTableView* tableView() const;

  signals:
    // The in-place editor opened (the table counts as modified from now on).
    void editStarted();
    // Rows were deleted or renumbered; the owner recomputes statistics.
    void rowsChanged();
    void selectionChanged();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zond::app
