// grid_: the grid over the open measurement table, with its footer line, selection,
// sorting, colours and stored column layout. It reads only the rows it paints.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/grid/column_layout.h"
#include "chart/chart_data.h"
#include "dbf/dbf_table.h"
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

    // The table the grid shows; nullptr while it is being closed or reopened. The grid never owns
    // it. Setting it empties the selection.
    void setTable(dbf::DbfTable* table);
    void setDialogs(ui::UserDialogs* dialogs);
    void setDecimalSeparator(QChar separator);
    void setColumnCaption(Column column, const QString& caption);
    // Whole-table figures, shown in the footers while fewer than two rows are selected.
    void setTableStatistics(const measurement::ChannelStatistics& statistics);

    // Shows the grid over the open table (re-reading its rows), q2 and q3 only when the first
    // row's EN_CH is above 1; hideColumns hides it and empties the selection.
    void showColumns();
    void hideColumns();
    // Every indicator to none; with a table open, back to file order without the "tab1" tag.
    void clearSort();
    // Removes the sort, deletes the selected rows, packs the table and reopens it. Table errors
    // are thrown as dbf::DbfError; the owner then clears its modified flag and recomputes the
    // statistics. Returns the rows removed, for restoreRemovedRows.
    dbf::RemovedRecords deleteSelectedRows();
    // Puts rows a deletion removed back in their places in the file and shows them.
    void restoreRemovedRows(const dbf::RemovedRecords& removed);
    void clearColumnColors();
    void equalizeColumns();
    // A missing or unreadable stored value is replaced by equal widths, stored at once.
    void loadLayout(const QString& valueName);
    void saveLayout(const QString& valueName);
    void commitCellEdit();
    // "Задать цвет" / "Убрать цвет" on the column of the cell cursor.
    void chooseCurrentColumnColor();
    void clearCurrentColumnColor();
    // "Перенумеровать строки": N := 1, 2, 3 … in display order. Refused with a message when the
    // rows do not fit the field.
    void renumberRows();
    // Re-reads the rows after the table changed underneath (import, another index selected),
    // keeping the cell cursor on its record.
    void reload();

    // "Выделить все": every row of the table.
    void selectAll();
    // Runs `reopen`, which closes the table and opens it again unchanged, keeping the selection,
    // the cell cursor and the scroll position.
    void keepViewWhile(const std::function<void()>& reopen);

    const std::vector<measurement::RowSnapshot>& selection() const;
    // The records a chart plots: the selected ones, or every row when none is selected.
    std::vector<std::uint32_t> chartRecords() const;
    QString footerText(Column column) const;
    // EN_CH of the row under the cell cursor (0 when there is none).
    int currentEnCh() const;
    // Every column's settings as saveLayout stores them, in column order.
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
    // Runs a change of the table's file, reopens the table and reloads the grid in any outcome.
    void changeTable(const std::function<void()>& change);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The footer texts of the grid columns the five series belong to, in series order.
inline chart::SeriesTexts chartFooters(const MeasurementGrid& grid) {
    return {grid.footerText(MeasurementGrid::ColQ1), grid.footerText(MeasurementGrid::ColQ2),
            grid.footerText(MeasurementGrid::ColQ3), grid.footerText(MeasurementGrid::ColTExt),
            grid.footerText(MeasurementGrid::ColTIn)};
}

}  // namespace zond::app
