// Rows for the chart tests, written into a table as the import writes them, and the values a
// chart line shows.
#pragma once

#include <QDateTime>
#include <QLineSeries>
#include <QList>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"

namespace zond::chart::testing {

struct RowValues {
    std::string date;
    std::string time;
    std::string q1 = "1";  // empty: null
    std::string q2 = "2";
    std::string q3 = "3";
    std::string tIn = "20";
    std::string tExt = "-5";
};

// A table of the rows in its own folder; records 1, 2, … in the rows' order.
struct RowTable {
    QTemporaryDir folder;
    dbf::DbfTable table;
    std::vector<std::uint32_t> records;
};

inline std::unique_ptr<RowTable> tableOf(const std::vector<RowValues>& rows) {
    auto made = std::make_unique<RowTable>();
    const std::filesystem::path path = made->folder.filePath("rows.db").toStdString();
    measurement::createMeasurementTable(path);
    const auto f = measurement::openMeasurementTable(made->table, path);
    for (const RowValues& v : rows) {
        auto record = made->table.blankRecord();
        record.setInteger(f.enCh, 3);
        record.setText(f.date, v.date);
        record.setText(f.time, v.time);
        record.setText(f.tavis1, v.q1);
        record.setText(f.tavis2, v.q2);
        record.setText(f.tavis3, v.q3);
        record.setText(f.tIn, v.tIn);
        record.setText(f.tExt, v.tExt);
        made->records.push_back(made->table.append(record));
    }
    return made;
}

inline double msecs(int y, int m, int d, int h, int min, int s) {
    return static_cast<double>(QDateTime(QDate(y, m, d), QTime(h, min, s)).toMSecsSinceEpoch());
}

// The y values of a chart line, left to right.
inline QList<qreal> yValues(const QLineSeries* series) {
    QList<qreal> values;
    for (const QPointF& point : series->points()) {
        values << point.y();
    }
    return values;
}

}  // namespace zond::chart::testing
