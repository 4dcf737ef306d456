#include "cli/transfer_runner.h"

#include <unistd.h>

#include <cmath>
#include <iostream>

namespace zond::cli {

namespace {

constexpr int kBarWidth = 40;

std::chrono::milliseconds parseSeconds(const ParsedArgs& parsed, std::string_view option,
                                       const char* fallback) {
    const std::string text = parsed.option(option, fallback);
    std::size_t used = 0;
    double seconds = 0;
    try {
        seconds = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || !std::isfinite(seconds) || seconds <= 0 || seconds > 86400) {
        throw CliError(std::string(option) + " takes a number of seconds above 0, at most 86400");
    }
    return std::chrono::milliseconds(std::lround(seconds * 1000));
}

std::string secondsText(std::chrono::milliseconds duration) {
    std::string text = std::to_string(duration.count() / 1000.0);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::set<std::string_view> transferValueOptions(std::set<std::string_view> own) {
    own.insert({"--port", "--idle-timeout", "--timeout", "--log"});
    return own;
}

TransferOptions transferOptions(const ParsedArgs& parsed) {
    TransferOptions options;
    if (parsed.has("--port")) {
        options.device = QString::fromStdString(parsed.option("--port"));
    }
    if (parsed.has("--log")) {
        options.logFile = QString::fromStdString(parsed.option("--log"));
    }
    options.idleTimeout = parseSeconds(parsed, "--idle-timeout", "30");
    options.overallTimeout = parseSeconds(parsed, "--timeout", "600");
    options.showProgress = isatty(STDERR_FILENO) != 0;
    return options;
}

TransferRunner::TransferRunner(TransferOptions options)
    : options_(std::move(options)), line_(driver_, responseTimer_, *this) {
    // An existing log grows, so appending never destroys what the name held; a table, or a file
    // another program holds, is refused all the same. A device or pipe (/dev/stderr) takes it.
    if (options_.logFile) {
        const std::filesystem::path log = options_.logFile->toStdU16String();
        std::error_code error;
        if (std::filesystem::is_regular_file(log, error)) {
            checkOutput(log);
        }
    }
    if (options_.logFile && !log_.open(*options_.logFile, true)) {
        throw CliError("cannot write the log " + options_.logFile->toStdString());
    }
    line_.setDeviceOverride(options_.device);
    line_.setLog(options_.logFile ? &log_ : nullptr);
    idleTimer_.setSingleShot(true);
    QObject::connect(&idleTimer_, &QTimer::timeout, [this] { checkIdle(); });
    overallTimer_.setSingleShot(true);
    QObject::connect(&overallTimer_, &QTimer::timeout, [this] {
        cancelBecause("the overall time limit of " + secondsText(options_.overallTimeout) +
                      " s has passed (--timeout)");
    });
}

int TransferRunner::run() {
    idleTimer_.start(options_.idleTimeout);
    overallTimer_.start(options_.overallTimeout);
    line_.start();
    if (!session().finished()) {
        loop_.exec();
    }
    idleTimer_.stop();
    overallTimer_.stop();
    line_.session().close();
    log_.close();
    if (const std::error_code failure = log_.failure()) {
        std::cerr << "the communication log " << options_.logFile->toStdString()
                  << " is incomplete: " << failure.message() << '\n';
    }
    return result_;
}

// Armed for the idle time left since the last character, so that a busy line costs nothing.
void TransferRunner::checkIdle() {
    const auto idle = std::chrono::milliseconds(line_.sinceLastCharacter());
    // Before any answer the protocol's own time-outs try each port and end with each port's
    // diagnosis, which a short idle time must not cut off.
    if (!line_.heardAnything()) {
        idleTimer_.start(options_.idleTimeout);
    } else if (idle >= options_.idleTimeout) {
        cancelBecause("no character from the line for too long");
    } else {
        idleTimer_.start(options_.idleTimeout - idle);
    }
}

void TransferRunner::cancelBecause(const std::string& reason) {
    endProgressLine();
    std::cerr << "transfer cancelled: " << reason << std::endl;
    line_.session().cancel();
}

void TransferRunner::endProgressLine() {
    if (shownProgress_ >= 0) {
        std::cerr << '\n';
        shownProgress_ = -1;
    }
}

void TransferRunner::showDisplay(const instrument::ReceiveDisplay& display) {
    if (!options_.showProgress) {
        return;
    }
    if (display.status != shownStatus_) {
        shownStatus_ = display.status;
        endProgressLine();
        std::cerr << display.status;
        if (!display.instrumentCaption.empty()) {
            std::cerr << ' ' << display.instrumentCaption << ", " << display.versionText;
        }
        std::cerr << std::endl;
    }
    if (display.recordCountText.empty() || display.progress == shownProgress_) {
        return;
    }
    shownProgress_ = display.progress;
    const int filled = display.progress * kBarWidth / 100;
    std::cerr << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, ' ') << "] "
              << display.progress << "% of " << display.recordCountText << " records" << std::flush;
}

void TransferRunner::showMessage(const instrument::ReceiveMessage& message,
                                 const QStringList& details) {
    endProgressLine();
    std::cerr << message.caption << ": " << message.text << '\n';
    for (const QString& line : details) {
        std::cerr << "  " << line.toStdString() << '\n';
    }
    std::cerr << std::flush;
}

void TransferRunner::showReceiveError(const std::exception& error) {
    endProgressLine();
    std::cerr << error.what() << std::endl;
    if (session().awaitingCancel()) {
        cancelBecause("the port is closed and the data block cannot be used");
    }
}

void TransferRunner::finish(int result) {
    result_ = result;
    endProgressLine();
    loop_.quit();
}

}  // namespace zond::cli
