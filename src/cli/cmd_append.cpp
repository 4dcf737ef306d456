// zond8t-cli append: the Append command without windows, adding the instrument's newer records to
// a table.
#include <iostream>

#include "cli/commands.h"
#include "cli/transfer_runner.h"
#include "instrument/record_import.h"
#include "measurement/measurement_schema.h"

namespace zond::cli {

namespace {

int runAppend(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, transferValueOptions({"--decimal-separator"}));
    expectPositionals(parsed, 1, 1);
    const char separator = decimalSeparator(parsed);

    // The table stays open, and so locked, through the transfer, as in the table window.
    dbf::DbfTable table;
    const auto fields = measurement::openMeasurementTable(table, parsed.positionals[0]);
    TransferRunner runner(transferOptions(parsed));
    if (runner.run() != instrument::kResultOk) {
        return kExitTransferFailed;
    }
    // File order, so that the last row is the one added last.
    table.selectIndex(std::nullopt);
    const auto image = runner.deviceImage().assembled();
    if (const std::string warning = instrument::shortImageWarning(image); !warning.empty()) {
        std::cerr << warning << '\n';
    }
    const auto result = instrument::importRecords(table, fields, runner.deviceInfo(), image,
                                                  instrument::ImportMode::Append, separator);
    table.close();
    std::cout << "Добавлено записей в базовый метод: " << result.added << '\n';
    return runner.exitStatus();
}

}  // namespace

const Command kAppendCommand{
    "append",
    "add the instrument's records newer than a table's last row",
    "usage: zond8t-cli append [--port DEVICE] [--idle-timeout S] [--timeout S] [--log FILE]\n"
    "                         [--decimal-separator C] TABLE.db\n"
    "\n"
    "Does the Append command's work without a window: fetches the instrument's memory as\n"
    "'fetch' does, then adds to the measurement table TABLE.db the records newer than its last\n"
    "row in file order, numbered by their place in the instrument's memory, and prints how\n"
    "many were added.\n"
    "\n"
    "  --port DEVICE       look for the instrument only on DEVICE\n"
    "  --idle-timeout S    cancel after S seconds without a character from the line once\n"
    "                      the instrument has answered (default 30); the search of the ports\n"
    "                      ends by itself, with each port's diagnosis\n"
    "  --timeout S         cancel after S seconds in all (default 600)\n"
    "  --log FILE          add the communication log to the end of FILE (a measurement\n"
    "                      table or a file another program holds is refused)\n"
    "  --decimal-separator C  the separator in the temperature texts (default: the user's\n"
    "                      locale)\n"
    "\n"
    "Exit status: 0 when done, 2 when the transfer failed or was cancelled (the table is\n"
    "unchanged), 1 for any other error (the reason on stderr; rows added before an impossible\n"
    "date stay in the table) and when the log could not be written whole.\n",
    runAppend,
};

}  // namespace zond::cli
