// Shared pieces of the zond8t-cli subcommands: argument parsing, errors and exit codes.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zond::cli {

enum ExitCode { kExitOk = 0, kExitError = 1, kExitTransferFailed = 2, kExitTableUnreadable = 2 };

// A failure that ends the subcommand with a one-line message on stderr.
class CliError : public std::runtime_error {
  public:
    explicit CliError(const std::string& message, int exitCode = kExitError)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

  private:
    int exitCode_;
};

struct ParsedArgs {
    std::map<std::string, std::string, std::less<>> options;
    std::set<std::string, std::less<>> flags;
    std::vector<std::string> positionals;

    bool has(std::string_view name) const { return options.contains(name) || flags.contains(name); }
    std::string option(std::string_view name, std::string fallback = {}) const;
};

// Options taking a value may be written "--name value" or "--name=value". Anything else starting
// with "--" that is not listed is a usage error.
ParsedArgs parseArgs(std::span<const std::string> args, std::set<std::string_view> valueOptions,
                     std::set<std::string_view> flagOptions = {});

// Checks the number of positional arguments.
void expectPositionals(const ParsedArgs& parsed, std::size_t minimum, std::size_t maximum);

// The decimal separator for texts that depend on it: the --decimal-separator option, or the
// user's locale.
char decimalSeparator(const ParsedArgs& parsed);

// A whole number above zero, the whole text.
std::optional<std::size_t> positiveNumber(std::string_view text);

struct RowRange {
    std::size_t first = 0;  // 1-based, both included
    std::size_t last = 0;
};

// The --rows option, "A-B" or "A"; all rows when not given. A table without rows is an error.
RowRange rowRange(const ParsedArgs& parsed, std::size_t rowCount);

// Refuses `output` before any work: the command's own input (the same file by any name), or a
// file no output may replace (fileio::checkReplaceable: a table, a folder, device or pipe, a file
// another program holds).
void checkOutput(const std::filesystem::path& output,
                 std::initializer_list<std::filesystem::path> inputs = {});
// Only the first half: refuses `output` when it names one of `inputs`.
void checkNotInput(const std::filesystem::path& output,
                   std::initializer_list<std::filesystem::path> inputs);

struct Command {
    std::string_view name;
    std::string_view summary;
    std::string_view usage;  // full --help text
    int (*run)(std::span<const std::string> args);
    bool listed = true;  // false: for tests only, left out of the overview
};

}  // namespace zond::cli
