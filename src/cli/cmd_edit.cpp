// zond8t-cli delete and renumber: the table window's "Удалить строки" and "Перенумеровать строки"
// on rows given by number, for tests that drive these writes from outside (not listed by --help).
#include <cstdint>
#include <vector>

#include "cli/commands.h"
#include "measurement/measurement_schema.h"

namespace zond::cli {

namespace {

int runDelete(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {});
    expectPositionals(parsed, 2, 1000);
    dbf::DbfTable table;
    measurement::openMeasurementTable(table, parsed.file(0));
    std::vector<std::uint32_t> records;
    for (auto row = parsed.positionals.begin() + 1; row != parsed.positionals.end(); ++row) {
        const auto number = positiveNumber(*row);
        if (!number || *number > table.rowCount()) {
            throw CliError("no row " + *row + " in the table");
        }
        records.push_back(table.recordAt(*number - 1));
    }
    table.removeRecords(records);
    table.close();
    return kExitOk;
}

int runRenumber(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {});
    expectPositionals(parsed, 1, 1);
    dbf::DbfTable table;
    measurement::openMeasurementTable(table, parsed.file(0));
    const int field = table.requireField(measurement::field::kN);
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        const std::uint32_t record = table.recordAt(row);
        dbf::DbfRecord values = table.read(record);
        values.setInteger(field, static_cast<long long>(row + 1));
        table.update(record, values);
    }
    table.close();
    return kExitOk;
}

}  // namespace

const Command kDeleteCommand{
    "delete",
    "",
    "usage: zond8t-cli delete FILE ROW...\n"
    "\n"
    "Deletes the rows ROW (1-based, file order) of the table FILE and packs it, as \"Удалить\n"
    "строки\" does.\n",
    runDelete,
    false,
};

const Command kRenumberCommand{
    "renumber",
    "",
    "usage: zond8t-cli renumber FILE\n"
    "\n"
    "Numbers the rows of the table FILE 1, 2, ... in file order, as \"Перенумеровать строки\"\n"
    "does.\n",
    runRenumber,
    false,
};

}  // namespace zond::cli
