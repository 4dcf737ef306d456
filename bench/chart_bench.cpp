// Charts of 10,000 selected rows: the points alone, the chart window's build (with and without
// its first paint), and zond8t-cli chart to PNG as a user runs it.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>
#include <QApplication>
#include <QDateTime>
#include <QPixmap>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "chart/chart_data.h"
#include "chart/chart_view.h"
#include "chart/chart_window.h"
#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"

namespace {

constexpr int kRows = 10'000;
constexpr zond::chart::SeriesFlags kAllSeries = {true, true, true, true, true};

// Row i: one reading a minute, newest first, as a selection made upwards from the last row.
struct Reading {
    std::string date;
    std::string time;
    double q1, q2, q3;
    std::string tIn, tExt;
};

Reading reading(int i) {
    const QDateTime moment = QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(60LL * (kRows - i));
    return {moment.toString("dd.MM.yyyy").toStdString(),
            moment.toString("hh:mm:ss").toStdString(),
            std::sin(i * 0.01) * 40.0 + 50.0,
            i * 0.01,
            -0.5 * (i % 100),
            std::to_string(20 + i % 5) + ".5",
            i % 500 == 0 ? ">320.0" : std::to_string(-(i % 30))};
}

std::vector<zond::measurement::RowSnapshot> snapshots() {
    std::vector<zond::measurement::RowSnapshot> rows;
    for (int i = 0; i < kRows; ++i) {
        const Reading r = reading(i);
        rows.push_back({static_cast<std::uint32_t>(i + 1),
                        {std::to_string(r.q1), std::to_string(r.q2), std::to_string(r.q3), r.tIn,
                         r.tExt, "0", r.date, r.time}});
    }
    return rows;
}

zond::chart::ChartInput input() {
    return {snapshots(), kAllSeries, {"1/2/3", "4/5/6", "7/8/9", "", ""}, '.'};
}

void BM_ChartPoints(benchmark::State& state) {
    const auto rows = snapshots();
    for (auto _ : state) {
        benchmark::DoNotOptimize(zond::chart::buildChartData(rows, kAllSeries, '.'));
    }
}
BENCHMARK(BM_ChartPoints)->Unit(benchmark::kMillisecond);

// ChartWindow's build at a showing: points, series, legend and axes; with `paint`, also its first
// picture.
void BM_ChartWindow(benchmark::State& state, bool paint) {
    zond::chart::ChartWindow form;
    form.setInput(input());
    form.show();
    for (auto _ : state) {
        form.rebuildChart();
        QApplication::processEvents();
        if (paint) {
            benchmark::DoNotOptimize(form.chartView()->grab());
        }
    }
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
    const auto folder =
        std::filesystem::temp_directory_path() / ("zond-chart-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto table = folder / "rows.db";
    zond::measurement::createMeasurementTable(table);
    {
        zond::dbf::DbfTable file;
        const auto f = zond::measurement::openMeasurementTable(file, table);
        for (int i = 0; i < kRows; ++i) {
            const Reading r = reading(i);
            auto record = file.blankRecord();
            record.setInteger(f.enCh, 3);
            record.setText(f.date, r.date);
            record.setText(f.time, r.time);
            record.setDouble(f.tavis1, r.q1);
            record.setDouble(f.tavis2, r.q2);
            record.setDouble(f.tavis3, r.q3);
            record.setText(f.tIn, r.tIn);
            record.setText(f.tExt, r.tExt);
            file.append(record);
        }
    }
    const std::string command = std::string(ZOND_CLI) + " chart " + table.string() +
                                " --rows 1-10000 --series q1,q2,q3,tн,tв " +
                                (folder / "chart.png").string() + " 2>/dev/null";
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
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CliChartPng)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
