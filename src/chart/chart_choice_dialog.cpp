#include "chart/chart_choice_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "ui/window_placement.h"

namespace zond::chart {

ChartChoiceDialog::ChartChoiceDialog(QWidget* parent) : QDialog(parent) {
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
        box->setChecked(false);  // all cleared at creation
        connect(box, &QCheckBox::clicked, this, &ChartChoiceDialog::updateAcceptButton);
        groupLayout->addWidget(box);
        boxes_[i] = box;
    }

    acceptButton_ = new QPushButton(QStringLiteral("Построить"), this);
    acceptButton_->setObjectName(QStringLiteral("Button1"));
    acceptButton_->setDefault(true);
    connect(acceptButton_, &QPushButton::clicked, this, &ChartChoiceDialog::onAccept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(acceptButton_, 0, Qt::AlignHCenter);
    updateAcceptButton();
}

SeriesFlags ChartChoiceDialog::checkedSeries() const {
    SeriesFlags checked{};
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        checked[i] = boxes_[i]->isChecked();
    }
    return checked;
}

void ChartChoiceDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        zond::ui::centreOnScreen(*this);
        applyCurrentChannels();
    }
    QDialog::showEvent(event);
}

void ChartChoiceDialog::applyCurrentChannels() {
    // q2 and q3 mean nothing when the instrument had fewer than two channels.
    const bool severalChannels = currentEnCh_ >= 2;
    for (const ChartSeries series : {ChartSeries::Q2, ChartSeries::Q3}) {
        QCheckBox* box = boxes_[indexOf(series)];
        box->setEnabled(severalChannels);
        if (!severalChannels) {
            box->setChecked(false);
        }
    }
    updateAcceptButton();
}

void ChartChoiceDialog::updateAcceptButton() {
    acceptButton_->setEnabled(anyChecked(checkedSeries()));
}

void ChartChoiceDialog::onAccept() {
    done(anyChecked(checkedSeries()) ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace zond::chart
