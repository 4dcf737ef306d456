#include "chart/resistance_chart.h"

#include <QAreaSeries>
#include <QDateTimeAxis>
#include <QDebug>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/resistance_text.h"
#include "chart/axis_format.h"
#include "chart/chart_data.h"

namespace zond::chart {

namespace {

constexpr double kBand = 0.05;       // the criteria's 5 %
constexpr double kRangeRoom = 0.25;  // around the final values
constexpr int kBandAlpha = 50;
constexpr ChartSeries kChannelSeries[analysis::kFluxChannels] = {ChartSeries::Q1, ChartSeries::Q2,
                                                                 ChartSeries::Q3};

}  // namespace

double chartTimeOf(std::int64_t seconds) {
    const QDateTime utc = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    const QDateTime local(utc.date(), utc.time());
    return static_cast<double>((local.isValid() ? local : utc).toMSecsSinceEpoch());
}

ResistanceChart::ResistanceChart() {
    setBackgroundBrush(Qt::white);
    setBackgroundRoundness(0);
    setDropShadowEnabled(false);
    legend()->setAlignment(Qt::AlignBottom);

    timeAxis_ = new QDateTimeAxis(this);
    timeAxis_->setFormat(QStringLiteral("dd.MM"));  // ticks at midnights
    valueAxis_ = new QValueAxis(this);
    valueAxis_->setTitleText(QStringLiteral("R, м²·К/Вт"));
    valueAxis_->setLabelFormat(QStringLiteral("%.2f"));
    addAxis(timeAxis_, Qt::AlignBottom);
    addAxis(valueAxis_, Qt::AlignLeft);
    useDecimalComma(*this);

    for (int c = 0; c < analysis::kFluxChannels; ++c) {
        const QColor color = seriesColor(kChannelSeries[c]);
        const QString name = QString::fromStdString(analysis::channelName(c));
        curves_[c] = new QLineSeries(this);
        curves_[c]->setName(name);
        curves_[c]->setColor(color);
        bands_[c] = new QAreaSeries(new QLineSeries(this), new QLineSeries(this));
        bands_[c]->setName(name + QStringLiteral(": R₀ ± 5 %"));
        QColor fill = color;
        fill.setAlpha(kBandAlpha);
        bands_[c]->setBrush(fill);
        bands_[c]->setPen(QPen(color, 1, Qt::DashLine));
        attach(bands_[c]);
        attach(curves_[c]);
    }
}

void ResistanceChart::attach(QAbstractSeries* series) {
    addSeries(series);
    series->attachAxis(timeAxis_);
    series->attachAxis(valueAxis_);
    setListed(series, false);
}

void ResistanceChart::setListed(QAbstractSeries* series, bool listed) {
    series->setVisible(listed);
    for (QLegendMarker* marker : legend()->markers(series)) {
        marker->setVisible(listed);
    }
}

void ResistanceChart::rebuild(const analysis::AnalysisResult& result) {
    for (int c = 0; c < analysis::kFluxChannels; ++c) {
        setListed(curves_[c], false);
        setListed(bands_[c], false);
    }
    bottom_ = std::numeric_limits<double>::infinity();
    top_ = -bottom_;
    for (const auto& channel : result.channels) {
        showChannel(result, channel);
    }
    const auto& times = result.cumulativeTimes;
    if (times.empty() || !(bottom_ <= top_)) {
        valueAxis_->setRange(0, 1);
        return;
    }
    setTimeTicks(*timeAxis_,
                 roundTimeTicks(chartTimeOf(times.front()), chartTimeOf(times.back()), true));
    const double room = std::max(top_ - bottom_, 1e-3) * 0.05;
    valueAxis_->setRange(bottom_ - room, top_ + room);
    valueAxis_->applyNiceNumbers();
}

void ResistanceChart::showChannel(const analysis::AnalysisResult& result,
                                  const analysis::ChannelResult& channel) {
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(channel.cumulative.size()));
    const std::size_t laterHalf = channel.cumulative.size() / 2;
    for (std::size_t i = 0; i < channel.cumulative.size(); ++i) {
        const double r = channel.cumulative[i];
        if (std::isnan(r)) {
            continue;
        }
        points.append({chartTimeOf(result.cumulativeTimes[i]), r});
        if (i >= laterHalf) {
            bottom_ = std::min(bottom_, r);
            top_ = std::max(top_, r);
        }
    }
    QLineSeries* curve = curves_[channel.channel];
    curve->replace(points);
    setListed(curve, true);
    if (!channel.r0.defined() || points.isEmpty()) {
        return;
    }
    const double r0 = channel.r0.value;
    bottom_ = std::min(bottom_, r0 * (1 - kRangeRoom));
    top_ = std::max(top_, r0 * (1 + kRangeRoom));
    const double from = points.front().x();
    const double to = points.back().x();
    QAreaSeries* band = bands_[channel.channel];
    band->upperSeries()->replace({{from, r0 * (1 + kBand)}, {to, r0 * (1 + kBand)}});
    band->lowerSeries()->replace({{from, r0 * (1 - kBand)}, {to, r0 * (1 - kBand)}});
    setListed(band, true);
}

}  // namespace zond::chart
