// chartView_: the five measurement series against time on one date-time axis and one value axis.
// Needs no window, so the chart window and the command-line renderer draw the same picture.
#pragma once

#include <QChart>
#include <array>

#include "chart/chart_data.h"

class QDateTimeAxis;
class QLineSeries;
class QPainter;
class QValueAxis;

namespace zond::chart {

class MeasurementChart : public QChart {
    Q_OBJECT

  public:
    MeasurementChart();

    // Replaces every point; lists and draws only the checked series and gives them their titles
    // (titles of unchecked series stay as they were). The axes are scaled to the points.
    void rebuild(ChartData data, const SeriesFlags& checked, const SeriesTexts& footers);

    // Small square markers on every point of all five series.
    void setMarkersVisible(bool visible);
    bool markersVisible() const { return markersVisible_; }

    QLineSeries* line(ChartSeries series) const { return series_[indexOf(series)]; }
    QDateTimeAxis* timeAxis() const { return timeAxis_; }
    QValueAxis* valueAxis() const { return valueAxis_; }
    bool isListed(ChartSeries series) const;

  private:
    // With ticks at round values, about six of them.
    void setValueRange(double bottom, double top);
    // The lines get the points of the time range shown, reduced to the plot's pixel columns, so
    // that a million readings draw as fast as a few thousand; again after every zoom or resize.
    void showVisiblePoints();

    std::array<QLineSeries*, kChartSeriesCount> series_{};
    QDateTimeAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    bool markersVisible_ = false;
    ChartData data_;
    bool showingPoints_ = false;
};

// Paints the chart's whole area into `target`, stretched to fill it. The chart must be in a scene.
void paintChart(QChart& chart, QPainter& painter, const QRectF& target);

// Writes the chart at its present size as a PNG picture or, for a name ending in ".pdf", as a
// one-page PDF of the same proportions, in place only when complete. Throws
// fileio::FileWriteError naming the cause when it cannot be written.
void writeChartImage(QChart& chart, const QString& path);

}  // namespace zond::chart
