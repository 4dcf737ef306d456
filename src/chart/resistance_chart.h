// The convergence picture of the resistance analysis: the cumulative R of each heat-flux channel
// against time, with the ±5 % band around its final R₀. Needs no window, so the analysis window
// and the printed protocol draw the same chart.
#pragma once

#include <QChart>
#include <array>

#include "analysis/wall_resistance.h"

class QAreaSeries;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace zond::chart {

class ResistanceChart : public QChart {
    Q_OBJECT

  public:
    ResistanceChart();

    // Replaces every series with those of `result`; the axes are scaled to the final R₀ values
    // and the later half of each curve, so the start of the window may run off the chart.
    void rebuild(const analysis::AnalysisResult& result);

    QDateTimeAxis* timeAxis() const { return timeAxis_; }
    QValueAxis* valueAxis() const { return valueAxis_; }

  private:
    void showChannel(const analysis::AnalysisResult& result,
                     const analysis::ChannelResult& channel);
    void attach(QAbstractSeries* series);
    void setListed(QAbstractSeries* series, bool listed);

    // One curve and one band per channel, made once: the axes lay out with their series.
    std::array<QLineSeries*, analysis::kFluxChannels> curves_{};
    std::array<QAreaSeries*, analysis::kFluxChannels> bands_{};
    QDateTimeAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    double bottom_ = 0;
    double top_ = 0;
};

// Milliseconds the chart's time axis shows for seconds on the instrument's clock: the same
// calendar date and time of day in local time.
double chartTimeOf(std::int64_t seconds);

}  // namespace zond::chart
