// "Построить график" and the grid's "График" (N15Click): the choice dialog, then the chart of
// the selected rows. Owns both windows for the program's lifetime, so choices persist; it must go
// before the main window it was given.
#pragma once

#include <vector>

#include "chart_data.h"
#include "graf.h"
#include "grid/measurement_grid.h"
#include "param_graf.h"

namespace zond::app {

class ChartCommand {
  public:
    ChartCommand(QWidget* mainWindow, ui::UserDialogs* dialogs);

    // Separator of the temperature texts (the system's, as the import wrote them).
    void setDecimalSeparator(char separator) { decimalSeparator_ = separator; }

    // Shows TForm4 modally; when it closes with OK, shows TForm3 modally with the selection.
    void N15Click(const std::vector<measurement::RowSnapshot>& selection,
                  const SeriesTexts& footers, int currentEnCh);

    TForm4& Form4() { return form4_; }
    TForm3& Form3() { return form3_; }

  private:
    TForm3 form3_;
    TForm4 form4_;
    char decimalSeparator_;
};

// The footer texts of the grid columns the five series belong to, in series order.
inline SeriesTexts chartFooters(const MeasurementGrid& grid) {
    return {grid.footerText(MeasurementGrid::ColQ1), grid.footerText(MeasurementGrid::ColQ2),
            grid.footerText(MeasurementGrid::ColQ3), grid.footerText(MeasurementGrid::ColTExt),
            grid.footerText(MeasurementGrid::ColTIn)};
}

}  // namespace zond::app
