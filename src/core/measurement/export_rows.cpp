#include "measurement/export_rows.h"

#include <algorithm>

#include "text/byte_order.h"
#include "text/codepage.h"

namespace zond::measurement {

namespace {

// The table in file order: the sort index goes; a failure there changes nothing that matters.
void clearSort(dbf::DbfTable& table) {
    try {
        table.selectIndex(std::nullopt);
        table.dropSortIndex("tab1");
        table.refresh();
    } catch (const std::exception&) {
    }
}

}  // namespace

ExportRowReader::ExportRowReader(dbf::DbfTable& table) : table_(table) {
    for (std::size_t c = 0; c < kExportColumns.size(); ++c) {
        fieldIndex_[c] = table.requireField(kExportColumns[c].field);
    }
    channelCountIndex_ = table.fieldIndex(field::kEnCh);
    rowCount_ = table.liveCount();
    clearSort(table);
    table.first();
}

bool ExportRowReader::next() {
    if (rowsRead_ == rowCount_) {
        return false;
    }
    if (rowsRead_ > 0) {
        table_.next();
    }
    record_ = table_.current();
    ++rowsRead_;
    return true;
}

long long ExportRowReader::integer(std::size_t column) const {
    return record_.asInteger(fieldIndex_[column]);
}

std::optional<double> ExportRowReader::number(std::size_t column) const {
    return record_.number(fieldIndex_[column]);
}

std::optional<double> ExportRowReader::measuredNumber(std::size_t column) const {
    // q1 is always shown, as in the grid; q2 is channel 2, q3 channel 3.
    constexpr std::array<std::string_view, 2> kOptionalChannels = {field::kTavis2, field::kTavis3};
    const auto channel = std::ranges::find(kOptionalChannels, kExportColumns[column].field);
    if (channel != kOptionalChannels.end() && channelCountIndex_ >= 0) {
        const auto enabled = record_.number(channelCountIndex_);
        if (enabled && static_cast<double>(channel - kOptionalChannels.begin() + 2) > *enabled) {
            return std::nullopt;
        }
    }
    return number(column);
}

// A character field's bytes without trailing spaces. ASCII bytes are the same in UTF-8, so only
// texts with other bytes go through the code page.
std::string_view ExportRowReader::text(std::size_t column) {
    const int index = fieldIndex_[column];
    const auto& field = table_.fields()[static_cast<std::size_t>(index)];
    DecodedText& last = decoded_[column];
    if (field.type != 'C') {
        last.raw.clear();
        last.utf8 = record_.text(index);
        return last.utf8;
    }
    std::string_view raw = bytes::asText(record_.bytes().subspan(
        static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width)));
    const auto end = raw.find_last_not_of(' ');
    raw = end == std::string_view::npos ? std::string_view() : raw.substr(0, end + 1);
    if (std::ranges::all_of(raw, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return raw;
    }
    if (raw != last.raw) {
        last.raw.assign(raw);
        last.utf8 = table_.codePage().decode(raw);
    }
    return last.utf8;
}

}  // namespace zond::measurement
