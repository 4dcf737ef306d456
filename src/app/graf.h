// TForm3 "Графики": the chart of the selected rows. Created once; rebuilt at every showing from
// the input last given, keeping the marker setting and the series titles in between.
#pragma once

#include <QDialog>
#include <vector>

#include "chart_data.h"

class QCheckBox;
class QLabel;
class QPrinter;
class QPushButton;

namespace zond::ui {
class UserDialogs;
}

namespace zond::app {

class ChartView;
class MeasurementChart;

// What the next showing plots.
struct ChartInput {
    std::vector<measurement::RowSnapshot> rows;  // the grid's selection, in selection order
    SeriesFlags checked{};                       // the boxes of TForm4
    SeriesTexts footers;                         // footer texts of the series' grid columns
    char decimalSeparator = '.';                 // of the temperature texts
};

class TForm3 : public QDialog {
    Q_OBJECT

  public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    void setDialogs(ui::UserDialogs* dialogs);
    // Where "Печать" prints; nullptr (the default) means the system's default printer.
    void setPrinter(QPrinter* printer) { printer_ = printer; }
    void setInput(ChartInput input) { input_ = std::move(input); }

    MeasurementChart* chart() const { return chart_; }
    ChartView* chartView() const { return Chart1; }
    int skippedRows() const { return skippedRows_; }

    // Builds the chart from the input, as every showing does.
    void FormShow();
    // "Печать": the chart as shown, landscape, stretched inside 4 % margins of the page.
    void Button1Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void CheckBox1Click();

    MeasurementChart* chart_ = nullptr;
    ChartView* Chart1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* skippedLabel_ = nullptr;
    QPushButton* Button2 = nullptr;
    ui::UserDialogs* dialogs_ = nullptr;
    QPrinter* printer_ = nullptr;
    ChartInput input_;
    int skippedRows_ = 0;
};

}  // namespace zond::app
