// TForm4 "Построение графиков": which quantities the next chart shows. Created once; the boxes
// keep their state from one showing to the next.
#pragma once

#include <QDialog>
#include <array>

#include "chart_data.h"

class QCheckBox;
class QPushButton;

namespace zond::app {

class TForm4 : public QDialog {
    Q_OBJECT

  public:
    explicit TForm4(QWidget* parent = nullptr);

    // EN_CH of the table's current row, applied at the next showing.
    void setCurrentEnCh(int enCh) { currentEnCh_ = enCh; }
    SeriesFlags checkedSeries() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
    void CheckBox10Click();
    void Button1Click();

    // CheckBox6 … CheckBox10, in series order.
    std::array<QCheckBox*, kChartSeriesCount> boxes_{};
    QPushButton* Button1 = nullptr;
    int currentEnCh_ = 0;
};

}  // namespace zond::app
