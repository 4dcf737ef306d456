// zond8t-cli delete and renumber: the table window's "Удалить строки" and "Перенумеровать строки"
// on rows given by number, for tests that drive these writes from outside (not listed by --help).
#include <cstdint>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "measurement/measurement_schema.h"

namespace zond::cli {

namespace {

int runDelete(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {});
    expectPositionals(parsed, 2, 1000);
    dbf::DbfTable table;
    measurement::openMeasurementTable(table, parsed.positionals[0]);
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
    measurement::openMeasurementTable(table, parsed.positionals[0]);
    const int field = table.requireField(measurement::field::kN);
    // The largest number N's digits hold; a bigger table is refused before any row changes.
    std::size_t largest = 1;
    for (int digit = 0; digit < table.fields()[static_cast<std::size_t>(field)].width; ++digit) {
        largest *= 10;
    }
    if (table.rowCount() > largest - 1) {
        throw CliError("В таблице " + std::to_string(table.rowCount()) +
                       " строк, а номер строки не может быть больше " +
                       std::to_string(largest - 1) + ". Строки не перенумерованы.");
    }
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
