// "Построить график" and the grid's "График" : the choice dialog, then the chart of
// the selected rows. Owns both windows for the program's lifetime, so choices persist; it must go
// before the main window it was given.
#pragma once

#include <vector>

#include "chart/chart_choice_dialog.h"
#include "chart/chart_data.h"
#include "chart/chart_window.h"

namespace zond::chart {

class ChartCommand {
  public:
    ChartCommand(QWidget* mainWindow, ui::UserDialogs* dialogs);

    // Separator of the temperature texts (the system's, as the import wrote them).
    void setDecimalSeparator(char separator) { decimalSeparator_ = separator; }

    // Shows ChartChoiceDialog modally; when it closes with OK, shows ChartWindow modally with the
    // records of the table.
    void run(const dbf::DbfTable& table, std::vector<std::uint32_t> records,
             const SeriesTexts& footers, int currentEnCh);

    ChartChoiceDialog& choiceDialog() { return choiceDialog_; }
    ChartWindow& chartWindow() { return chartWindow_; }

  private:
    ChartWindow chartWindow_;
    ChartChoiceDialog choiceDialog_;
    char decimalSeparator_;
};

}  // namespace zond::chart
