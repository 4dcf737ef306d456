// What the grid keeps for each selected row, and what the charts read.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zond::measurement {

// The fields a snapshot holds, in index order.
inline constexpr std::array<std::string_view, 8> kSnapshotFields = {
    "TAVIS_1", "TAVIS_2", "TAVIS_3", "T_IN", "T_EXT", "TIME_SEC", "DATE", "TIME"};
inline constexpr std::string_view kSnapshotFieldList =
    "TAVIS_1;TAVIS_2;TAVIS_3;T_IN;T_EXT;TIME_SEC;DATE;TIME";

struct RowSnapshot {
    std::uint32_t record = 0;  // position in the table file, 1-based
    // Field values as text, in kSnapshotFields order: text fields as the table returns them,
    // numbers in their shortest round-trip form with '.', null as an empty text.
    std::array<std::string, 8> values;
};

}  // namespace zond::measurement
