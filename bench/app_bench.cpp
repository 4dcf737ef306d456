// The desktop program's two waits a user feels: from the splash closing to the main window painted,
// and "Создать" from an unpaced emulator with a full memory (3854 records) from the click to the
// grid painting its rows. Prints one line per figure; run several times and compare.
// With --resistance TABLE (a million rows: analysis_bench --make TABLE) it times instead
// Сервис → "Термическое сопротивление…" from the click to the window painted.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/grid/measurement_grid.h"
#include "app/resistance_window.h"
#include "app/splash_window.h"
#include "app_fixture.h"

namespace {

// Waits until `widget` receives its next paint event; returns false after ten seconds.
bool waitForPaint(QWidget* widget) {
    struct PaintWatch : QObject {
        QEventLoop loop;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                QTimer::singleShot(0, &loop, [this] { loop.exit(0); });
            }
            return false;
        }
    } watch;
    widget->installEventFilter(&watch);
    QTimer::singleShot(10000, &watch.loop, [&watch] { watch.loop.exit(1); });
    const bool painted = watch.loop.exec() == 0;
    widget->removeEventFilter(&watch);
    return painted;
}

double splashToPaintedSeconds() {
    zond::test::ProgramWindows program;
    auto* splash = new SplashWindow;
    splash->exec();
    QElapsedTimer clock;
    clock.start();
    delete splash;
    program.form1.show();
    if (!waitForPaint(&program.form1)) {
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

double createFullMemorySeconds(const QTemporaryDir& work) {
    zond::test::Emulator instrument({QStringLiteral("--records"), QStringLiteral("3854")});
    zond::test::PrivateSettings settings;
    settings.pointPortAt(1, instrument.device());
    zond::test::ProgramWindows program;
    program.form1.show();
    waitForPaint(&program.form1);
    program.dialogs.fileNames.push_back(work.filePath(QStringLiteral("full.db")));
    auto* create = program.form1.findChild<QAction*>(QStringLiteral("N2"));
    QWidget* rows = program.form1.grid()->tableView()->viewport();

    QElapsedTimer clock;
    clock.start();
    create->trigger();
    const int shown = program.form1.grid()->tableView()->model()->rowCount();
    if (shown != 3854 || !waitForPaint(rows)) {
        std::fprintf(stderr, "create showed %d rows\n", shown);
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

double resistanceWindowSeconds(const QString& table) {
    zond::test::PrivateSettings settings;
    zond::test::ProgramWindows program;
    program.form1.show();
    waitForPaint(&program.form1);
    program.form1.openTable(table);
    auto* command = program.form1.findChild<QAction*>(QStringLiteral("Resistance1"));
    QWidget* window = program.form1.resistanceWindow();

    QElapsedTimer clock;
    clock.start();
    command->trigger();
    if (!window->isVisible() || !waitForPaint(window)) {
        return -1;
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::printf("rows used: %zu\n", program.form1.resistanceWindow()->result().rowsUsed);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--resistance") == 0) {
        std::printf("Термическое сопротивление, click -> window painted: %.3f s\n",
                    resistanceWindowSeconds(QString::fromLocal8Bit(argv[2])));
        return 0;
    }
    QTemporaryDir work;
    std::printf("splash closed -> main window painted: %.3f s\n", splashToPaintedSeconds());
    std::printf("Create, 3854 records, click -> rows painted: %.3f s\n",
                createFullMemorySeconds(work));
    return 0;
}
