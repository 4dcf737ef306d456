#include "chart/chart_command.h"

#include <QLocale>

namespace zond::chart {

namespace {

char systemDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 && point.front().unicode() < 0x80 ? point.front().toLatin1() : '.';
}

}  // namespace

ChartCommand::ChartCommand(QWidget* mainWindow, ui::UserDialogs* dialogs)
    : chartWindow_(mainWindow),
      choiceDialog_(mainWindow),
      decimalSeparator_(systemDecimalSeparator()) {
    chartWindow_.setDialogs(dialogs);
}

void ChartCommand::run(const dbf::DbfTable& table, std::vector<std::uint32_t> records,
                       const SeriesTexts& footers, int currentEnCh) {
    choiceDialog_.setCurrentEnCh(currentEnCh);
    if (choiceDialog_.exec() != QDialog::Accepted) {
        return;
    }
    chartWindow_.setInput(
        {&table, std::move(records), choiceDialog_.checkedSeries(), footers, decimalSeparator_});
    chartWindow_.exec();
}

}  // namespace zond::chart
