// Import of the instrument's memory image into an open measurement table: one posted row per
// image record, either all of them (a new table) or those newer than the table's last row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "dbf/dbf_table.h"
#include "instrument/device_data.h"
#include "measurement/measurement_schema.h"

namespace zond::instrument {

enum class ImportMode { Create, Append };

// The import stopped at a record it cannot take (an impossible date, a value out of range); the
// rows before it are in the table. what() is the record's own error, then a sentence naming the
// record (its place in the memory and its date) and the rows kept.
class ImportStoppedError : public measurement::FillStoppedError {
  public:
    ImportStoppedError(std::string_view cause, std::size_t recordNumber,
                       std::string_view recordMoment, std::size_t rowsKept);
    std::size_t recordNumber() const { return recordNumber_; }
    std::size_t rowsKept() const { return rowsKept_; }

  private:
    std::size_t recordNumber_;
    std::size_t rowsKept_;
};

struct ImportResult {
    std::size_t skipped = 0;  // records the table already held (append mode)
    std::size_t added = 0;    // rows appended
    bool cancelled = false;
};

// Told after each batch of posted rows (up to 64) how many of how many are done; returning false
// stops the import (the rows posted so far stay).
using ImportProgress = std::function<bool(std::size_t done, std::size_t total)>;

// Records the image holds: its record count, but never more than the bytes that arrived carry.
std::size_t imageRecordCount(std::span<const std::uint8_t> image);

// When the image's count announces more records than arrived, the warning that says so (both
// numbers); empty otherwise.
std::string shortImageWarning(std::span<const std::uint8_t> image);

// Appends the image's records to `table`, whose measurement fields are `fields` (nothing happens
// when it is not open). In append mode the table must be in file order, so its last row is the one
// added last. `info` receives the sensor code substitution. The rows are on disk when it returns.
// Throws dbf::DbfError before any row is written when the table's code page cannot hold the
// texts of the rows; ImportStoppedError at a record it cannot decode, the rows before it kept.
ImportResult importRecords(dbf::DbfTable& table, const measurement::MeasurementFieldIndexes& fields,
                           DeviceInfo& info, std::span<const std::uint8_t> image, ImportMode mode,
                           char decimalSeparator, const ImportProgress& progress = {});

}  // namespace zond::instrument
