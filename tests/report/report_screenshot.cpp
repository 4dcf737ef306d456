// Takes the picture of the report preview for the user's guide: run on a virtual display
// (xvfb-run) with the output file as argument.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "report/windows/preview_window.h"
#include "report/windows/report_commands.h"
#include "report_test_support.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        qCritical("usage: report_screenshot OUT.png");
        return 1;
    }
    using namespace zond::report;
    QTemporaryDir folder;
    const std::filesystem::path path = folder.filePath("demo.db").toStdString();
    std::vector<testing::MeasurementRow> rows;
    for (int n = 1; n <= 40; ++n) {
        rows.push_back({n, 35.0 + (n * 37 % 23) / 3.0, QString::number(20.0 + n % 4 * 0.5, 'f', 1),
                        QString::number(-8.0 - n % 5, 'f', 1),
                        n == 2 ? QStringLiteral("северная стена") : QString()});
    }
    testing::writeMeasurementTable(path, rows);
    zond::dbf::DbfTable table;
    zond::measurement::openMeasurementTable(table, path);

    testing::FakeDialogs dialogs;
    testing::PdfPrinters printers;
    ReportCommands commands(dialogs, &printers);
    QImage picture;
    // Polls, since the progress window lets events run while the pages are laid out.
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* window = qobject_cast<PreviewWindow*>(QApplication::activeModalWidget());
        if (!window) {
            return;
        }
        watch.stop();
        window->resize(1200, 760);
        window->setZoom(PreviewWindow::ZoomMode::PageWidth);
        if (QTest::qWaitForWindowExposed(window)) {
            QTest::qWait(300);
            picture = window->grab().toImage();
        }
        window->accept();
    });
    watch.start();
    commands.preview(nullptr, &table);
    return picture.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
