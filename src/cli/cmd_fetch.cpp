// zond8t-cli fetch: the instrument's memory over the serial line, as the receive window gets it.
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <iostream>

#include "commands.h"
#include "transfer_runner.h"

namespace zond::cli {

namespace {

std::chrono::milliseconds parseIdleTimeout(const ParsedArgs& parsed) {
    const std::string text = parsed.option("--idle-timeout", "30");
    std::size_t used = 0;
    double seconds = 0;
    try {
        seconds = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || !std::isfinite(seconds) || seconds <= 0 || seconds > 86400) {
        throw CliError("--idle-timeout takes a number of seconds above 0");
    }
    return std::chrono::milliseconds(std::lround(seconds * 1000));
}

void writeImage(const std::string& path, std::span<const std::uint8_t> image) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    if (!out.flush()) {
        throw CliError("cannot write " + path);
    }
}

int runFetch(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {"--port", "--image-out", "--idle-timeout"});
    expectPositionals(parsed, 0, 1);
    if (!parsed.positionals.empty()) {
        throw CliError("fetching into a table is not available yet; use --image-out");
    }
    TransferOptions options;
    if (parsed.has("--port")) {
        options.device = QString::fromStdString(parsed.option("--port"));
    }
    options.idleTimeout = parseIdleTimeout(parsed);
    options.showProgress = isatty(STDERR_FILENO) != 0;

    TransferRunner runner(options);
    if (runner.run() != instrument::kResultOk) {
        return kExitTransferFailed;
    }
    const auto image = runner.deviceImage().assembled();
    if (parsed.has("--image-out")) {
        writeImage(parsed.option("--image-out"), image);
    }
    std::cerr << "received " << image.size() << " bytes, " << runner.deviceInfo().VersionText
              << '\n';
    return kExitOk;
}

}  // namespace

const Command kFetchCommand{
    "fetch",
    "fetch the instrument's memory over the serial line",
    "usage: zond8t-cli fetch [--port DEVICE] [--image-out FILE] [--idle-timeout S] [TABLE.db]\n"
    "\n"
    "Runs the transfer of the receive window without a window: looks for the instrument on\n"
    "the program ports COM1, then COM2 (settings values Ports/COM1 and Ports/COM2), or only on\n"
    "DEVICE with --port, and fetches its whole memory.\n"
    "\n"
    "  --image-out FILE    write the memory image received (record count and records)\n"
    "  --idle-timeout S    cancel after S seconds without a character from the line\n"
    "                      (default 30)\n"
    "\n"
    "Progress goes to stderr when it is a terminal. Exit status: 0 when the memory was\n"
    "received, 2 when the transfer failed or was cancelled (the reason on stderr).\n",
    runFetch,
};

}  // namespace zond::cli
