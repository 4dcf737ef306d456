#include "measurement/row_selection.h"

#include <algorithm>

#include "dbf/dbf_table.h"
#include "measurement/channel_statistics.h"
#include "text/number_text.h"

namespace zond::measurement {

namespace {

bool isNumeric(dbf::FieldKind kind) {
    return kind == dbf::FieldKind::Float || kind == dbf::FieldKind::SmallInt ||
           kind == dbf::FieldKind::Int32 || kind == dbf::FieldKind::Int64;
}

bool byRecord(const RowSnapshot& a, const RowSnapshot& b) {
    return a.record < b.record;
}

}  // namespace

void RowSelection::bind(const dbf::DbfTable& table) {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fields_[i] = table.fieldIndex(kSnapshotFields[i]);
    }
}

bool RowSelection::contains(std::uint32_t record) const {
    return std::binary_search(rows_.begin(), rows_.end(), RowSnapshot{record, {}}, byRecord);
}

std::vector<RowSnapshot>::iterator RowSelection::find(std::uint32_t record) {
    return std::lower_bound(rows_.begin(), rows_.end(), RowSnapshot{record, {}}, byRecord);
}

RowSnapshot RowSelection::snapshot(const dbf::DbfTable& table, std::uint32_t record) const {
    RowSnapshot snapshot;
    snapshot.record = record;
    const dbf::DbfRecord row = table.read(record);
    const auto& descriptors = table.fields();
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const int field = fields_[i];
        if (field < 0) {
            continue;
        }
        if (isNumeric(descriptors[static_cast<std::size_t>(field)].kind)) {
            const auto value = row.number(field);
            snapshot.values[i] = value ? text::roundTripText(*value) : std::string();
        } else {
            snapshot.values[i] = row.text(field);
        }
    }
    return snapshot;
}

void RowSelection::selectOnly(const dbf::DbfTable& table, std::uint32_t record) {
    auto taken = snapshot(table, record);
    rows_.clear();
    rows_.push_back(std::move(taken));
}

void RowSelection::toggle(const dbf::DbfTable& table, std::uint32_t record) {
    const auto at = find(record);
    if (at != rows_.end() && at->record == record) {
        rows_.erase(at);
    } else {
        rows_.insert(at, snapshot(table, record));
    }
}

void RowSelection::addDisplayRange(const dbf::DbfTable& table, std::size_t from, std::size_t to) {
    if (from > to) {
        std::swap(from, to);
    }
    std::vector<std::uint32_t> records;
    records.reserve(to - from + 1);
    for (std::size_t row = from; row <= to; ++row) {
        const std::uint32_t record = table.recordAt(row);
        if (!contains(record)) {
            records.push_back(record);
        }
    }
    // Reading in file order keeps neighbouring records together, whatever the display order.
    std::sort(records.begin(), records.end());
    std::vector<RowSnapshot> added;
    added.reserve(records.size());
    for (const std::uint32_t record : records) {
        added.push_back(snapshot(table, record));
    }
    const auto middle = rows_.insert(rows_.end(), std::make_move_iterator(added.begin()),
                                     std::make_move_iterator(added.end()));
    std::inplace_merge(rows_.begin(), middle, rows_.end(), byRecord);
}

void RowSelection::dropRecordsAbove(std::uint32_t recordCount) {
    rows_.erase(find(recordCount + 1), rows_.end());
}

ChannelStatistics RowSelection::statistics() const {
    ChannelStatistics result;
    std::array<double, 3> sum{};
    bool first = true;
    for (const auto& row : rows_) {
        for (std::size_t c = 0; c < 3; ++c) {
            const double value = text::parseNumber(row.values[c]).value_or(0.0);
            if (first) {
                result.minimum[c] = result.maximum[c] = sum[c] = value;
                continue;
            }
            result.minimum[c] = std::min(result.minimum[c], value);
            result.maximum[c] = std::max(result.maximum[c], value);
            sum[c] += value;
        }
        first = false;
    }
    for (std::size_t c = 0; c < 3; ++c) {
        result.average[c] = measurement::roundedAverage(sum[c] / static_cast<double>(rows_.size()));
    }
    return result;
}

}  // namespace zond::measurement
