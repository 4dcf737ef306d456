// zond8t-cli stats: the heat-flux minimum/average/maximum of a table, as the grid's footers.
#include <iostream>

#include "cli/commands.h"
#include "measurement/channel_statistics.h"
#include "measurement/measurement_schema.h"

namespace zond::cli {

namespace {

int runStats(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {"--decimal-separator"});
    expectPositionals(parsed, 1, 1);
    const char separator = decimalSeparator(parsed);
    dbf::DbfTable table;
    const auto fields =
        measurement::openMeasurementTable(table, parsed.file(0), dbf::OpenMode::ReadOnly);
    const auto statistics = measurement::computeChannelStatistics(table, fields);
    namespace field = measurement::field;
    const std::string_view names[] = {field::kTavis1, field::kTavis2, field::kTavis3};
    for (int channel = 0; channel < 3; ++channel) {
        std::cout << names[channel] << '\t'
                  << measurement::footerText(statistics, channel, separator) << '\n';
    }
    return kExitOk;
}

}  // namespace

const Command kStatsCommand{
    "stats",
    "print the heat-flux minimum/average/maximum of a table",
    "usage: zond8t-cli stats [--decimal-separator C] FILE\n"
    "\n"
    "Prints one line per heat-flux field (TAVIS_1, TAVIS_2, TAVIS_3): the field name, a tab and\n"
    "minimum/average/maximum over the live rows, as the table window's footers show them. The\n"
    "average is rounded to one decimal; a single row gives its own values, an empty table zeros.\n"
    "Numbers use the decimal separator C (default: the user's locale).\n",
    runStats,
};

}  // namespace zond::cli
