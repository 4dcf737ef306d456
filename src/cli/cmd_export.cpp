// zond8t-cli export: a table written to an Excel 97 workbook, as the menu command "Экспорт в
// Excel" writes it.
#include <iostream>

#include "cli/commands.h"
#include "measurement/measurement_schema.h"
#include "measurement/table_export.h"

namespace zond::cli {

namespace {

int runExport(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {});
    expectPositionals(parsed, 2, 2);
    dbf::DbfTable table;
    measurement::openMeasurementTable(table, parsed.positionals[0]);
    const std::filesystem::path target = parsed.positionals[1];
    measurement::exp2excel(table, target);
    std::cout << measurement::exportSuccessText(target) << '\n';
    return kExitOk;
}

}  // namespace

const Command kExportCommand{
    "export",
    "write a table to an Excel 97 workbook (.xls)",
    "usage: zond8t-cli export FILE.db OUT.xls\n"
    "\n"
    "Writes the live rows of the table FILE.db, in file order, to the workbook OUT.xls: one sheet\n"
    "\"ЗОНД-8Т.05 \"Тавис\"\" with a heading row and the columns N, Дата, Время, Режим, Типы\n"
    "датчиков, q1, q2, q3, tв, tн and Примечание. An existing OUT.xls is replaced once the new\n"
    "workbook is complete. A table of more than 65535 rows does not fit one sheet and is "
    "refused.\n",
    runExport,
};

}  // namespace zond::cli
