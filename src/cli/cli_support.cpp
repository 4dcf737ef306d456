#include "cli/cli_support.h"

#include <QLocale>
#include <charconv>

#include "fileio/atomic_file.h"
#include "text/number_text.h"
#include "text/path_text.h"

namespace zond::cli {

std::string ParsedArgs::option(std::string_view name, std::string fallback) const {
    const auto it = options.find(name);
    return it == options.end() ? std::move(fallback) : it->second;
}

ParsedArgs parseArgs(std::span<const std::string> args, std::set<std::string_view> valueOptions,
                     std::set<std::string_view> flagOptions) {
    ParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--") || arg == "--") {
            parsed.positionals.push_back(arg);
            continue;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (valueOptions.contains(name)) {
            if (equals != std::string::npos) {
                parsed.options[name] = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                parsed.options[name] = args[++i];
            } else {
                throw CliError("option " + name + " needs a value");
            }
        } else if (flagOptions.contains(name) && equals == std::string::npos) {
            parsed.flags.insert(name);
        } else {
            throw CliError("unknown option " + arg);
        }
    }
    return parsed;
}

void expectPositionals(const ParsedArgs& parsed, std::size_t minimum, std::size_t maximum) {
    const std::size_t n = parsed.positionals.size();
    if (n < minimum) {
        throw CliError("missing argument (see --help)");
    }
    if (n > maximum) {
        throw CliError("unexpected argument " + parsed.positionals[maximum]);
    }
}

char decimalSeparator(const ParsedArgs& parsed) {
    if (const auto it = parsed.options.find("--decimal-separator"); it != parsed.options.end()) {
        if (it->second.size() != 1) {
            throw CliError("--decimal-separator takes one character");
        }
        return it->second[0];
    }
    const QLocale locale = QLocale::system();
    return text::decimalSeparatorFromLocale(locale.decimalPoint().toStdU16String(),
                                            locale.groupSeparator().toStdU16String());
}

std::optional<std::size_t> positiveNumber(std::string_view text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

RowRange rowRange(const ParsedArgs& parsed, std::size_t rowCount) {
    if (rowCount == 0) {
        throw CliError("the table has no rows");
    }
    if (!parsed.has("--rows")) {
        return {1, rowCount};
    }
    const std::string text = parsed.option("--rows");
    const auto dash = text.find('-');
    const auto first = positiveNumber(std::string_view(text).substr(0, dash));
    const auto last =
        dash == std::string::npos ? first : positiveNumber(std::string_view(text).substr(dash + 1));
    if (!first || !last || *first > *last) {
        throw CliError("--rows wants A-B with 1 <= A <= B, not '" + text + "'");
    }
    if (*last > rowCount) {
        throw CliError("--rows " + text + ": the table has " + std::to_string(rowCount) + " rows");
    }
    return {*first, *last};
}

}  // namespace zond::cli

namespace zond::cli {

void checkNotInput(const std::filesystem::path& output,
                   std::initializer_list<std::filesystem::path> inputs) {
    for (const auto& input : inputs) {
        std::error_code error;
        if (std::filesystem::equivalent(output, input, error)) {
            throw CliError("Файл \"" + text::pathText(output) +
                           "\" не записан: это входной файл команды.");
        }
    }
}

void checkOutput(const std::filesystem::path& output,
                 std::initializer_list<std::filesystem::path> inputs) {
    checkNotInput(output, inputs);
    fileio::checkReplaceable(output);
}

}  // namespace zond::cli
