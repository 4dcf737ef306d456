#include "graf.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <memory>

#include "chart_view.h"
#include "measurement_chart.h"
#include "ui/user_dialogs.h"
#include "ui/window_placement.h"

namespace zond::app {

namespace {

constexpr qreal kPrintMargin = 0.04;  // of the page, on each side

}  // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Графики"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    resize(700, 500);

    chart_ = new MeasurementChart;
    Chart1 = new ChartView(chart_, this);  // the view owns the chart
    Chart1->setObjectName(QStringLiteral("Chart1"));

    CheckBox1 = new QCheckBox(QStringLiteral("Показывать точки данных"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setChecked(false);  // FormCreate
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm3::CheckBox1Click);

    skippedLabel_ = new QLabel(this);
    skippedLabel_->setObjectName(QStringLiteral("SkippedLabel"));
    skippedLabel_->setAlignment(Qt::AlignCenter);
    skippedLabel_->hide();

    Button2 = new QPushButton(QStringLiteral("Печать"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button1Click);

    auto* strip = new QHBoxLayout;
    strip->addWidget(CheckBox1);
    strip->addWidget(skippedLabel_, 1);
    strip->addStretch();
    strip->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(Chart1, 1);
    strip->setContentsMargins(8, 0, 8, 0);
    layout->addLayout(strip);
}

TForm3::~TForm3() = default;

void TForm3::setDialogs(ui::UserDialogs* dialogs) {
    dialogs_ = dialogs;
    Chart1->setDialogs(dialogs);
}

void TForm3::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        zond::ui::centreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void TForm3::FormShow() {
    chart_->setMarkersVisible(CheckBox1->isChecked());
    Chart1->setUpdatesEnabled(false);  // hidden while rebuilt
    const ChartData data = buildChartData(input_.rows, input_.checked, input_.decimalSeparator);
    chart_->rebuild(data, input_.checked, input_.footers);
    Chart1->setUpdatesEnabled(true);

    skippedRows_ = data.skippedRows;
    skippedLabel_->setVisible(skippedRows_ > 0);
    skippedLabel_->setText(
        QStringLiteral("Пропущено строк с неверными датой, временем или значением: %1")
            .arg(skippedRows_));
}

void TForm3::CheckBox1Click() {
    chart_->setMarkersVisible(CheckBox1->isChecked());
}

void TForm3::Button1Click() {
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

}  // namespace zond::app
