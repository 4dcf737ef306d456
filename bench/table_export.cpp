// table_export: the CSV and .xlsx exports as a program, for bench/table_export_compare.sh.
//   table_export --make TABLE ROWS   writes TABLE with ROWS measurement rows
//   table_export TABLE OUT           exports TABLE to OUT (.csv or .xlsx by its extension) and
//                                    prints the seconds taken, open to written file
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "../tests/support/export_table.h"
#include "export/table_exports.h"

int main(int argc, char** argv) {
    try {
        if (argc == 4 && std::string(argv[1]) == "--make") {
            zond::testing::writeMeasurementTable(
                argv[2], zond::testing::sampleMeasurementRows(std::stoi(argv[3])));
            return 0;
        }
        if (argc == 3) {
            const auto start = std::chrono::steady_clock::now();
            zond::dbf::DbfTable table;
            zond::measurement::openMeasurementTable(table, argv[1]);
            zond::exporting::ExportOptions options;
            options.format = zond::exporting::formatOfPath(argv[2]).value();
            zond::exporting::exportTable(table, argv[2], options);
            const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
            std::printf("%.6f\n", taken.count());
            return 0;
        }
    } catch (const std::exception& error) {
        std::cerr << "table_export: " << error.what() << '\n';
        return 1;
    }
    std::cerr << "usage: table_export --make TABLE ROWS | table_export TABLE OUT.csv|OUT.xlsx\n";
    return 2;
}
