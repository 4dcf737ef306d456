// Import of a full instrument memory into a new table, and the footers' statistics over a large
// table.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "image_builder.h"
#include "instrument/record_import.h"
#include "measurement/channel_statistics.h"
#include "measurement/measurement_schema.h"

namespace {

using namespace zond;

std::filesystem::path scratchPath(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("import_bench_" + std::to_string(::getpid()) + "_" + name + ".db");
}

instrument::DeviceInfo threeChannelInfo() {
    instrument::DeviceInfo info;
    info.versionNumberText = "090818";
    info.firmwareFlag = 27;
    info.sensorCodes = {3, 3, 3};
    info.channelCount = 3;
    return info;
}

// Create the table, open it, import all 3854 records, close it.
void BM_ImportFullMemory(benchmark::State& state) {
    const auto image =
        testing::buildImage(testing::minuteRecords(instrument::DeviceImage::kMaxRecords));
    const auto path = scratchPath("full");
    auto info = threeChannelInfo();
    for (auto _ : state) {
        measurement::createMeasurementTable(path);
        dbf::DbfTable table;
        const auto fields = measurement::openMeasurementTable(table, path);
        const auto result = instrument::importRecords(table, fields, info, image,
                                                      instrument::ImportMode::Create, ',');
        table.close();
        benchmark::DoNotOptimize(result.added);
    }
    state.SetItemsProcessed(state.iterations() *
                            static_cast<std::int64_t>(instrument::DeviceImage::kMaxRecords));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ImportFullMemory)->Unit(benchmark::kMillisecond);

// computeChannelStatistics over an open table of state.range(0) rows (the file is written once,
// outside timing).
void BM_FindMma(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    const auto path = scratchPath("rows" + std::to_string(rows));
    measurement::createMeasurementTable(path);
    dbf::DbfTable table;
    auto fields = measurement::openMeasurementTable(table, path);
    auto record = table.blankRecord();
    for (std::size_t i = 0; i < rows; ++i) {
        record.setDouble(fields.tavis1, static_cast<double>(i % 1000) / 10.0);
        record.setDouble(fields.tavis2, -static_cast<double>(i % 777) / 10.0);
        record.setDouble(fields.tavis3, static_cast<double>(i % 13));
        table.append(record);
    }
    table.close();
    fields = measurement::openMeasurementTable(table, path);
    for (auto _ : state) {
        benchmark::DoNotOptimize(measurement::computeChannelStatistics(table, fields));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    table.close();
    std::filesystem::remove(path);
}
BENCHMARK(BM_FindMma)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
