// The view of the chart window: drag a rectangle or turn the wheel to zoom, double-click or the
// context menu to see the whole chart again, hover for the nearest point's value and time, and
// the context menu to save the picture.
#pragma once

#include <QChartView>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

namespace zond::ui {
class UserDialogs;
}

namespace zond::chart {

class MeasurementChart;

class ChartView : public QChartView {
    Q_OBJECT

  public:
    // Offered for saved pictures: large enough to print or put into a report.
    static constexpr QSize kImageSize{1600, 1000};
    // Asks the size of a picture about to be saved, starting from `initial`; nothing cancels.
    using ImageSizeAsker = std::function<std::optional<QSize>(QWidget* parent, QSize initial)>;

    ChartView(MeasurementChart* chart, QWidget* parent = nullptr);

    void setDialogs(ui::UserDialogs* dialogs) { dialogs_ = dialogs; }
    // The save dialog opens in this file's folder with its name suggested.
    void setSuggestedImage(const QString& path) { suggestedImage_ = path; }
    // The "Размер изображения" dialog by default.
    void setImageSizeAsker(ImageSizeAsker asker) { askImageSize_ = std::move(asker); }

    // The series, value and moment of the listed point nearest to a view position, within a few
    // pixels; empty when there is none.
    QString pointTextAt(const QPointF& viewPos) const;
    // Zooms by `factor` (below 1 magnifies) keeping the chart point under `viewPos` in place.
    void zoomAround(const QPointF& viewPos, qreal factor);
    // "Сохранить как изображение…": asks for the picture's size (offering kImageSize, or the
    // view's size when that is larger) and a file name, and writes PNG or PDF.
    void saveImage();

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    MeasurementChart* chart_;
    ui::UserDialogs* dialogs_ = nullptr;
    QString suggestedImage_;
    ImageSizeAsker askImageSize_;
};

}  // namespace zond::chart
