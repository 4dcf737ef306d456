// zond8t-cli: the program's core without windows, for scripts and headless machines.
#include <QApplication>
#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "text/number_text.h"
#include "ui/program_fonts.h"

namespace {

void printOverview() {
    std::cout << "usage: zond8t-cli COMMAND [ARGS]\n\ncommands:\n";
    for (const auto* command : zond::cli::kCommands) {
        if (!command->listed) {
            continue;
        }
        std::cout << "  " << command->name;
        for (std::size_t pad = command->name.size(); pad < 12; ++pad) {
            std::cout << ' ';
        }
        std::cout << command->summary << '\n';
    }
    std::cout << "\n'zond8t-cli COMMAND --help' explains a command.\n";
}

// The toolkit's messages on stderr: scripts watch it for errors. Debug notes are for developers,
// and the note that a session has no runtime folder (cron, sudo, ssh) says nothing about the
// command's work; other warnings go out as the program's own lines.
void sayToolkitMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg ||
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
        return;
    }
    std::cerr << "zond8t-cli: " << message.toStdString() << '\n';
    if (type == QtFatalMsg) {
        std::abort();
    }
}

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv, bool drawsPages) {
    if (!drawsPages) {
        return std::make_unique<QCoreApplication>(argc, argv);
    }
    // No window opens, so no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    auto application = std::make_unique<QApplication>(argc, argv);
    zond::ui::registerProgramFonts();
    return application;
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(sayToolkitMessage);
    // Subcommands that talk to the serial port need Qt's event loop; the rest ignore it.
    const bool drawsPages =
        argc > 1 && std::ranges::count(zond::cli::kPageDrawingCommands, argv[1]) > 0;
    const auto application = makeApplication(argc, argv, drawsPages);
    zond::text::keepMachineNumberLocale();
#ifdef Q_OS_WIN
    // main() gets the command line in the ANSI code page, which loses file names outside it; Qt
    // reads the wide one. The subcommands take UTF-8 on every system.
    std::vector<std::string> args;
    for (const QString& arg : QCoreApplication::arguments().sliced(1)) {
        args.push_back(arg.toStdString());
    }
#else
    std::vector<std::string> args(argv + 1, argv + argc);
#endif
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        printOverview();
        return args.empty() ? zond::cli::kExitError : zond::cli::kExitOk;
    }
    for (const auto* command : zond::cli::kCommands) {
        if (command->name != args[0]) {
            continue;
        }
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const auto& arg : rest) {
            if (arg == "--help" || arg == "-h") {
                std::cout << command->usage;
                return zond::cli::kExitOk;
            }
        }
        try {
            return command->run(rest);
        } catch (const zond::cli::CliError& error) {
            std::cerr << "zond8t-cli " << command->name << ": " << error.what() << '\n';
            return error.exitCode();
        } catch (const std::exception& error) {
            std::cerr << "zond8t-cli " << command->name << ": " << error.what() << '\n';
            return zond::cli::kExitError;
        }
    }
    std::cerr << "zond8t-cli: unknown command '" << args[0] << "' (see --help)\n";
    return zond::cli::kExitError;
}
