#include "chart/chart_data.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "text/number_text.h"

namespace zond::chart {

namespace {

struct SeriesTraits {
    const char* caption;
    QColor color;
    int snapshotIndex;
};

const SeriesTraits& traits(ChartSeries series) {
    static const std::array<SeriesTraits, kChartSeriesCount> table = {{
        {"q1, Вт/кв.м.", QColor(255, 0, 0), 0},
        {"q2, Вт/кв.м.", QColor(0, 0, 255), 1},
        {"q3, Вт/кв.м.", QColor(0, 128, 0), 2},
        {"tн, C", QColor(255, 0, 0), 4},  // T_EXT
        {"tв, C", QColor(0, 128, 0), 3},  // T_IN
    }};
    return table[static_cast<std::size_t>(indexOf(series))];
}

// Reads exactly `width` decimal digits.
std::optional<int> digitsAt(std::string_view text, std::size_t at, std::size_t width) {
    if (at + width > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    const char* first = text.data() + at;
    const auto [end, error] = std::from_chars(first, first + width, value);
    if (error != std::errc() || end != first + width) {
        return std::nullopt;
    }
    return value;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

QColor seriesColor(ChartSeries series) {
    return traits(series).color;
}

QString seriesCaption(ChartSeries series) {
    return QString::fromUtf8(traits(series).caption);
}

QString seriesTitle(ChartSeries series, const QString& footer) {
    // The heat-flux titles keep two spaces before their footer; the temperatures none.
    const QString gap = isTemperature(series) ? QString() : QStringLiteral("  ");
    return seriesCaption(series) + gap + footer;
}

int snapshotIndex(ChartSeries series) {
    return traits(series).snapshotIndex;
}

bool isTemperature(ChartSeries series) {
    return series == ChartSeries::TExt || series == ChartSeries::TIn;
}

std::optional<QDateTime> measurementMoment(std::string_view date, std::string_view time) {
    date = trimmed(date);
    time = trimmed(time);
    if (date.size() != 10 || date[2] != '.' || date[5] != '.' || time.size() != 8 ||
        time[2] != ':' || time[5] != ':') {
        return std::nullopt;
    }
    const auto day = digitsAt(date, 0, 2);
    const auto month = digitsAt(date, 3, 2);
    const auto year = digitsAt(date, 6, 4);
    const auto hour = digitsAt(time, 0, 2);
    const auto minute = digitsAt(time, 3, 2);
    const auto second = digitsAt(time, 6, 2);
    if (!day || !month || !year || !hour || !minute || !second) {
        return std::nullopt;
    }
    const QDate d(*year, *month, *day);
    const QTime t(*hour, *minute, *second);
    if (!d.isValid() || !t.isValid()) {
        return std::nullopt;
    }
    QDateTime moment(d, t);  // local time; invalid inside a daylight-saving gap
    if (!moment.isValid()) {
        return std::nullopt;
    }
    return moment;
}

std::optional<double> temperatureValue(std::string_view text, char decimalSeparator) {
    if (trimmed(text) == kOverRangeText) {
        return kOverRangeValue;
    }
    // A table keeps the separator of the computer it was filled on, which may not be this one's.
    if (const auto value = text::parseNumber(text, decimalSeparator)) {
        return value;
    }
    return text::parseNumber(text, ',');
}

std::optional<double> seriesValue(const measurement::RowSnapshot& row, ChartSeries series,
                                  char decimalSeparator) {
    const std::string& text = row.values[static_cast<std::size_t>(snapshotIndex(series))];
    // Snapshots keep numbers with '.'.
    const auto value = isTemperature(series) ? temperatureValue(text, decimalSeparator)
                                             : text::parseNumber(text, '.');
    // "inf" and "nan" read as numbers, but no axis can hold them.
    if (!value || !std::isfinite(*value)) {
        return std::nullopt;
    }
    return value;
}

ChartData buildChartData(std::span<const measurement::RowSnapshot> rows, const SeriesFlags& checked,
                         char decimalSeparator) {
    struct Reading {
        double x;
        std::array<std::optional<double>, kChartSeriesCount> y;
    };
    std::vector<Reading> readings;
    readings.reserve(rows.size());
    ChartData data;
    for (const auto& row : rows) {
        const auto moment = measurementMoment(row.values[6], row.values[7]);
        if (!moment) {
            ++data.skippedRows;
            continue;
        }
        Reading reading{static_cast<double>(moment->toMSecsSinceEpoch()), {}};
        for (const ChartSeries series : kAllChartSeries) {
            if (checked[indexOf(series)]) {
                reading.y[indexOf(series)] = seriesValue(row, series, decimalSeparator);
                data.skippedPoints += reading.y[indexOf(series)] ? 0 : 1;
            }
        }
        readings.push_back(reading);
    }
    // Rows come in selection order; lines are drawn left to right in time.
    std::stable_sort(readings.begin(), readings.end(),
                     [](const Reading& a, const Reading& b) { return a.x < b.x; });

    double minX = 0;
    double maxX = 0;
    double minY = 0;
    double maxY = 0;
    bool any = false;
    for (const ChartSeries series : kAllChartSeries) {
        const int i = indexOf(series);
        if (!checked[i]) {
            continue;
        }
        auto& points = data.points[i];
        points.reserve(static_cast<qsizetype>(readings.size()));
        for (const auto& reading : readings) {
            if (!reading.y[i]) {
                continue;
            }
            const double x = reading.x;
            const double y = *reading.y[i];
            points.append(QPointF(x, y));
            minX = any ? std::min(minX, x) : x;
            maxX = any ? std::max(maxX, x) : x;
            minY = any ? std::min(minY, y) : y;
            maxY = any ? std::max(maxY, y) : y;
            any = true;
        }
    }
    if (any) {
        data.bounds = QRectF(QPointF(minX, minY), QPointF(maxX, maxY));
    }
    return data;
}

}  // namespace zond::chart
