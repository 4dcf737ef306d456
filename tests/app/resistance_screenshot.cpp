// The thermal resistance window's picture for the documentation, taken on a real display (run
// under xvfb-run by scripts/screenshots; not a test): three days of a heavy wall of R = 1,0
// (800 kJ/(m²·K)) under an outside warming of 3 K a day, fetched from the emulator with
// "Создать", then Сервис → "Термическое сопротивление…": the average method biased beside the
// dynamic method, with the storage-drift warning. Usage: resistance_screenshot OUTPUT.png
#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "app/resistance_window.h"
#include "app_fixture.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: resistance_screenshot OUTPUT.png\n");
        return 2;
    }
    QTemporaryDir work;
    zond::test::PrivateSettings settings;
    zond::test::Emulator instrument({QStringLiteral("--wall"), QStringLiteral("1.0"),
                                     QStringLiteral("--days"), QStringLiteral("3"),
                                     QStringLiteral("--mass"), QStringLiteral("800"),
                                     QStringLiteral("--warming"), QStringLiteral("3")});
    settings.pointPortAt(1, instrument.device());

    zond::test::ProgramWindows program;
    program.form1.show();
    program.dialogs.fileNames.push_back(work.filePath(QStringLiteral("Стена 3.db")));
    program.form1.findChild<QAction*>(QStringLiteral("N2"))->trigger();
    if (!program.form1.tableOpen()) {
        std::fprintf(stderr, "the table was not created\n");
        return 1;
    }
    program.form1.findChild<QAction*>(QStringLiteral("Resistance1"))->trigger();
    zond::app::ResistanceWindow* window = program.form1.resistanceWindow();
    window->resize(1200, 760);
    if (!QTest::qWaitForWindowExposed(window)) {
        return 1;
    }
    QTest::qWait(500);
    const bool saved = window->grab().save(QString::fromLocal8Bit(argv[1]));
    std::printf("%s %s\n", saved ? "wrote" : "could not write", argv[1]);
    return saved ? 0 : 1;
}
