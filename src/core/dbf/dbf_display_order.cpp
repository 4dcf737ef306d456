// The display order of a table (file order or the selected sort index, live records only) and
// the cursor over it.
#include <algorithm>

#include "dbf/dbf_table.h"
#include "dbf/dbf_table_impl.h"

namespace zond::dbf {

std::vector<std::uint32_t> DbfTable::Impl::fileOrder() const {
    std::vector<std::uint32_t> records;
    records.reserve(header.recordCount);
    scanRecords(file, [&](std::uint32_t record, const std::uint8_t* bytes) {
        if (bytes[0] != kDeletedFlag) {
            records.push_back(record);
        }
    });
    return records;
}

std::size_t DbfTable::Impl::placeOf(std::uint32_t record) const {
    if (selected) {
        return sortedPlaceOf(tags[*selected], record);
    }
    return static_cast<std::size_t>(std::lower_bound(order.begin(), order.end(), record) -
                                    order.begin());
}

std::optional<std::size_t> DbfTable::Impl::rowOf(std::uint32_t record) const {
    if (!selected) {
        const auto it = std::lower_bound(order.begin(), order.end(), record);
        if (it != order.end() && *it == record) {
            return static_cast<std::size_t>(it - order.begin());
        }
        return std::nullopt;
    }
    const auto it = std::find(order.begin(), order.end(), record);
    if (it == order.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(it - order.begin());
}

std::size_t DbfTable::Impl::insertIntoOrder(std::uint32_t record) {
    const std::size_t at = placeOf(record);
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), record);
    if (at <= row && order.size() > 1) {
        ++row;  // stay on the same record
    }
    return at;
}

void DbfTable::Impl::removeFromOrder(std::uint32_t record) {
    const auto at = rowOf(record);
    if (!at) {
        return;
    }
    order.erase(order.begin() + static_cast<std::ptrdiff_t>(*at));
    if (*at < row) {
        --row;
    }
    clampCursor();
}

void DbfTable::Impl::removeFromOrder(const std::vector<bool>& gone) {
    std::size_t kept = 0;
    std::size_t removedBeforeRow = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (!gone[order[i]]) {
            order[kept++] = order[i];
        } else if (i < row) {
            ++removedBeforeRow;
        }
    }
    order.resize(kept);
    row -= removedBeforeRow;
    clampCursor();
}

void DbfTable::Impl::clampCursor() {
    if (order.empty()) {
        row = 0;
        atEof = true;
    } else if (row >= order.size()) {
        row = order.size() - 1;
    }
}

void DbfTable::Impl::rebuildOrder(std::optional<std::uint32_t> keep) {
    order = selected ? sortedOrder(tags[*selected]) : fileOrder();
    row = 0;
    atEof = order.empty();
    if (keep) {
        if (const auto at = rowOf(*keep)) {
            row = *at;
        }
    }
}

std::optional<std::uint32_t> DbfTable::Impl::currentRecord() const {
    if (order.empty()) {
        return std::nullopt;
    }
    return order[std::min(row, order.size() - 1)];
}

std::size_t DbfTable::liveCount() const {
    return impl_->order.size();
}
std::size_t DbfTable::rowCount() const {
    return impl_->order.size();
}

std::uint32_t DbfTable::recordAt(std::size_t row) const {
    if (row >= impl_->order.size()) {
        throw DbfError("Row " + std::to_string(row) + " out of range.");
    }
    return impl_->order[row];
}

std::optional<std::size_t> DbfTable::rowOf(std::uint32_t record) const {
    return impl_->rowOf(record);
}

bool DbfTable::first() {
    Impl& s = *impl_;
    s.row = 0;
    s.atEof = s.order.empty();
    return !s.atEof;
}

bool DbfTable::next() {
    Impl& s = *impl_;
    if (!s.atEof && s.row + 1 < s.order.size()) {
        ++s.row;
        return true;
    }
    s.atEof = true;
    return false;
}

bool DbfTable::last() {
    Impl& s = *impl_;
    s.atEof = s.order.empty();
    s.row = s.atEof ? 0 : s.order.size() - 1;
    return !s.atEof;
}

bool DbfTable::eof() const {
    return impl_->atEof;
}

bool DbfTable::moveToRecord(std::uint32_t record) {
    Impl& s = *impl_;
    const auto at = s.rowOf(record);
    if (!at) {
        return false;
    }
    s.row = *at;
    s.atEof = false;
    return true;
}

std::uint32_t DbfTable::currentRecord() const {
    return impl_->currentRecord().value_or(0);
}

void DbfTable::refresh() {
    Impl& s = *impl_;
    s.requireOpen();
    s.cache.invalidate();
    s.rebuildOrder(s.currentRecord());
}

}  // namespace zond::dbf
