#include "chart/chart_view.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QLineSeries>
#include <QLocale>
#include <QMenu>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "chart/image_size_dialog.h"
#include "chart/measurement_chart.h"
#include "fileio/atomic_file.h"
#include "text/number_text.h"
#include "ui/user_dialogs.h"

namespace zond::chart {

namespace {

constexpr qreal kHoverRadius = 8;  // pixels
constexpr qreal kWheelStep = 0.8;  // one notch magnifies by 1 / 0.8

char localeSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? '.' : point.front().toLatin1();
}

}  // namespace

ChartView::ChartView(MeasurementChart* chart, QWidget* parent)
    : QChartView(chart, parent), chart_(chart), askImageSize_(&ImageSizeDialog::ask) {
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
}

QString ChartView::pointTextAt(const QPointF& viewPos) const {
    const QPointF at = chart_->mapFromScene(mapToScene(viewPos.toPoint()));
    struct Best {
        ChartSeries series;
        QPointF point;
        qreal distance;
    };
    std::optional<Best> best;
    for (const ChartSeries which : kAllChartSeries) {
        QLineSeries* line = chart_->line(which);
        if (!line->isVisible() || line->count() == 0) {
            continue;
        }
        // Points are in time order: look only at those within the radius horizontally.
        const qreal fromX = chart_->mapToValue(at - QPointF(kHoverRadius, 0), line).x();
        const qreal toX = chart_->mapToValue(at + QPointF(kHoverRadius, 0), line).x();
        const QList<QPointF> points = line->points();
        auto it = std::lower_bound(points.begin(), points.end(), fromX,
                                   [](const QPointF& p, qreal x) { return p.x() < x; });
        for (; it != points.end() && it->x() <= toX; ++it) {
            const QPointF shown = chart_->mapToPosition(*it, line);
            const qreal distance = std::hypot(shown.x() - at.x(), shown.y() - at.y());
            if (distance <= kHoverRadius && (!best || distance < best->distance)) {
                best = Best{which, *it, distance};
            }
        }
    }
    if (!best) {
        return {};
    }
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(best->point.x()));
    // A temperature at the over-range mark stands for the text the table holds.
    const bool overRange = isTemperature(best->series) && best->point.y() == kOverRangeValue;
    const std::string value = overRange
                                  ? std::string(kOverRangeText)
                                  : text::generalNumberText(best->point.y(), localeSeparator());
    return QStringLiteral("%1: %2\n%3")
        .arg(seriesCaption(best->series), QString::fromStdString(value),
             moment.toString(QStringLiteral("hh:mm:ss dd.MM.yyyy")));
}

void ChartView::zoomAround(const QPointF& viewPos, qreal factor) {
    const QRectF plot = chart_->plotArea();
    const QPointF at = chart_->mapFromScene(mapToScene(viewPos.toPoint()));
    const QRectF wanted(at - (at - plot.topLeft()) * factor, plot.size() * factor);
    chart_->zoomIn(wanted);
}

void ChartView::saveImage() {
    if (dialogs_ == nullptr) {
        return;
    }
    const QSizeF shown = chart_->size();
    const QSize offered(std::max(kImageSize.width(), qRound(shown.width())),
                        std::max(kImageSize.height(), qRound(shown.height())));
    const std::optional<QSize> size = askImageSize_(this, offered);
    if (!size) {
        return;
    }
    ui::FileDialogRequest request;
    request.title = QStringLiteral("Сохранить как изображение");
    request.filter = QStringLiteral("Рисунок PNG (*.png);;Документ PDF (*.pdf)");
    request.defaultSuffix = QStringLiteral("png");
    request.suggest(suggestedImage_);
    const QString path = dialogs_->saveFileName(this, request);
    if (path.isEmpty()) {
        return;
    }
    // Drawn at the picture's own size, then back to the window's.
    chart_->resize(QSizeF(*size));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);  // lays out axes, legend
    try {
        writeChartImage(*chart_, path);
    } catch (const fileio::FileWriteError& error) {
        chart_->resize(shown);
        dialogs_->error(this, QString::fromUtf8(error.what()));
        return;
    }
    chart_->resize(shown);
}

void ChartView::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0) {
        event->ignore();
        return;
    }
    zoomAround(event->position(), std::pow(kWheelStep, notches));
    event->accept();
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
    QChartView::mouseMoveEvent(event);
    if (event->buttons() != Qt::NoButton) {
        return;
    }
    const QString text = pointTextAt(event->position());
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
    }
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
    // The right button opens the context menu; it must not zoom out as well.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        chart_->zoomReset();
        event->accept();
        return;
    }
    QChartView::mouseDoubleClickEvent(event);
}

void ChartView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* whole = menu.addAction(QStringLiteral("Показать весь график"));
    whole->setEnabled(chart_->isZoomed());
    connect(whole, &QAction::triggered, chart_, &QChart::zoomReset);
    QAction* save = menu.addAction(QStringLiteral("Сохранить как изображение…"));
    connect(save, &QAction::triggered, this, &ChartView::saveImage);
    menu.exec(event->globalPos());
}

}  // namespace zond::chart
