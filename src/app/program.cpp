// zond8t: start-up creates every window once, in a fixed order, shows the splash for three
// seconds and then runs the main window until it closes.
#include <QApplication>

#include "about.h"
#include "chart_command.h"
#include "help.h"
#include "logo.h"
#include "main.h"
#include "qt_translations.h"
#include "receive.h"
#include "ui/user_dialogs.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(ProductCaption);
    // Lets the desktop match the windows with the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.orbelin.zond8t"));

    zond::app::installQtTranslations();
    zond::app::setApplicationHelpFile(zond::app::findHelpFile(
        QCoreApplication::applicationDirPath(), QStringLiteral(ZOND_DEVELOPMENT_HELP_FILE)));

    zond::ui::StandardDialogs dialogs;
    TForm1 form1(dialogs);
    TForm2 form2(dialogs, &form1);
    zond::app::ChartCommand charts(&form1, &dialogs);
    auto* splash = new TForm5;
    Tform6 form6(&form1);
    form1.setReceiveWindow(&form2);
    form1.setChartCommand(&charts);
    form1.setAboutWindow(&form6);

    splash->exec();
    delete splash;

    form1.show();
    return QApplication::exec();
}
