#include "chart_command.h"

#include <QLocale>

namespace zond::app {

namespace {

char systemDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 && point.front().unicode() < 0x80 ? point.front().toLatin1() : '.';
}

}  // namespace

ChartCommand::ChartCommand(QWidget* mainWindow, ui::UserDialogs* dialogs)
    : form3_(mainWindow), form4_(mainWindow), decimalSeparator_(systemDecimalSeparator()) {
    form3_.setDialogs(dialogs);
}

void ChartCommand::N15Click(const std::vector<measurement::RowSnapshot>& selection,
                            const SeriesTexts& footers, int currentEnCh) {
    form4_.setCurrentEnCh(currentEnCh);
    if (form4_.exec() != QDialog::Accepted) {
        return;
    }
    form3_.setInput({selection, form4_.checkedSeries(), footers, decimalSeparator_});
    form3_.exec();
}

}  // namespace zond::app
