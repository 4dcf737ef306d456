// The large measurement table the table-file benchmarks work on.
#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"

namespace zond::bench {

inline constexpr std::uint32_t kBenchRows = 1'000'000;

// Appends `rows` measurement rows to an open table, each with its own values, as the import does;
// with `withComments`, every tenth row carries a user's comment, as the report prints them.
inline void appendMeasurementRows(dbf::DbfTable& table,
                                  const measurement::MeasurementFieldIndexes& f, std::uint32_t rows,
                                  bool withComments = false) {
    for (std::uint32_t i = 0; i < rows; ++i) {
        auto record = table.blankRecord();
        record.setInteger(f.n, i % 9999 + 1);
        record.setText(f.mode, i % 2 ? "Оперативный" : "Наблюдения");
        record.setInteger(f.channel, i % 8);
        record.setInteger(f.enCh, 3);
        record.setText(f.date, "05.03.2009");
        record.setText(f.time, "12:30:15");
        record.setText(f.timeSec, std::to_string(1236256215 + i));
        record.setText(f.type, "ПТП-1/ПТП-2/ПТП-3");
        record.setDouble(f.tavis1, std::sin(i * 0.001) * 1000.0);
        record.setDouble(f.tavis2, i * 0.25);
        record.setDouble(f.tavis3, -0.125 * (i % 1000));
        record.setText(f.tIn, "21.5");
        record.setText(f.tExt, "-40");
        if (withComments && i % 10 == 0) {
            record.setText(f.comment, "Замер у окна, северная стена");
        }
        table.append(record);
    }
}

// Creates a measurement table of `rows` rows at `path`.
inline void writeBenchTable(const std::filesystem::path& path, std::uint32_t rows) {
    measurement::createMeasurementTable(path);
    dbf::DbfTable table;
    appendMeasurementRows(table, measurement::openMeasurementTable(table, path), rows);
}

// Opens the table and walks every live row in display order, summing TAVIS_1.
inline double openWalkSum(const std::filesystem::path& path) {
    dbf::DbfTable table;
    table.open(path);
    const int q1 = table.requireField("TAVIS_1");
    double sum = 0;
    for (bool more = table.first(); more; more = table.next()) {
        sum += table.readDouble(table.currentRecord(), q1);
    }
    return sum;
}

}  // namespace zond::bench
