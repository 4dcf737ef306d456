// Readings for the resistance analysis from an open measurement table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "analysis/wall_resistance.h"
#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"

namespace zond::analysis {

// The rows of the given records (the grid's selection), in any order. A row whose date, time or
// either temperature cannot be read (empty, text, ">320.0") is counted in `leftOut`; a q that
// cannot be read (empty, text) leaves that channel of the row out and is counted in
// `fluxLeftOut`. Temperatures may use a decimal comma or point; the channels are q1 … q(EN_CH).
Readings loadReadings(const dbf::DbfTable& table,
                      const measurement::MeasurementFieldIndexes& fields,
                      std::span<const std::uint32_t> records);

// Rows `first` to `last` (1-based, both included) of the table's current order: file order for a
// table without a selected index. Throws std::out_of_range outside 1 … rowCount().
Readings loadReadingRange(const dbf::DbfTable& table,
                          const measurement::MeasurementFieldIndexes& fields, std::size_t first,
                          std::size_t last);

// Every live row.
Readings loadAllReadings(const dbf::DbfTable& table,
                         const measurement::MeasurementFieldIndexes& fields);

}  // namespace zond::analysis
