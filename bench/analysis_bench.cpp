// The resistance analysis of a million readings (a minute apart, about 694 days), with the
// longest-period search; the dynamic method on the instrument's full memory (3854 readings) and
// on 100 000; and the million readings as a table for timing the CLI.
//   analysis_bench [benchmark options]   runs the benchmarks
//   analysis_bench --make FILE           writes the million readings as a measurement table
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "analysis/reading_loader.h"
#include "analysis/wall_resistance.h"
#include "bench_table.h"
#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"
#include "text/number_text.h"

namespace {

using namespace zond;

// Three channels on a steady wall; with `disturbed`, every third day's flux is doubled so that
// no run of days conforms and the longest-period search tries every candidate.
analysis::Readings millionReadings(bool disturbed) {
    analysis::Readings readings;
    readings.rows.reserve(bench::kBenchRows);
    const std::int64_t start = analysis::secondsOf(2009, 10, 1, 0, 0, 0);
    for (std::uint32_t i = 0; i < bench::kBenchRows; ++i) {
        const std::int64_t time = start + 60LL * i;
        const double day = 2 * std::numbers::pi * static_cast<double>(i % 1440) / 1440.0;
        const double tExt = -5.0 + 4.0 * std::sin(day);
        double q = (20.0 - tExt) / 3.2;
        if (disturbed && (i / 1440) % 3 == 0) {
            q *= 2;
        }
        readings.rows.push_back({time, 20.0, tExt, {q, q * 0.9, q * 1.1}, 0b111});
    }
    return readings;
}

void analyse(benchmark::State& state, bool disturbed, std::size_t cumulativePoints,
             bool dynamic = true) {
    const analysis::Readings readings = millionReadings(disturbed);
    for (auto _ : state) {
        auto result = analysis::analyseResistance(
            readings,
            {.findLongest = true, .cumulativePoints = cumulativePoints, .dynamic = dynamic});
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * bench::kBenchRows);
}

// Three channels of a wall with a 20 h lag under a daily cycle and a 5-day weather swing, every
// `step` seconds.
analysis::Readings laggingWall(std::size_t count, std::int64_t step) {
    analysis::Readings readings;
    const std::int64_t start = analysis::secondsOf(2009, 10, 1, 0, 0, 0);
    const double follow = 1 - std::exp(-static_cast<double>(step) / (20 * 3600.0));
    double q = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(step) * static_cast<double>(i);
        const double tExt = -5.0 + 4.0 * std::sin(2 * std::numbers::pi * t / 86400) +
                            3.0 * std::sin(2 * std::numbers::pi * t / (5 * 86400));
        const double steady = (20.0 - tExt) / 2.0;
        q = i == 0 ? steady : q + follow * (steady - q);
        readings.rows.push_back(
            {start + step * static_cast<std::int64_t>(i), 20.0, tExt, {q, q, q}, 0b111});
    }
    return readings;
}

void dynamicAnalysis(benchmark::State& state, std::size_t count) {
    const analysis::Readings readings = laggingWall(count, 600);
    for (auto _ : state) {
        auto result = analysis::analyseResistance(readings, {.cumulativePoints = 2000});
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}

// The whole analysis, both methods on three channels, of the instrument's full memory.
void BM_AnalyseInstrumentMemoryWithDynamic(benchmark::State& state) {
    dynamicAnalysis(state, 3854);
}
BENCHMARK(BM_AnalyseInstrumentMemoryWithDynamic)->Unit(benchmark::kMillisecond);

void BM_AnalyseHundredThousandWithDynamic(benchmark::State& state) {
    dynamicAnalysis(state, 100000);
}
BENCHMARK(BM_AnalyseHundredThousandWithDynamic)->Unit(benchmark::kMillisecond);

// The million readings without the dynamic method, to see its share.
void BM_AnalyseMillionReadingsAverageOnly(benchmark::State& state) {
    analyse(state, false, 2000, false);
}
BENCHMARK(BM_AnalyseMillionReadingsAverageOnly)->Unit(benchmark::kMillisecond);

// A cumulative R for every row (as --json writes it): 32 MB of series, first touched here.
void BM_AnalyseMillionReadingsWholeSeries(benchmark::State& state) {
    analyse(state, false, 0);
}
BENCHMARK(BM_AnalyseMillionReadingsWholeSeries)->Unit(benchmark::kMillisecond);

// The series a chart shows.
void BM_AnalyseMillionReadingsConforming(benchmark::State& state) {
    analyse(state, false, 2000);
}
BENCHMARK(BM_AnalyseMillionReadingsConforming)->Unit(benchmark::kMillisecond);

void BM_AnalyseMillionReadingsNoneConforming(benchmark::State& state) {
    analyse(state, true, 2000);
}
BENCHMARK(BM_AnalyseMillionReadingsNoneConforming)->Unit(benchmark::kMillisecond);

void writeTable(const char* path) {
    measurement::createMeasurementTable(path);
    dbf::DbfTable table;
    const auto f = measurement::openMeasurementTable(table, path);
    for (const auto& r : millionReadings(false).rows) {
        const std::string when = analysis::dateTimeText(r.time);
        auto record = table.blankRecord();
        record.setInteger(f.enCh, 3);
        record.setText(f.date, when.substr(0, 10));
        record.setText(f.time, when.substr(11));
        record.setText(f.tIn, "20");
        record.setText(f.tExt, text::fixedNumberText(r.tExt, 1, ','));
        record.setDouble(f.tavis1, std::round(r.q[0] * 10) / 10);
        record.setDouble(f.tavis2, std::round(r.q[1] * 10) / 10);
        record.setDouble(f.tavis3, std::round(r.q[2] * 10) / 10);
        table.append(record);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--make") == 0) {
        writeTable(argv[2]);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
