// zond8t-cli fetch: the instrument's memory over the serial line, as the receive window gets it.
#include <iostream>

#include "cli/commands.h"
#include "cli/transfer_runner.h"
#include "fileio/atomic_file.h"
#include "instrument/record_import.h"
#include "measurement/measurement_schema.h"

namespace zond::cli {

namespace {

void writeImage(const std::string& path, std::span<const std::uint8_t> image) {
    fileio::AtomicFile file(path);
    file.write({reinterpret_cast<const char*>(image.data()), image.size()});
    file.commit();
}

// A new table holding every record received; it takes the file's name only when complete.
void importIntoNewTable(const std::string& path, TransferRunner& runner, char decimalSeparator) {
    dbf::DbfTable table;
    instrument::ImportResult result;
    measurement::createMeasurementTable(
        table, path, measurement::kProgramLanguageId, [&](const auto& fields) {
            result = instrument::importRecords(table, fields, runner.deviceInfo(),
                                               runner.deviceImage().assembled(),
                                               instrument::ImportMode::Create, decimalSeparator);
        });
    std::cerr << "imported " << result.added << " records into " << path << '\n';
}

int runFetch(std::span<const std::string> args) {
    const ParsedArgs parsed =
        parseArgs(args, transferValueOptions({"--image-out", "--decimal-separator"}));
    expectPositionals(parsed, 0, 1);
    const char separator = decimalSeparator(parsed);
    if (!parsed.positionals.empty()) {
        measurement::checkNewTableTarget(parsed.positionals[0]);
    }
    if (parsed.has("--image-out")) {
        checkOutput(parsed.option("--image-out"));
    }

    TransferRunner runner(transferOptions(parsed));
    if (runner.run() != instrument::kResultOk) {
        return kExitTransferFailed;
    }
    const auto image = runner.deviceImage().assembled();
    if (parsed.has("--image-out")) {
        writeImage(parsed.option("--image-out"), image);
    }
    std::cerr << "received " << image.size() << " bytes, " << runner.deviceInfo().versionText
              << '\n';
    if (const std::string warning = instrument::shortImageWarning(image); !warning.empty()) {
        std::cerr << warning << '\n';
    }
    if (!parsed.positionals.empty()) {
        importIntoNewTable(parsed.positionals[0], runner, separator);
    }
    return runner.exitStatus();
}

}  // namespace

const Command kFetchCommand{
    "fetch",
    "fetch the instrument's memory over the serial line",
    "usage: zond8t-cli fetch [--port DEVICE] [--image-out FILE] [--idle-timeout S]\n"
    "                        [--timeout S] [--log FILE] [--decimal-separator C] [TABLE.db]\n"
    "\n"
    "Runs the transfer of the receive window without a window: looks for the instrument on\n"
    "the program ports COM1, then COM2 (settings values Ports/COM1 and Ports/COM2), or only on\n"
    "DEVICE with --port, and fetches its whole memory. With TABLE.db it then does the Create\n"
    "command's work: a new measurement table of that name with one row per record received.\n"
    "The table is built beside TABLE.db under a temporary name and replaces a file of that name\n"
    "only when complete: when the transfer fails, the old file stays. A record that cannot be\n"
    "imported (an impossible date) ends the import: the rows before it become the new table,\n"
    "and the message names the record and the rows kept. A TABLE.db another program has\n"
    "open, or a folder that takes no new file, is refused before the transfer.\n"
    "\n"
    "  --image-out FILE    write the memory image received (record count and records)\n"
    "  --decimal-separator C  the separator in the temperature texts (default: the user's\n"
    "                      locale)\n"
    "  --idle-timeout S    cancel after S seconds without a character from the line once\n"
    "                      the instrument has answered (default 30); the search of the ports\n"
    "                      ends by itself, with each port's diagnosis\n"
    "  --timeout S         cancel after S seconds in all (default 600, more than a full\n"
    "                      memory at the line's pace)\n"
    "  --log FILE          add the communication log to the end of FILE (a measurement\n"
    "                      table or a file another program holds is refused)\n"
    "\n"
    "DEVICE is a path or a name 'zond8t-cli ports' lists. When no instrument answers, one\n"
    "line per port tried says what happened there. A port that fails under way (device\n"
    "removed, I/O error) ends the transfer at once.\n"
    "Progress goes to stderr when it is a terminal. Exit status: 0 when the memory was\n"
    "received (and imported), 2 when the transfer failed or was cancelled, 1 for any other\n"
    "error such as a record with an impossible date (the reason on stderr, the rows before it\n"
    "kept) and when the log could not be written whole (the table is written all the same).\n",
    runFetch,
};

}  // namespace zond::cli
