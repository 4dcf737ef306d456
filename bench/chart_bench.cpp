// Charts of a million-row table: the readings alone, the chart window's build (with and without
// its first paint) with its memory, and zond8t-cli chart to PNG of 10,000 rows as a user runs it.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QPixmap>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <string>

#include "chart/chart_data.h"
#include "chart/chart_view.h"
#include "chart/chart_window.h"
#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"

namespace {

constexpr int kRows = 1'000'000;
constexpr int kCliRows = 10'000;
constexpr zond::chart::SeriesFlags kAllSeries = {true, true, true, true, true};

// Row i: one reading a minute (two years in all), with a daily swing, noise and an over-range tн
// now and then.
void writeTable(const std::filesystem::path& path) {
    zond::measurement::createMeasurementTable(path);
    zond::dbf::DbfTable file;
    const auto f = zond::measurement::openMeasurementTable(file, path);
    constexpr int kMinutesADay = 1440;
    std::string date;
    for (int i = 0; i < kRows; ++i) {
        if (i % kMinutesADay == 0) {
            date = QDate(2023, 1, 1).addDays(i / kMinutesADay).toString("dd.MM.yyyy").toStdString();
        }
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:00", i % kMinutesADay / 60, i % 60);
        auto record = file.blankRecord();
        record.setInteger(f.n, i % 9999 + 1);
        record.setInteger(f.enCh, 3);
        record.setText(f.date, date);
        record.setText(f.time, time);
        record.setDouble(f.tavis1,
                         std::sin(i * 2 * M_PI / kMinutesADay) * 40.0 + 50.0 + (i % 13 * 7 % 13));
        record.setDouble(f.tavis2, i % 1000 * 0.01);
        record.setDouble(f.tavis3, -0.5 * (i % 100));
        record.setText(f.tIn, std::to_string(20 + i % 5) + ".5");
        record.setText(f.tExt, i % 5000 == 0 ? ">320.0" : std::to_string(-(i % 30)));
        file.append(record);
    }
}

// The table, written once for all benchmarks of the run and removed at exit.
struct BenchTable {
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zond-chart-bench-" + std::to_string(::getpid()));
    std::filesystem::path path = folder / "rows.db";
    zond::dbf::DbfTable table;
    std::vector<std::uint32_t> records;

    BenchTable() {
        std::filesystem::create_directories(folder);
        // Written by a child process, so that the memory counted below is the chart's alone.
        const pid_t writer = ::fork();
        if (writer == 0) {
            writeTable(path);
            std::_Exit(0);
        }
        int status = 0;
        ::waitpid(writer, &status, 0);
        zond::measurement::openMeasurementTable(table, path, zond::dbf::OpenMode::ReadOnly);
        records.resize(table.rowCount());
        std::iota(records.begin(), records.end(), 1U);
    }
    ~BenchTable() {
        table.close();
        std::filesystem::remove_all(folder);
    }
};

BenchTable& benchTable() {
    static BenchTable table;
    return table;
}

double megabytes(long kilobytes) {
    return static_cast<double>(kilobytes) / 1024.0;
}

// Resident memory now, from /proc.
double residentMegabytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
                                   (1024.0 * 1024.0)
                             : 0;
}

void BM_ChartReadings(benchmark::State& state) {
    BenchTable& rows = benchTable();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            zond::chart::buildChartData(rows.table, rows.records, kAllSeries, '.'));
    }
}
BENCHMARK(BM_ChartReadings)->Unit(benchmark::kMillisecond);

// ChartWindow's build at a showing: readings, series, legend and axes; with `paint`, also its
// first picture. The memory the window holds afterwards and the process's peak are counted.
void BM_ChartWindow(benchmark::State& state, bool paint) {
    BenchTable& rows = benchTable();
    const double before = residentMegabytes();
    zond::chart::ChartWindow form;
    form.setInput(
        {&rows.table, rows.records, kAllSeries, {"1/2/3", "4/5/6", "7/8/9", "", ""}, '.'});
    form.show();
    for (auto _ : state) {
        form.rebuildChart();
        QApplication::processEvents();
        if (paint) {
            benchmark::DoNotOptimize(form.chartView()->grab());
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["window_mb"] = residentMegabytes() - before;
    state.counters["peak_rss_mb"] = megabytes(usage.ru_maxrss);
}
BENCHMARK_CAPTURE(BM_ChartWindow, build, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChartWindow, build_and_paint, true)->Unit(benchmark::kMillisecond);

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_CliChartPng(benchmark::State& state) {
    BenchTable& rows = benchTable();
    const std::string command = std::string(ZOND_CLI) + " chart " + rows.path.string() +
                                " --rows 1-" + std::to_string(kCliRows) +
                                " --series q1,q2,q3,tн,tв " + (rows.folder / "chart.png").string() +
                                " 2>/dev/null";
    const double cpuBefore = childCpuSeconds();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("zond8t-cli chart failed");
            break;
        }
    }
    // The processor time of the runs themselves, which a busy machine does not inflate.
    state.counters["cli_cpu_s"] =
        benchmark::Counter(childCpuSeconds() - cpuBefore, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CliChartPng)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
