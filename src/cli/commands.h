// The subcommands of zond8t-cli; each lives in its own cmd_*.cpp.
#pragma once

#include <span>
#include <string_view>

#include "cli/cli_support.h"

namespace zond::cli {

extern const Command kAppendCommand;
extern const Command kChartCommand;
extern const Command kCreateCommand;
extern const Command kDeleteCommand;
extern const Command kExportCommand;
extern const Command kFetchCommand;
extern const Command kInfoCommand;
extern const Command kRenumberCommand;
extern const Command kPortsCommand;
extern const Command kReportCommand;
extern const Command kResistanceCommand;
extern const Command kShowCommand;
extern const Command kStatsCommand;
extern const Command kSurveyCommand;

inline constexpr const Command* kCommands[] = {
    &kAppendCommand,     &kChartCommand, &kCreateCommand, &kDeleteCommand,   &kExportCommand,
    &kFetchCommand,      &kInfoCommand,  &kPortsCommand,  &kRenumberCommand, &kReportCommand,
    &kResistanceCommand, &kShowCommand,  &kStatsCommand,  &kSurveyCommand,
};

// Subcommands that draw pages or charts need Qt's GUI and widget libraries (fonts, the chart's
// graphics items), though they open no window; resistance draws its protocol with --pdf.
inline constexpr std::string_view kPageDrawingCommands[] = {"chart", "report", "resistance"};

}  // namespace zond::cli
