// xls_export: the export benchmark as a program, for comparing with other spreadsheet writers.
//   xls_export --make DIR ROWS   writes DIR/table.db with ROWS measurement rows, and the same
//                                cells the export writes as DIR/cells.csv (for LibreOffice) and
//                                DIR/cells.json (for python3-xlwt)
//   xls_export TABLE OUT.xls     opens TABLE, exports it to OUT.xls, prints the seconds taken and
//                                the peak resident memory of the process in KiB
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "../tests/support/export_table.h"
#include "../tests/support/json_text.h"
#include "export/xls_export.h"

namespace {

namespace fs = std::filesystem;
using zond::exporting::kExportHeadings;

using zond::testing::jsonString;

std::string csvText(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + '"';
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// The export's cells, heading row first, as CSV (texts quoted) and as JSON rows (a number, a
// text, or null for a blank).
void writeCells(const fs::path& dir, std::span<const zond::testing::MeasurementRow> rows) {
    std::ofstream csv(dir / "cells.csv");
    std::ofstream json(dir / "cells.json");
    json << "[[";
    for (std::size_t c = 0; c < kExportHeadings.size(); ++c) {
        csv << (c ? "," : "") << csvText(kExportHeadings[c]);
        json << (c ? ", " : "") << jsonString(kExportHeadings[c]);
    }
    csv << '\n';
    json << "]";
    const auto text = [](const std::string& t) { return t.empty() ? "null" : jsonString(t); };
    for (const auto& row : rows) {
        csv << row.n << ',' << csvText(row.date) << ',' << csvText(row.time) << ','
            << csvText(row.mode) << ',' << csvText(row.type) << ',' << number(row.q1) << ','
            << number(row.q2) << ',' << number(row.q3) << ',' << csvText(row.tIn) << ','
            << csvText(row.tExt) << ',' << (row.comment.empty() ? "" : csvText(row.comment))
            << '\n';
        json << ",\n[" << row.n << ", " << text(row.date) << ", " << text(row.time) << ", "
             << text(row.mode) << ", " << text(row.type) << ", " << number(row.q1) << ", "
             << number(row.q2) << ", " << number(row.q3) << ", " << text(row.tIn) << ", "
             << text(row.tExt) << ", " << text(row.comment) << "]";
    }
    json << "]\n";
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 4 && std::string(argv[1]) == "--make") {
            const fs::path dir = argv[2];
            const auto rows = zond::testing::sampleMeasurementRows(std::stoi(argv[3]));
            zond::testing::writeMeasurementTable(dir / "table.db", rows);
            writeCells(dir, rows);
            return 0;
        }
        if (argc == 3) {
            const auto start = std::chrono::steady_clock::now();
            zond::dbf::DbfTable table;
            zond::measurement::openMeasurementTable(table, argv[1]);
            zond::exporting::exportTableToXls(table, argv[2]);
            const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
            rusage usage{};
            ::getrusage(RUSAGE_SELF, &usage);
            std::printf("%.6f %ld\n", taken.count(), usage.ru_maxrss);
            return 0;
        }
    } catch (const std::exception& error) {
        std::cerr << "xls_export: " << error.what() << '\n';
        return 1;
    }
    std::cerr << "usage: xls_export --make DIR ROWS | xls_export TABLE OUT.xls\n";
    return 2;
}
