// The subcommands of zond8t-cli; each lives in its own cmd_*.cpp.
#pragma once

#include <span>

#include "cli_support.h"

namespace zond::cli {

extern const Command kCreateCommand;
extern const Command kFetchCommand;
extern const Command kInfoCommand;
extern const Command kShowCommand;
extern const Command kStatsCommand;

inline constexpr const Command* kCommands[] = {
    &kCreateCommand,
    &kFetchCommand,
    &kInfoCommand,
    &kShowCommand,
    &kStatsCommand,
};

}  // namespace zond::cli
