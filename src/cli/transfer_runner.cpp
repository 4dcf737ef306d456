#include "cli/transfer_runner.h"

#include <unistd.h>

#include <cmath>
#include <iostream>

namespace zond::cli {

namespace {

constexpr int kBarWidth = 40;

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

}  // namespace

std::set<std::string_view> transferValueOptions(std::set<std::string_view> own) {
    own.insert({"--port", "--idle-timeout"});
    return own;
}

TransferOptions transferOptions(const ParsedArgs& parsed) {
    TransferOptions options;
    if (parsed.has("--port")) {
        options.device = QString::fromStdString(parsed.option("--port"));
    }
    options.idleTimeout = parseIdleTimeout(parsed);
    options.showProgress = isatty(STDERR_FILENO) != 0;
    return options;
}

TransferRunner::TransferRunner(TransferOptions options)
    : options_(std::move(options)), line_(driver_, responseTimer_, *this), session_(line_) {
    line_.setDeviceOverride(options_.device);
    driver_.setReceiveHandler([this](link::SerialPortDriver*, const char* data, quint32 size) {
        onReceived(data, size);
    });
    QObject::connect(&responseTimer_, &QTimer::timeout,
                     [this] { session_.responseTimerExpired(); });
    idleTimer_.setSingleShot(true);
    QObject::connect(&idleTimer_, &QTimer::timeout,
                     [this] { cancelBecause("no character from the line for too long"); });
}

int TransferRunner::run() {
    idleTimer_.start(options_.idleTimeout);
    session_.start();
    if (!session_.finished()) {
        loop_.exec();
    }
    idleTimer_.stop();
    session_.close();
    return result_;
}

void TransferRunner::onReceived(const char* data, quint32 size) {
    idleTimer_.start(options_.idleTimeout);
    try {
        session_.receive({reinterpret_cast<const std::uint8_t*>(data), size});
    } catch (const std::exception& error) {
        std::cerr << (shownProgress_ >= 0 ? "\n" : "") << error.what() << std::endl;
        shownProgress_ = -1;
        if (session_.awaitingCancel()) {
            cancelBecause("the port is closed and the data block cannot be used");
        }
    }
}

void TransferRunner::cancelBecause(const char* reason) {
    std::cerr << (shownProgress_ >= 0 ? "\n" : "") << "transfer cancelled: " << reason << std::endl;
    shownProgress_ = -1;
    session_.cancel();
}

void TransferRunner::showDisplay(const instrument::ReceiveDisplay& display) {
    if (!options_.showProgress) {
        return;
    }
    if (display.status != shownStatus_) {
        shownStatus_ = display.status;
        std::cerr << (shownProgress_ >= 0 ? "\n" : "") << display.status;
        if (!display.instrumentCaption.empty()) {
            std::cerr << ' ' << display.instrumentCaption << ", " << display.versionText;
        }
        std::cerr << std::endl;
        shownProgress_ = -1;
    }
    if (display.recordCountText.empty() || display.progress == shownProgress_) {
        return;
    }
    shownProgress_ = display.progress;
    const int filled = display.progress * kBarWidth / 100;
    std::cerr << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, ' ') << "] "
              << display.progress << "% of " << display.recordCountText << " records" << std::flush;
}

void TransferRunner::showMessage(const instrument::ReceiveMessage& message) {
    std::cerr << (shownProgress_ >= 0 ? "\n" : "") << message.caption << ": " << message.text
              << std::endl;
    shownProgress_ = -1;
}

void TransferRunner::finish(int result) {
    result_ = result;
    if (shownProgress_ >= 0) {
        std::cerr << std::endl;
        shownProgress_ = -1;
    }
    loop_.quit();
}

}  // namespace zond::cli
