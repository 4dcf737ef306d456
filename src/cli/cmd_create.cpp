// zond8t-cli create: an empty measurement table.
#include "cli/commands.h"
#include "measurement/measurement_schema.h"

namespace zond::cli {

namespace {

int runCreate(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {});
    expectPositionals(parsed, 1, 1);
    measurement::createMeasurementTable(parsed.file(0));
    return kExitOk;
}

}  // namespace

const Command kCreateCommand{
    "create",
    "create an empty measurement table",
    "usage: zond8t-cli create FILE\n"
    "\n"
    "Writes an empty measurement table (dBase IV, 14 fields, code page 1251) to FILE,\n"
    "replacing a file of that name.\n",
    runCreate,
};

}  // namespace zond::cli
