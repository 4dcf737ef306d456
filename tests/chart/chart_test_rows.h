// Selected rows for the chart tests, written as the grid snapshots them, and the values a chart
// line shows.
#pragma once

#include <QDateTime>
#include <QLineSeries>
#include <QList>
#include <string>

#include "measurement/row_snapshot.h"

namespace zond::chart::testing {

struct RowValues {
    std::string date;
    std::string time;
    std::string q1 = "1";
    std::string q2 = "2";
    std::string q3 = "3";
    std::string tIn = "20";
    std::string tExt = "-5";
};

inline measurement::RowSnapshot snapshot(const RowValues& v, std::uint32_t record = 1) {
    measurement::RowSnapshot row;
    row.record = record;
    row.values = {v.q1, v.q2, v.q3, v.tIn, v.tExt, "0", v.date, v.time};
    return row;
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
