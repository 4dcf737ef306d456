// The table report on a 10,000-row table: layout plus PDF output, and the time from the preview
// command to its first painted page.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include "bench_table.h"
#include "report/report_layout.h"
#include "report/report_painter.h"
#include "report/report_template.h"
#include "report/table_report_rows.h"
#include "report/windows/page_view.h"
#include "report/windows/preview_window.h"
#include "report/windows/report_commands.h"
#include "report/windows/report_printing.h"
#include "ui/user_dialogs.h"

namespace {

using namespace zond;

constexpr std::uint32_t kRows = 10'000;

// A table of kRows rows, made once for all benchmarks.
class BenchTable {
  public:
    BenchTable() {
        const std::filesystem::path path = folder_.filePath("bench.db").toStdString();
        measurement::createMeasurementTable(path);
        bench::appendMeasurementRows(table_, measurement::openMeasurementTable(table_, path), kRows,
                                     true);
    }
    const dbf::DbfTable& table() const { return table_; }
    QString pdfPath() const { return folder_.filePath("bench.pdf"); }

  private:
    QTemporaryDir folder_;
    dbf::DbfTable table_;
};

BenchTable& benchTable() {
    static BenchTable table;
    return table;
}

// No messages are expected; any would block a benchmark, so they are only counted.
class SilentDialogs final : public ui::UserDialogs {
  public:
    using ui::UserDialogs::message;
    QMessageBox::StandardButton message(QWidget*, const QString&, const QString&, ui::MessageIcon,
                                        QMessageBox::StandardButtons, const QString&) override {
        return QMessageBox::Ok;
    }
    QString openFileName(QWidget*, const ui::FileDialogRequest&) override { return {}; }
    QString saveFileName(QWidget*, const ui::FileDialogRequest&) override { return {}; }
    std::optional<QColor> color(QWidget*, const QColor&) override { return std::nullopt; }
};

class NoPrinters final : public report::PrinterAccess {
  public:
    QStringList printerNames() const override { return {}; }
    std::optional<report::PrintJob> choose(QWidget*, std::optional<int>) override {
        return std::nullopt;
    }
};

void BM_LayoutAndPdf(benchmark::State& state) {
    const BenchTable& source = benchTable();
    std::size_t pages = 0;
    for (auto _ : state) {
        report::TableReportRows rows(source.table());
        const auto document = report::layoutReport(report::measurementReportTemplate(), rows);
        report::writePdf(*document, source.pdfPath());
        pages = document->pages.size();
    }
    state.counters["pages"] = static_cast<double>(pages);
}
BENCHMARK(BM_LayoutAndPdf)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LayoutOnly(benchmark::State& state) {
    const BenchTable& source = benchTable();
    for (auto _ : state) {
        report::TableReportRows rows(source.table());
        benchmark::DoNotOptimize(report::layoutReport(report::measurementReportTemplate(), rows));
    }
}
BENCHMARK(BM_LayoutOnly)->Unit(benchmark::kMillisecond)->Iterations(5);

// From the preview command until the preview window has painted its first page.
void BM_PreviewFirstPage(benchmark::State& state) {
    const BenchTable& source = benchTable();
    SilentDialogs dialogs;
    NoPrinters printers;
    report::ReportCommands commands(dialogs, &printers);
    for (auto _ : state) {
        QElapsedTimer clock;
        double shownAfter = 0;
        QTimer watch;
        watch.setInterval(0);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* window = qobject_cast<report::PreviewWindow*>(QApplication::activeModalWidget());
            if (window && window->pageView()->paintedPages() > 0) {
                shownAfter = clock.nsecsElapsed() / 1e9;
                watch.stop();
                window->accept();
            }
        });
        watch.start();
        clock.start();
        commands.preview(nullptr, &source.table());
        state.SetIterationTime(shownAfter);
    }
}
BENCHMARK(BM_PreviewFirstPage)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace
