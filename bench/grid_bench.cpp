// The grid over a million-row table: open to first paint, sort by q1 through a title click,
// Shift+click over 10,000 rows with the footers recomputed, and the memory of the process with
// the table open. Prints one line per figure; run several times and compare.
//
//   grid_bench [table.db]   (a missing table is written first; without an argument, to a
//                            temporary folder)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "app/grid/measurement_grid.h"
#include "bench_table.h"
#include "measurement/channel_statistics.h"

namespace {

using zond::app::MeasurementGrid;

// Resident and peak resident memory of this process, in MiB.
std::pair<double, double> memoryMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return {-1, -1};
    }
    const QString text = QString::fromLatin1(status.readAll());
    const auto kib = [&](const QString& name) {
        const auto match = QRegularExpression(name + QStringLiteral(":\\s+(\\d+) kB")).match(text);
        return match.hasMatch() ? match.captured(1).toDouble() / 1024.0 : -1.0;
    };
    return {kib(QStringLiteral("VmRSS")), kib(QStringLiteral("VmHWM"))};
}

void report(const char* what, double seconds) {
    std::printf("%-48s %9.3f s\n", what, seconds);
}

void clickRow(QTableView* view, int row, Qt::KeyboardModifiers modifiers) {
    const QModelIndex index = view->model()->index(row, MeasurementGrid::ColDate);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      view->visualRect(index).center());
}

// Selects the first 10,000 rows shown: a click on the first, a Shift+click on the last.
void selectRange(MeasurementGrid& grid, const char* what) {
    QTableView* view = grid.tableView();
    clickRow(view, 0, Qt::NoModifier);
    view->scrollTo(view->model()->index(9999, 0));
    QElapsedTimer clock;
    clock.start();
    clickRow(view, 9999, Qt::ShiftModifier);
    const double selected = clock.nsecsElapsed() / 1e9;
    grid.grab();
    report(what, selected);
    report("  ... and repainted", clock.nsecsElapsed() / 1e9);
    std::printf("  selected rows: %zu, q1 footer: %s\n", grid.selection().size(),
                qPrintable(grid.footerText(MeasurementGrid::ColQ1)));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);

    QTemporaryDir work;
    const std::filesystem::path path =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::path(work.filePath(QStringLiteral("million.db")).toStdString());
    if (!std::filesystem::exists(path)) {
        QElapsedTimer writing;
        writing.start();
        zond::bench::writeBenchTable(path, zond::bench::kBenchRows);
        report("writing the table (not the grid)", writing.nsecsElapsed() / 1e9);
    }
    const double rssBefore = memoryMiB().first;

    zond::dbf::DbfTable table;
    MeasurementGrid grid;
    grid.setTable(&table);
    grid.resize(1200, 800);
    grid.show();

    // As the main window opens a table: open, statistics, layout, first paint.
    QElapsedTimer clock;
    clock.start();
    const auto fields = zond::measurement::openMeasurementTable(table, path);
    const double opened = clock.nsecsElapsed() / 1e9;
    grid.setTableStatistics(zond::measurement::computeChannelStatistics(table, fields));
    const double counted = clock.nsecsElapsed() / 1e9;
    grid.showColumns();
    grid.loadLayout(QStringLiteral("Table_1"));
    grid.grab();
    const double painted = clock.nsecsElapsed() / 1e9;
    std::printf("rows: %zu\n", table.rowCount());
    report("open: table file opened", opened);
    report("open: + statistics (computeChannelStatistics)", counted);
    report("open: + grid shown and first paint", painted);
    report("first paint alone (grid part)", painted - counted);

    QTableView* view = grid.tableView();
    QHeaderView* header = view->horizontalHeader();
    clock.restart();
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, Qt::NoModifier,
        QPoint(header->sectionViewportPosition(MeasurementGrid::ColQ1) + 5, header->height() / 2));
    grid.grab();
    report("sort by q1 (title click to painted)", clock.nsecsElapsed() / 1e9);

    // Sorted by q1 (the range lies in a few runs of the file), by q3 (every 1000th record: the
    // range is spread over the whole file), then in file order again.
    selectRange(grid, "Shift+click 10,000 rows with footers, by q1");
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, Qt::NoModifier,
        QPoint(header->sectionViewportPosition(MeasurementGrid::ColQ3) + 5, header->height() / 2));
    selectRange(grid, "Shift+click 10,000 rows with footers, by q3");
    grid.clearSort();
    selectRange(grid, "Shift+click 10,000 rows with footers, file order");

    const auto [rss, peak] = memoryMiB();
    std::printf("%-48s %9.1f MiB (peak %.1f MiB; %.1f MiB before the table)\n",
                "memory with the table open (resident)", rss, peak, rssBefore);
    return 0;
}
