// Test helper: measurement tables for the CSV and .xlsx interop checks.
//   export_samples cases FILE.db        rows that test the dialects: a comment with ';', a quote
//                                       and a line break, Cyrillic texts, an empty flux, ">320.0",
//                                       temperatures with either decimal separator; then 2,000
//                                       rows of the sample table
//   export_samples large FILE.db ROWS   ROWS rows of the sample table
#include <iostream>
#include <string>
#include <vector>

#include "export_table.h"

namespace {

using zond::testing::MeasurementRow;

std::vector<MeasurementRow> caseRows() {
    std::vector<MeasurementRow> rows = {
        {1, "Оперативный", "01.10.2008", "12:34:56", "диам. 27 мм", 12.5, 0, -3.25, "19,8",
         ">320.0", "Угол; \"окно\"\r\nстена"},
        {2, "Наблюдения", "31.12.2009", "23:59:59", "12X80/НЕТ/110X110", 1000.04, 7, 0.1, "-5.3",
         "", "Ёлка, ёж"},
        {3, "Наблюдения", "29.02.2012", "00:00:00", "диам. 27 мм", -0.05, 2, 3, "", "-40",
         "\"в кавычках\""},
    };
    const auto sample = zond::testing::sampleMeasurementRows(2000);
    rows.insert(rows.end(), sample.begin(), sample.end());
    return rows;
}

// The second row's q2 is left empty: the table holds no value there.
void clearFlux(const std::string& file) {
    zond::dbf::DbfTable table;
    zond::measurement::openMeasurementTable(table, file);
    auto record = table.read(2);
    record.setNull(table.requireField(zond::measurement::field::kTavis2));
    table.update(2, record);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 2 && args[0] == "cases") {
            zond::testing::writeMeasurementTable(args[1], caseRows());
            clearFlux(args[1]);
            return 0;
        }
        if (args.size() == 3 && args[0] == "large") {
            zond::testing::writeMeasurementTable(
                args[1], zond::testing::sampleMeasurementRows(std::stoi(args[2])));
            return 0;
        }
    } catch (const std::exception& error) {
        std::cerr << "export_samples: " << error.what() << '\n';
        return 1;
    }
    std::cerr << "usage: export_samples cases FILE.db | export_samples large FILE.db ROWS\n";
    return 2;
}
