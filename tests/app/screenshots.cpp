// Takes the README's pictures of the desktop program on a real display (run under xvfb-run by
// scripts/screenshots): the empty main window, the receive window during a transfer from a paced
// emulator, the table after Create, and the port settings window after a check of the line.
// Usage: app_screenshots OUTPUT_FOLDER
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstdio>

#include "app/port_settings_window.h"
#include "app_fixture.h"

namespace {

bool grabScreen(const QString& path) {
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0);
    const bool saved = picture.save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: app_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir work;
    zond::test::PrivateSettings settings;
    // Paced at the line's speed, so the transfer is still running when the picture is taken.
    zond::test::Emulator instrument({QStringLiteral("--records"), QStringLiteral("120"),
                                     QStringLiteral("--baud"), QStringLiteral("9600"),
                                     QStringLiteral("--sensors"), QStringLiteral("1,1,1")});
    settings.pointPortAt(1, instrument.device());

    zond::test::ProgramWindows program;
    program.form1.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    program.form1.show();
    QTest::qWait(800);
    bool ok = grabScreen(out.filePath(QStringLiteral("main-window-empty.png")));

    QTimer::singleShot(
        2500, [&] { ok = grabScreen(out.filePath(QStringLiteral("receive-window.png"))) && ok; });
    program.dialogs.fileNames.push_back(work.filePath(QStringLiteral("Объект 1.db")));
    program.form1.findChild<QAction*>(QStringLiteral("N2"))->trigger();
    QTest::qWait(800);
    ok = grabScreen(out.filePath(QStringLiteral("table-after-create.png"))) && ok;

    PortSettingsWindow ports(&program.form1);
    ports.show();
    ports.deviceBox(1)->setCurrentText(instrument.device());
    ports.checkButton(1)->click();
    QTest::qWait(1500);
    const QString portsPicture = out.filePath(QStringLiteral("port-settings.png"));
    const bool portsSaved = ports.grab().save(portsPicture);
    std::printf("%s %s\n", portsSaved ? "wrote" : "could not write", qPrintable(portsPicture));
    return ok && portsSaved && program.form1.tableOpen() ? 0 : 1;
}
