// Measurement tables with known rows, for the export tests, the interop checks and benchmarks.
#pragma once

#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"

namespace zond::testing {

struct MeasurementRow {
    int n = 0;
    std::string mode;
    std::string date;
    std::string time;
    std::string type;
    double q1 = 0, q2 = 0, q3 = 0;
    std::string tIn;
    std::string tExt;
    std::string comment;
};

// Row i of a table the instrument might have filled: both modes, Cyrillic sensor names, the
// clamped temperature texts, an empty temperature now and then and a comment on every seventh.
inline MeasurementRow sampleMeasurementRow(int i) {
    MeasurementRow row;
    row.n = i % 9999 + 1;  // the field holds four digits
    row.mode = i % 3 == 0 ? "Наблюдения" : "Оперативный";
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.20%02d", i % 28 + 1, i % 12 + 1, 9 + i % 15);
    row.date = text;
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", i % 24, i % 60, (i * 7) % 60);
    row.time = text;
    row.type = i % 2 == 0 ? "диам. 27 мм" : "12X80/НЕТ/110X110";
    row.q1 = (i % 1000) * 1.25 - 200;
    row.q2 = i % 5 == 0 ? 0.0 : (i % 977) * 0.5;
    row.q3 = -(i % 311) * 2.0;
    row.tIn = i % 11 == 0 ? ">320.0" : (i % 13 == 0 ? "" : std::to_string(i % 40) + ".5");
    row.tExt = i % 17 == 0 ? "-40" : "-" + std::to_string(i % 30) + ".25";
    row.comment = i % 7 == 0 ? "Замер №" + std::to_string(i) : "";
    return row;
}

inline std::vector<MeasurementRow> sampleMeasurementRows(int count) {
    std::vector<MeasurementRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        rows.push_back(sampleMeasurementRow(i));
    }
    return rows;
}

inline void appendMeasurementRows(dbf::DbfTable& table, std::span<const MeasurementRow> rows) {
    namespace field = measurement::field;
    const auto index = [&](std::string_view name) { return table.requireField(name); };
    for (const auto& row : rows) {
        auto record = table.blankRecord();
        record.setInteger(index(field::kN), row.n);
        record.setText(index(field::kMode), row.mode);
        record.setInteger(index(field::kChannel), 1);
        record.setInteger(index(field::kEnCh), 3);
        record.setText(index(field::kDate), row.date);
        record.setText(index(field::kTime), row.time);
        record.setText(index(field::kTimeSec), "0");
        record.setText(index(field::kType), row.type);
        record.setDouble(index(field::kTavis1), row.q1);
        record.setDouble(index(field::kTavis2), row.q2);
        record.setDouble(index(field::kTavis3), row.q3);
        record.setText(index(field::kTIn), row.tIn);
        record.setText(index(field::kTExt), row.tExt);
        record.setText(index(field::kComment), row.comment);
        table.append(record);
    }
}

// A new measurement table at `path` holding `rows`, closed again.
inline void writeMeasurementTable(const std::filesystem::path& path,
                                  std::span<const MeasurementRow> rows) {
    measurement::createMeasurementTable(path);
    dbf::DbfTable table;
    measurement::openMeasurementTable(table, path);
    appendMeasurementRows(table, rows);
    table.close();
}

}  // namespace zond::testing
