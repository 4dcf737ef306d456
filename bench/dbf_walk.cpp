// dbf_walk: the table walk of the benchmarks as a program, for comparing with other readers.
//   dbf_walk --make FILE ROWS   writes a measurement table of ROWS rows
//   dbf_walk FILE               opens FILE, sums TAVIS_1 over the live rows, prints the sum,
//                               the seconds taken and the peak resident memory the open and walk
//                               added in KiB (the file's pages stay in the file cache)
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench_table.h"

namespace {

long statusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(key + ":")) {
            return std::stol(line.substr(key.size() + 1));
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 4 && std::string(argv[1]) == "--make") {
            zond::bench::writeBenchTable(argv[2], static_cast<std::uint32_t>(std::stoul(argv[3])));
            return 0;
        }
        if (argc == 2) {
            const long before = statusKilobytes("VmRSS");
            const auto start = std::chrono::steady_clock::now();
            const double sum = zond::bench::openWalkSum(argv[1]);
            const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
            std::printf("%.6f %.6f %ld\n", sum, taken.count(), statusKilobytes("VmHWM") - before);
            return 0;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dbf_walk: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: dbf_walk FILE | dbf_walk --make FILE ROWS\n");
    return 2;
}
