#include "chart/chart_data.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>

#include "dbf/dbf_layout.h"
#include "dbf/dbf_table.h"
#include "text/number_text.h"

namespace zond::chart {

namespace {

struct SeriesTraits {
    const char* caption;
    QColor color;
    const char* field;
};

const SeriesTraits& traits(ChartSeries series) {
    static const std::array<SeriesTraits, kChartSeriesCount> table = {{
        {"q1, Вт/кв.м.", QColor(255, 0, 0), "TAVIS_1"},
        {"q2, Вт/кв.м.", QColor(0, 0, 255), "TAVIS_2"},
        {"q3, Вт/кв.м.", QColor(0, 128, 0), "TAVIS_3"},
        {"tн, C", QColor(255, 0, 0), "T_EXT"},
        {"tв, C", QColor(0, 128, 0), "T_IN"},
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

std::string_view seriesField(ChartSeries series) {
    return traits(series).field;
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

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// One field of a record's bytes; nothing when the table lacks the field.
struct FieldBytes {
    const dbf::DbfFieldDescriptor* descriptor = nullptr;

    std::span<const std::uint8_t> of(std::span<const std::uint8_t> record) const {
        return record.subspan(static_cast<std::size_t>(descriptor->offset),
                              static_cast<std::size_t>(descriptor->width));
    }
    std::string_view textOf(std::span<const std::uint8_t> record) const {
        const auto bytes = of(record);
        return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
    }
};

FieldBytes fieldBytes(const dbf::DbfTable& table, std::string_view name) {
    const int index = table.fieldIndex(name);
    return {index < 0 ? nullptr : &table.fields()[static_cast<std::size_t>(index)]};
}

// Local moments by the hour they start: readings come many to an hour, and each local-time
// conversion costs a time-zone lookup. Daylight-saving changes fall on whole hours.
class MomentReader {
  public:
    std::optional<double> read(std::string_view date, std::string_view time) {
        date = trimmed(date);
        time = trimmed(time);
        if (time.size() != 8 || time[2] != ':' || time[5] != ':') {
            return std::nullopt;
        }
        const auto minute = digitsAt(time, 3, 2);
        const auto second = digitsAt(time, 6, 2);
        if (!minute || !second || *minute > 59 || *second > 59) {
            return std::nullopt;
        }
        const std::string_view hour = time.substr(0, 2);
        if (date != date_ || hour != hour_) {
            date_.assign(date);
            hour_.assign(hour);
            const auto start = measurementMoment(date, std::string(hour) + ":00:00");
            hourStart_ = start ? std::optional<double>(start->toMSecsSinceEpoch()) : std::nullopt;
        }
        if (!hourStart_) {
            return std::nullopt;
        }
        return *hourStart_ + (*minute * 60.0 + *second) * 1000.0;
    }

  private:
    std::string date_;
    std::string hour_;
    std::optional<double> hourStart_;
};

std::optional<double> finite(std::optional<double> value) {
    // "inf" and "nan" read as numbers, but no axis can hold them.
    return value && std::isfinite(*value) ? value : std::nullopt;
}

}  // namespace

ChartData buildChartData(const dbf::DbfTable& table, std::span<const std::uint32_t> records,
                         const SeriesFlags& checked, char decimalSeparator) {
    const FieldBytes date = fieldBytes(table, "DATE");
    const FieldBytes time = fieldBytes(table, "TIME");
    std::array<FieldBytes, kChartSeriesCount> fields;
    for (const ChartSeries series : kAllChartSeries) {
        if (checked[indexOf(series)]) {
            fields[indexOf(series)] = fieldBytes(table, seriesField(series));
        }
    }
    ChartData data;
    data.moments.reserve(records.size());
    for (const ChartSeries series : kAllChartSeries) {
        if (checked[indexOf(series)]) {
            data.values[indexOf(series)].reserve(records.size());
        }
    }
    MomentReader moments;
    for (const std::uint32_t record : records) {
        const auto bytes = table.recordBytes(record);
        const auto moment = date.descriptor == nullptr || time.descriptor == nullptr
                                ? std::nullopt
                                : moments.read(date.textOf(bytes), time.textOf(bytes));
        if (!moment) {
            ++data.skippedRows;
            continue;
        }
        data.moments.push_back(*moment);
        for (const ChartSeries series : kAllChartSeries) {
            const int i = indexOf(series);
            if (!checked[i]) {
                continue;
            }
            std::optional<double> value;
            if (const FieldBytes& field = fields[i]; field.descriptor != nullptr) {
                value = finite(isTemperature(series)
                                   ? temperatureValue(field.textOf(bytes), decimalSeparator)
                                   : dbf::decodeNumber(*field.descriptor, field.of(bytes)));
            }
            data.skippedPoints += value ? 0 : 1;
            data.values[i].push_back(value.value_or(kNoValue));
        }
    }

    // Records come in selection or display order; lines are drawn left to right in time.
    if (!std::is_sorted(data.moments.begin(), data.moments.end())) {
        std::vector<std::uint32_t> order(data.moments.size());
        std::iota(order.begin(), order.end(), 0U);
        std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return data.moments[a] < data.moments[b];
        });
        const auto reorder = [&order](std::vector<double>& column) {
            std::vector<double> sorted;
            sorted.reserve(column.size());
            for (const std::uint32_t from : order) {
                sorted.push_back(column[from]);
            }
            column = std::move(sorted);
        };
        reorder(data.moments);
        for (auto& column : data.values) {
            if (!column.empty()) {
                reorder(column);
            }
        }
    }

    double minY = 0;
    double maxY = 0;
    std::optional<double> minX;
    double maxX = 0;
    for (const auto& column : data.values) {
        for (std::size_t k = 0; k < column.size(); ++k) {
            const double y = column[k];
            if (std::isnan(y)) {
                continue;
            }
            if (!minX) {
                minY = maxY = y;
                minX = maxX = data.moments[k];
            }
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
            minX = std::min(*minX, data.moments[k]);
            maxX = std::max(maxX, data.moments[k]);
        }
    }
    if (minX) {
        data.bounds = QRectF(QPointF(*minX, minY), QPointF(maxX, maxY));
    }
    return data;
}

QList<QPointF> allPoints(const ChartData& data, ChartSeries series) {
    const auto& column = data.values[static_cast<std::size_t>(indexOf(series))];
    QList<QPointF> points;
    for (std::size_t k = 0; k < column.size(); ++k) {
        if (!std::isnan(column[k])) {
            points.append(QPointF(data.moments[k], column[k]));
        }
    }
    return points;
}

QList<QPointF> reducedPoints(const ChartData& data, ChartSeries series, double from, double to,
                             int columns) {
    const auto& column = data.values[static_cast<std::size_t>(indexOf(series))];
    if (column.empty()) {
        return {};
    }
    const auto& x = data.moments;
    // The visible stretch and one reading beyond each end.
    std::size_t first =
        static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), from) - x.begin());
    std::size_t last =
        static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), to) - x.begin());
    first = first > 0 ? first - 1 : 0;
    last = std::min(last + 1, x.size());

    QList<QPointF> points;
    const auto add = [&](std::size_t k) { points.append(QPointF(x[k], column[k])); };
    columns = std::max(columns, 1);
    if (last - first <= 4 * static_cast<std::size_t>(columns) || !(to > from)) {
        for (std::size_t k = first; k < last; ++k) {
            if (!std::isnan(column[k])) {
                add(k);
            }
        }
        return points;
    }
    const double width = (to - from) / columns;
    struct Bucket {
        long long index;
        std::size_t first, low, high, last;
    };
    std::optional<Bucket> open;
    const auto flush = [&] {
        std::array<std::size_t, 4> picked = {open->first, open->low, open->high, open->last};
        std::sort(picked.begin(), picked.end());
        for (std::size_t p = 0; p < picked.size(); ++p) {
            if (p == 0 || picked[p] != picked[p - 1]) {
                add(picked[p]);
            }
        }
    };
    for (std::size_t k = first; k < last; ++k) {
        const double y = column[k];
        if (std::isnan(y)) {
            continue;
        }
        const auto index = static_cast<long long>(std::floor((x[k] - from) / width));
        if (open && open->index == index) {
            open->low = y < column[open->low] ? k : open->low;
            open->high = y > column[open->high] ? k : open->high;
            open->last = k;
            continue;
        }
        if (open) {
            flush();
        }
        open = Bucket{index, k, k, k, k};
    }
    if (open) {
        flush();
    }
    return points;
}

}  // namespace zond::chart
