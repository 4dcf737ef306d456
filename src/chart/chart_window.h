// ChartWindow "Графики": the chart of the selected rows. Created once; rebuilt at every showing
// from the input last given, keeping the marker setting and the series titles in between.
#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

#include "chart/chart_data.h"

class QCheckBox;
class QLabel;
class QPrinter;
class QPushButton;

namespace zond::ui {
class UserDialogs;
}

namespace zond::chart {

class ChartView;
class MeasurementChart;

// What the next showing plots.
struct ChartInput {
    const dbf::DbfTable* table = nullptr;  // open while the window shows
    std::vector<std::uint32_t> records;    // the rows to plot, in any order
    SeriesFlags checked{};                 // the boxes of ChartChoiceDialog
    SeriesTexts footers;                   // footer texts of the series' grid columns
    char decimalSeparator = '.';           // of the temperature texts
};

class ChartWindow : public QDialog {
    Q_OBJECT

  public:
    explicit ChartWindow(QWidget* parent = nullptr);
    ~ChartWindow() override;

    void setDialogs(ui::UserDialogs* dialogs);
    // Where "Печать" prints; nullptr (the default) means the system's default printer.
    void setPrinter(QPrinter* printer) { printer_ = printer; }
    void setInput(ChartInput input) { input_ = std::move(input); }

    MeasurementChart* chart() const { return chart_; }
    ChartView* chartView() const { return chartView_; }
    int skippedRows() const { return skippedRows_; }
    int skippedPoints() const { return skippedPoints_; }

    // Builds the chart from the input, as every showing does.
    void rebuildChart();
    // "Печать": the chart as shown, landscape, stretched inside 4 % margins of the page.
    void print();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void onMarkersToggled();

    MeasurementChart* chart_ = nullptr;
    ChartView* chartView_ = nullptr;
    QCheckBox* markersBox_ = nullptr;
    QLabel* skippedLabel_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* printButton_ = nullptr;
    ui::UserDialogs* dialogs_ = nullptr;
    QPrinter* printer_ = nullptr;
    ChartInput input_;
    int skippedRows_ = 0;
    int skippedPoints_ = 0;
};

}  // namespace zond::chart
