// The open table as an item model. Rows are the table's display order; a row's record is read
// only when the view asks for one of its cells, and the last one read is kept for the next cells.
#pragma once

#include <QAbstractTableModel>
#include <array>
#include <cstdint>
#include <optional>

#include "app/grid/column_layout.h"
#include "dbf/dbf_table.h"

namespace zond::measurement {
class RowSelection;
}

namespace zond::app {

class MeasurementModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    // True for the cells of selected rows (drawn filled).
    static constexpr int kSelectedRole = Qt::UserRole + 1;

    MeasurementModel(const std::array<ColumnLayout, kGridColumns.size()>& columns,
                     const std::array<QString, kGridColumns.size()>& captions,
                     const measurement::RowSelection& selection, QObject* parent = nullptr);

    void setTable(dbf::DbfTable* table);
    dbf::DbfTable* table() const { return table_; }
    bool tableOpen() const { return table_ != nullptr && table_->isOpen(); }
    void setDecimalSeparator(char separator);
    // The table changed underneath (reopened, re-sorted, rows removed): start over.
    void reload();
    // The selection or the column colours changed: repaint without re-reading.
    void repaintAll();

    std::optional<std::uint32_t> recordAt(int row) const;
    int fieldOf(int column) const { return fields_[static_cast<std::size_t>(column)]; }
    // Width of COMMENT in code-page characters.
    int commentWidth() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  signals:
    // A comment could not be written; the text says why.
    void writeFailed(const QString& text);

  private:
    const dbf::DbfRecord* recordOfRow(int row) const;
    QString cellText(const dbf::DbfRecord& record, int column) const;

    const std::array<ColumnLayout, kGridColumns.size()>& columns_;
    const std::array<QString, kGridColumns.size()>& captions_;
    const measurement::RowSelection& selection_;
    dbf::DbfTable* table_ = nullptr;
    char decimalSeparator_ = '.';
    std::array<int, kGridColumns.size()> fields_{};
    int rows_ = 0;

    // The record last read, for the other cells of the same row.
    mutable std::uint32_t cachedRecord_ = 0;
    mutable dbf::DbfRecord cached_;
};

}  // namespace zond::app
