// The table-file module on a 1,000,000-row measurement table: append, open and walk, sort, pack.
// The memory of an open and walk is measured by dbf_walk in a process of its own.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "bench_table.h"

namespace {

using zond::bench::kBenchRows;
namespace fs = std::filesystem;

fs::path benchFolder() {
    static const fs::path folder = [] {
        auto path = fs::temp_directory_path() / ("zond-dbf-bench-" + std::to_string(::getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

// The shared million-row table, written once.
const fs::path& millionTable() {
    static const fs::path path = [] {
        auto table = benchFolder() / "million.db";
        zond::bench::writeBenchTable(table, kBenchRows);
        return table;
    }();
    return path;
}

void BM_AppendMillionRows(benchmark::State& state) {
    const auto path = benchFolder() / "append.db";
    for (auto _ : state) {
        zond::bench::writeBenchTable(path, kBenchRows);
    }
    state.SetItemsProcessed(state.iterations() * kBenchRows);
    fs::remove(path);
}
BENCHMARK(BM_AppendMillionRows)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_OpenWalkSumTavis1(benchmark::State& state) {
    const auto& path = millionTable();
    benchmark::DoNotOptimize(zond::bench::openWalkSum(path));  // warm the file cache
    for (auto _ : state) {
        benchmark::DoNotOptimize(zond::bench::openWalkSum(path));
    }
}
BENCHMARK(BM_OpenWalkSumTavis1)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SortIndexOnTavis1(benchmark::State& state) {
    zond::dbf::DbfTable table;
    table.open(millionTable());
    for (auto _ : state) {
        table.addSortIndex("tab1", "TAVIS_1", false);
        table.selectIndex("tab1");
        state.PauseTiming();
        table.selectIndex(std::nullopt);
        table.dropSortIndex("tab1");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SortIndexOnTavis1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PackTenPercentDeleted(benchmark::State& state) {
    const auto path = benchFolder() / "pack.db";
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(millionTable(), path, fs::copy_options::overwrite_existing);
        zond::dbf::DbfTable table;
        table.open(path);
        std::vector<std::uint32_t> tenth;
        for (std::uint32_t record = 1; record <= kBenchRows; record += 10) {
            tenth.push_back(record);
        }
        table.markDeleted(tenth);
        state.ResumeTiming();
        table.pack();
    }
    fs::remove(path);
}
BENCHMARK(BM_PackTenPercentDeleted)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(benchFolder());
    return 0;
}
