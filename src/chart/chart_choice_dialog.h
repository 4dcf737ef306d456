// ChartChoiceDialog "Построение графиков": which quantities the next chart shows. Created once; the
// boxes keep their state from one showing to the next.
#pragma once

#include <QDialog>
#include <array>

#include "chart/chart_data.h"

class QCheckBox;
class QPushButton;

namespace zond::chart {

class ChartChoiceDialog : public QDialog {
    Q_OBJECT

  public:
    explicit ChartChoiceDialog(QWidget* parent = nullptr);

    // EN_CH of the table's current row, applied at the next showing.
    void setCurrentEnCh(int enCh) { currentEnCh_ = enCh; }
    SeriesFlags checkedSeries() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void applyCurrentChannels();
    void updateAcceptButton();
    void onAccept();

    // One box per series, in series order.
    std::array<QCheckBox*, kChartSeriesCount> boxes_{};
    QPushButton* acceptButton_ = nullptr;
    int currentEnCh_ = 0;
};

}  // namespace zond::chart
