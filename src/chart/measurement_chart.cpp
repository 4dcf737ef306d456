#include "chart/measurement_chart.h"

#include <QDateTimeAxis>
#include <QGraphicsScene>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QValueAxis>
#include <cmath>

#include "chart/axis_format.h"
#include "ui/atomic_file_device.h"

namespace zond::chart {

namespace {

constexpr qreal kMarkerSize = 6;
constexpr qreal kLegendPointSize = 8;
constexpr double kMinuteMs = 60'000;
constexpr double kValueRoom = 0.03;
constexpr double kValueTicks = 6;
constexpr int kUnlaidColumns = 4000;

// 1, 2 or 5 times a power of ten, at least `step`: ticks at round values.
double roundStep(double step) {
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= step) {
            return factor * power;
        }
    }
    return 10 * power;
}

QImage squareMarker(const QColor& color) {
    const int side = static_cast<int>(kMarkerSize);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

}  // namespace

MeasurementChart::MeasurementChart() {
    setBackgroundBrush(Qt::white);
    setBackgroundRoundness(0);
    setDropShadowEnabled(false);
    legend()->setAlignment(Qt::AlignBottom);
    legend()->setShowToolTips(true);  // long titles are elided in a narrow window
    QFont legendFont = legend()->font();
    legendFont.setPointSizeF(kLegendPointSize);  // five titles with footers fit 700 pixels
    legend()->setFont(legendFont);

    timeAxis_ = new QDateTimeAxis(this);
    timeAxis_->setFormat(QStringLiteral("hh:mm:ss'<br>'dd.MM.yy"));
    valueAxis_ = new QValueAxis(this);
    valueAxis_->setTickType(QValueAxis::TicksDynamic);
    valueAxis_->setTickAnchor(0);
    valueAxis_->setLabelFormat(QStringLiteral("%.6g"));  // localised formats need the precision
    addAxis(timeAxis_, Qt::AlignBottom);
    addAxis(valueAxis_, Qt::AlignLeft);
    useDecimalComma(*this);

    for (const ChartSeries which : kAllChartSeries) {
        auto* line = new QLineSeries(this);
        line->setName(seriesTitle(which, {}));
        line->setColor(seriesColor(which));
        line->setMarkerSize(kMarkerSize);
        addSeries(line);
        line->attachAxis(timeAxis_);
        line->attachAxis(valueAxis_);
        series_[indexOf(which)] = line;
    }
    connect(timeAxis_, &QDateTimeAxis::rangeChanged, this, &MeasurementChart::showVisiblePoints);
    connect(this, &QChart::plotAreaChanged, this, &MeasurementChart::showVisiblePoints);
    rebuild({}, {}, {});
}

void MeasurementChart::rebuild(ChartData data, const SeriesFlags& checked,
                               const SeriesTexts& footers) {
    data_ = std::move(data);
    for (const ChartSeries which : kAllChartSeries) {
        const int i = indexOf(which);
        QLineSeries* line = series_[i];
        line->clear();
        line->setColor(seriesColor(which));
        if (checked[i]) {
            line->setName(seriesTitle(which, footers[i]));
        }
        line->setVisible(checked[i]);
        for (QLegendMarker* marker : legend()->markers(line)) {
            marker->setVisible(checked[i]);
        }
    }
    setMarkersVisible(markersVisible_);  // the marker images carry the colours

    zoomReset();
    if (!data_.bounds) {
        const QDateTime now = QDateTime::currentDateTime();
        timeAxis_->setRange(now.addSecs(-60), now);
        setValueRange(0, 1);
        showVisiblePoints();
        return;
    }
    const QRectF& b = *data_.bounds;
    // A single moment or a single value still gets an axis of some extent.
    const double left = b.width() > 0 ? b.left() : b.left() - kMinuteMs;
    const double right = b.width() > 0 ? b.right() : b.right() + kMinuteMs;
    setTimeTicks(*timeAxis_, roundTimeTicks(left, right, false));
    // A little room above and below, so that the extreme points are not cut by the frame.
    const double room = b.height() > 0 ? b.height() * kValueRoom : 1;
    setValueRange(b.top() - room, b.bottom() + room);
    showVisiblePoints();
}

void MeasurementChart::showVisiblePoints() {
    if (showingPoints_) {
        return;
    }
    showingPoints_ = true;
    const auto from = static_cast<double>(timeAxis_->min().toMSecsSinceEpoch());
    const auto to = static_cast<double>(timeAxis_->max().toMSecsSinceEpoch());
    // Before the first layout the plot has no width yet: as wide as a large screen.
    const qreal plotWidth = plotArea().width();
    const int columns = plotWidth >= 1 ? static_cast<int>(std::ceil(plotWidth)) : kUnlaidColumns;
    for (const ChartSeries which : kAllChartSeries) {
        if (!data_.values[indexOf(which)].empty()) {
            line(which)->replace(reducedPoints(data_, which, from, to, columns));
        }
    }
    showingPoints_ = false;
}

void MeasurementChart::setValueRange(double bottom, double top) {
    // Range and tick step change in the order that never asks for thousands of ticks in between.
    const double step = roundStep((top - bottom) / kValueTicks);
    if (step >= valueAxis_->tickInterval()) {
        valueAxis_->setTickInterval(step);
        valueAxis_->setRange(bottom, top);
    } else {
        valueAxis_->setRange(bottom, top);
        valueAxis_->setTickInterval(step);
    }
}

void MeasurementChart::setMarkersVisible(bool visible) {
    markersVisible_ = visible;
    for (const ChartSeries which : kAllChartSeries) {
        series_[indexOf(which)]->setLightMarker(visible ? squareMarker(seriesColor(which))
                                                        : QImage());
    }
}

bool MeasurementChart::isListed(ChartSeries which) const {
    const auto markers = legend()->markers(line(which));
    return line(which)->isVisible() && !markers.isEmpty() && markers.front()->isVisible();
}

void paintChart(QChart& chart, QPainter& painter, const QRectF& target) {
    chart.scene()->render(&painter, target, chart.sceneBoundingRect(), Qt::IgnoreAspectRatio);
}

namespace {

bool writePdfPage(QChart& chart, QIODevice& file) {
    const QSizeF size = chart.size();
    QPdfWriter pdf(&file);
    pdf.setResolution(72);  // one point per pixel of the chart
    pdf.setPageSize(QPageSize(size, QPageSize::Point));
    pdf.setPageMargins(QMarginsF());
    QPainter painter;
    if (!painter.begin(&pdf)) {
        return false;
    }
    paintChart(chart, painter, QRectF(QPointF(), size));
    return painter.end();
}

bool writePng(QChart& chart, QIODevice& file) {
    const QSizeF size = chart.size();
    QImage image(size.toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paintChart(chart, painter, QRectF(QPointF(), size));
    }
    return image.save(&file, "PNG");
}

}  // namespace

void writeChartImage(QChart& chart, const QString& path) {
    ui::AtomicFileDevice file(path);
    const bool pdf = path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive);
    file.commit(pdf ? writePdfPage(chart, file) : writePng(chart, file));
}

}  // namespace zond::chart
