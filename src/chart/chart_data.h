// What a chart of measurements shows, worked out from the table's rows without any window:
// the five series, their colours and titles, and the readings in time order.
#pragma once

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace zond::dbf {
class DbfTable;
}

namespace zond::chart {

// In legend order (Series1 … Series5).
enum class ChartSeries { Q1, Q2, Q3, TExt, TIn };
inline constexpr int kChartSeriesCount = 5;
inline constexpr std::array<ChartSeries, kChartSeriesCount> kAllChartSeries = {
    ChartSeries::Q1, ChartSeries::Q2, ChartSeries::Q3, ChartSeries::TExt, ChartSeries::TIn};

// One flag or text per series, indexed by ChartSeries.
using SeriesFlags = std::array<bool, kChartSeriesCount>;
using SeriesTexts = std::array<QString, kChartSeriesCount>;

constexpr int indexOf(ChartSeries series) {
    return static_cast<int>(series);
}
constexpr bool anyChecked(const SeriesFlags& flags) {
    for (const bool on : flags) {
        if (on) {
            return true;
        }
    }
    return false;
}

QColor seriesColor(ChartSeries series);
// The caption of the series' check box, e.g. "q1, Вт/кв.м.".
QString seriesCaption(ChartSeries series);
// The legend title: the caption's legend form followed by the footer of the series' column.
QString seriesTitle(ChartSeries series, const QString& footer);
// The table field the series plots.
std::string_view seriesField(ChartSeries series);
bool isTemperature(ChartSeries series);

// The import writes this for a temperature above 320; it is plotted just above the limit.
inline constexpr std::string_view kOverRangeText = ">320.0";
inline constexpr double kOverRangeValue = 320.1;

// DATE "dd.mm.yyyy" and TIME "hh:mm:ss" read as a local moment; nothing when they do not form
// a valid one.
std::optional<QDateTime> measurementMoment(std::string_view date, std::string_view time);
// A temperature text as stored: the over-range marker, or a number with '.', ',' or the
// separator.
std::optional<double> temperatureValue(std::string_view text, char decimalSeparator);
struct ChartData {
    // The readable moments of the rows, in milliseconds since the epoch, ascending.
    std::vector<double> moments;
    // Per checked series one value per moment, NaN where it could not be read; unchecked series
    // are empty. Plain numbers: a million rows cost 48 MB here and nothing per row elsewhere.
    std::array<std::vector<double>, kChartSeriesCount> values;
    // Rows left out because their date or time could not be read.
    int skippedRows = 0;
    // Checked values of the other rows that could not be read: only that point is left out.
    int skippedPoints = 0;
    // The extent of all points; nothing when there are none.
    std::optional<QRectF> bounds;
};

// One reading per row of `records` with a readable moment, whatever the order of the records,
// read straight from the records' bytes.
ChartData buildChartData(const dbf::DbfTable& table, std::span<const std::uint32_t> records,
                         const SeriesFlags& checked, char decimalSeparator);

// Every point of a series, in time order (for tests and small charts).
QList<QPointF> allPoints(const ChartData& data, ChartSeries series);

// The points of a series between two moments as a line `columns` pixels wide draws them: every
// point while there are few, else for each pixel column its first, lowest, highest and last point,
// which draws the same picture. One point beyond each end keeps the line running to the edges.
QList<QPointF> reducedPoints(const ChartData& data, ChartSeries series, double from, double to,
                             int columns);

}  // namespace zond::chart
