#include "param_graf.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "ui/window_placement.h"

namespace zond::app {

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Построение графиков"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(254, 242);

    auto* group = new QGroupBox(QStringLiteral("Выберете графики"), this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto* groupLayout = new QVBoxLayout(group);
    for (const ChartSeries series : kAllChartSeries) {
        const int i = indexOf(series);
        auto* box = new QCheckBox(seriesCaption(series), group);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(6 + i));
        box->setChecked(false);  // FormCreate: all cleared
        connect(box, &QCheckBox::clicked, this, &TForm4::CheckBox10Click);
        groupLayout->addWidget(box);
        boxes_[i] = box;
    }

    Button1 = new QPushButton(QStringLiteral("Построить"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(Button1, 0, Qt::AlignHCenter);
    CheckBox10Click();
}

SeriesFlags TForm4::checkedSeries() const {
    SeriesFlags checked{};
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        checked[i] = boxes_[i]->isChecked();
    }
    return checked;
}

void TForm4::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        zond::ui::centreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void TForm4::FormShow() {
    // q2 and q3 mean nothing when the instrument had fewer than two channels.
    const bool severalChannels = currentEnCh_ >= 2;
    for (const ChartSeries series : {ChartSeries::Q2, ChartSeries::Q3}) {
        QCheckBox* box = boxes_[indexOf(series)];
        box->setEnabled(severalChannels);
        if (!severalChannels) {
            box->setChecked(false);
        }
    }
    CheckBox10Click();
}

void TForm4::CheckBox10Click() {
    Button1->setEnabled(anyChecked(checkedSeries()));
}

void TForm4::Button1Click() {
    done(anyChecked(checkedSeries()) ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace zond::app
