#include "cli/cli_support.h"

#include <QLocale>

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
    const QString separator = QLocale::system().decimalPoint();
    return separator.size() == 1 && separator[0].unicode() < 0x80
               ? static_cast<char>(separator[0].unicode())
               : '.';
}

}  // namespace zond::cli
