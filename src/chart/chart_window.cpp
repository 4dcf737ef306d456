#include "chart/chart_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <memory>

#include "chart/chart_view.h"
#include "chart/measurement_chart.h"
#include "dbf/dbf_table.h"
#include "ui/user_dialogs.h"
#include "ui/window_placement.h"

namespace zond::chart {

namespace {

constexpr qreal kPrintMargin = 0.04;  // of the page, on each side

}  // namespace

ChartWindow::ChartWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Графики"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    resize(700, 500);

    chart_ = new MeasurementChart;
    chartView_ = new ChartView(chart_, this);  // the view owns the chart
    chartView_->setObjectName(QStringLiteral("chartView_"));

    markersBox_ = new QCheckBox(QStringLiteral("Показывать точки данных"), this);
    markersBox_->setObjectName(QStringLiteral("markersBox_"));
    markersBox_->setChecked(false);
    connect(markersBox_, &QCheckBox::toggled, this, &ChartWindow::onMarkersToggled);

    skippedLabel_ = new QLabel(this);
    skippedLabel_->setObjectName(QStringLiteral("SkippedLabel"));
    skippedLabel_->setAlignment(Qt::AlignCenter);
    skippedLabel_->hide();

    saveButton_ = new QPushButton(QStringLiteral("Сохранить изображение…"), this);
    saveButton_->setObjectName(QStringLiteral("saveButton_"));
    saveButton_->setAutoDefault(false);
    connect(saveButton_, &QPushButton::clicked, chartView_, &ChartView::saveImage);

    printButton_ = new QPushButton(QStringLiteral("Печать"), this);
    printButton_->setObjectName(QStringLiteral("printButton_"));
    printButton_->setAutoDefault(false);
    connect(printButton_, &QPushButton::clicked, this, &ChartWindow::print);

    auto* strip = new QHBoxLayout;
    strip->addWidget(markersBox_);
    strip->addWidget(skippedLabel_, 1);
    strip->addStretch();
    strip->addWidget(saveButton_);
    strip->addWidget(printButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(chartView_, 1);
    strip->setContentsMargins(8, 0, 8, 0);
    layout->addLayout(strip);
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::setDialogs(ui::UserDialogs* dialogs) {
    dialogs_ = dialogs;
    chartView_->setDialogs(dialogs);
}

void ChartWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        zond::ui::centreOnScreen(*this);
        rebuildChart();
    }
    QDialog::showEvent(event);
}

void ChartWindow::rebuildChart() {
    chart_->setMarkersVisible(markersBox_->isChecked());
    chartView_->setUpdatesEnabled(false);  // hidden while rebuilt
    ChartData data;
    chartView_->setSuggestedImage({});
    if (input_.table != nullptr) {
        chartView_->setSuggestedImage(
            ui::namedAfter(input_.table->path(), QStringLiteral("_график.png")));
        data =
            buildChartData(*input_.table, input_.records, input_.checked, input_.decimalSeparator);
    }
    skippedRows_ = data.skippedRows;
    skippedPoints_ = data.skippedPoints;
    chart_->rebuild(std::move(data), input_.checked, input_.footers);
    chartView_->setUpdatesEnabled(true);

    skippedLabel_->setVisible(skippedRows_ > 0 || skippedPoints_ > 0);
    skippedLabel_->setText(
        QStringLiteral("Пропущено строк с неверными датой или временем: %1, неверных значений: %2")
            .arg(skippedRows_)
            .arg(skippedPoints_));
}

void ChartWindow::onMarkersToggled() {
    chart_->setMarkersVisible(markersBox_->isChecked());
}

void ChartWindow::print() {
    std::unique_ptr<QPrinter> defaultPrinter;
    QPrinter* printer = printer_;
    if (printer == nullptr) {
        defaultPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer = defaultPrinter.get();
    }
    printer->setPageOrientation(QPageLayout::Landscape);
    printer->setFullPage(true);
    QPainter painter;
    if (!painter.begin(printer)) {
        if (dialogs_ != nullptr) {
            dialogs_->error(this,
                            QStringLiteral("Не удалось начать печать на принтере по умолчанию"));
        }
        return;
    }
    const QRectF page = printer->pageLayout().fullRectPixels(printer->resolution());
    const QRectF target =
        page.adjusted(page.width() * kPrintMargin, page.height() * kPrintMargin,
                      -page.width() * kPrintMargin, -page.height() * kPrintMargin);
    paintChart(*chart_, painter, target);
    painter.end();
}

}  // namespace zond::chart
