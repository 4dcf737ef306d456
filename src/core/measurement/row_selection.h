// The grid's selected rows: a set of records kept in file order, each with a RowSnapshot taken
// when it was selected. Only selected rows are ever read into objects.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "measurement/channel_statistics.h"
#include "measurement/row_snapshot.h"

namespace zond::dbf {
class DbfTable;
}

namespace zond::measurement {

class RowSelection {
  public:
    // Resolves the snapshot fields of the table; call before selecting rows of it.
    void bind(const dbf::DbfTable& table);

    const std::vector<RowSnapshot>& rows() const { return rows_; }
    std::size_t size() const { return rows_.size(); }
    bool contains(std::uint32_t record) const;

    void clear() { rows_.clear(); }
    void selectOnly(const dbf::DbfTable& table, std::uint32_t record);
    // Ctrl+click: in if it was out, out if it was in.
    void toggle(const dbf::DbfTable& table, std::uint32_t record);
    // Adds the rows between two display positions, both included, in either order.
    void addDisplayRange(const dbf::DbfTable& table, std::size_t from, std::size_t to);
    // Forgets records the table no longer has (after rows were removed from its end).
    void dropRecordsAbove(std::uint32_t recordCount);

    // Minimum, rounded average and maximum of the three heat-flux channels over the selection,
    // in selection order; the selection must not be empty.
    ChannelStatistics statistics() const;

  private:
    RowSnapshot snapshot(const dbf::DbfTable& table, std::uint32_t record) const;
    std::vector<RowSnapshot>::iterator find(std::uint32_t record);

    std::array<int, kSnapshotFields.size()> fields_{};
    std::vector<RowSnapshot> rows_;  // ascending record
};

}  // namespace zond::measurement
