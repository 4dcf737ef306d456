// zond8t: start-up creates every window once, in a fixed order, shows the splash for three
// seconds and then runs the main window until it closes.
#include <QApplication>

#include "app/about_window.h"
#include "app/help.h"
#include "app/main_window.h"
#include "app/qt_translations.h"
#include "app/receive_window.h"
#include "app/splash_window.h"
#include "chart/chart_command.h"
#include "text/number_text.h"
#include "ui/program_fonts.h"
#include "ui/user_dialogs.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    zond::text::keepMachineNumberLocale();
    zond::ui::registerProgramFonts();
    QApplication::setApplicationDisplayName(ProductCaption);
    // Lets the desktop match the windows with the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.orbelin.zond8t"));

    zond::app::installQtTranslations();
    zond::app::setApplicationHelpFile(zond::app::findHelpFile(
        QCoreApplication::applicationDirPath(), QStringLiteral(ZOND_DEVELOPMENT_HELP_FILE)));

    zond::ui::StandardDialogs dialogs;
    MainWindow form1(dialogs);
    ReceiveWindow form2(dialogs, &form1);
    zond::chart::ChartCommand charts(&form1, &dialogs);
    auto* splash = new SplashWindow;
    AboutWindow form6(&form1);
    form1.setReceiveWindow(&form2);
    form1.setChartCommand(&charts);
    form1.setAboutWindow(&form6);

    splash->exec();
    delete splash;

    form1.show();
    return QApplication::exec();
}
