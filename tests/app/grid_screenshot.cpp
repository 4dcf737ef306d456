// Takes the picture of the grid for the documentation on a real display (run under xvfb-run): a
// table sorted by q1, with a coloured column and several selected rows summed up in the footers.
// Usage: grid_screenshot OUTPUT.png
#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <cstdio>

#include "grid_fixture.h"

namespace {

std::vector<zond::test::TestRow> observationRows() {
    std::vector<zond::test::TestRow> rows;
    for (int i = 0; i < 40; ++i) {
        zond::test::TestRow row;
        row.n = i + 1;
        row.date = QStringLiteral("%1.02.2021").arg(10 + i / 12, 2, 10, QLatin1Char('0'));
        row.time = QStringLiteral("%1:%2:00")
                       .arg(8 + (i % 12), 2, 10, QLatin1Char('0'))
                       .arg((i * 7) % 60, 2, 10, QLatin1Char('0'));
        row.q1 = std::round((42 + 18 * std::sin(i * 0.4)) * 10) / 10;
        row.q2 = std::round((35 + 11 * std::cos(i * 0.3)) * 10) / 10;
        row.q3 = std::round((27 + 6 * std::sin(i * 0.7 + 1)) * 10) / 10;
        row.tIn = QString::number(20.5 + (i % 5) * 0.3, 'f', 1).replace(u'.', u',');
        row.tExt = QString::number(-12.0 + (i % 7) * 0.8, 'f', 1).replace(u'.', u',');
        if (i == 3) {
            row.comment = QStringLiteral("стена у окна");
        } else if (i == 17) {
            row.comment = QStringLiteral("угол, 2 этаж");
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: grid_screenshot OUTPUT.png\n");
        return 2;
    }
    QTemporaryDir settings;
    QTemporaryDir work;
    zond::test::usePrivateSettings(settings.path());

    zond::test::GridHarness h;
    h.grid.resize(1150, 540);
    h.grid.setWindowTitle(QStringLiteral("obj1 - ЗОНД-8Т \"Тавис\""));
    h.open(zond::test::writeTable(work.path(), QStringLiteral("obj1.db"), observationRows()));
    h.grid.equalizeColumns();

    QTableView* view = h.grid.tableView();
    view->setCurrentIndex(view->model()->index(0, zond::app::MeasurementGrid::ColQ1));
    h.dialogs.colors.push_back(QColor(255, 236, 179));
    h.grid.chooseCurrentColumnColor();
    h.clickTitle(zond::app::MeasurementGrid::ColQ1);
    h.clickCell(2, zond::app::MeasurementGrid::ColDate);
    h.clickCell(6, zond::app::MeasurementGrid::ColDate, Qt::ShiftModifier);
    h.clickCell(9, zond::app::MeasurementGrid::ColDate, Qt::ControlModifier);
    view->setFocus();
    QTest::qWait(200);

    const bool saved = h.grid.grab().save(QString::fromLocal8Bit(argv[1]));
    std::printf("%s %s\n", saved ? "wrote" : "could not write", argv[1]);
    return saved ? 0 : 1;
}
