// One instrument transfer without windows: the receive session on the serial driver, run in a
// local event loop. Messages and the progress bar go to stderr.
#pragma once

#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>
#include <set>
#include <string_view>

#include "cli/cli_support.h"
#include "instrument/receive_session.h"
#include "link/communication_log.h"
#include "link/serial_line_host.h"
#include "link/serial_port_driver.h"

namespace zond::cli {

struct TransferOptions {
    std::optional<QString> device;  // instead of the program's ports COM1 and COM2
    // A script has no Cancel button: this long without a character cancels the transfer, and so
    // does this long in all (a line that keeps talking never falls idle).
    std::chrono::milliseconds idleTimeout{30000};
    std::chrono::milliseconds overallTimeout{600000};
    std::optional<QString> logFile;
    bool showProgress = false;
};

// The value options of a subcommand that runs a transfer: --port, --idle-timeout, --timeout,
// --log and its `own`.
std::set<std::string_view> transferValueOptions(std::set<std::string_view> own);
TransferOptions transferOptions(const ParsedArgs& parsed);

class TransferRunner final : private link::LineView {
  public:
    // Throws CliError when the log cannot be written.
    explicit TransferRunner(TransferOptions options);

    // instrument::kResultOk or instrument::kResultFailed. A log cut short is said on stderr.
    int run();
    // The exit status of a command whose work went through: a log cut short makes it an error.
    int exitStatus() const { return log_.failure() ? kExitError : kExitOk; }

    const instrument::DeviceImage& deviceImage() const { return session().deviceImage(); }
    instrument::DeviceInfo& deviceInfo() { return line_.session().deviceInfo(); }

  private:
    const instrument::ReceiveSession& session() const { return line_.session(); }

    void showDisplay(const instrument::ReceiveDisplay& display) override;
    void showMessage(const instrument::ReceiveMessage& message,
                     const QStringList& details) override;
    void showReceiveError(const std::exception& error) override;
    void finish(int result) override;

    void checkIdle();
    void cancelBecause(const std::string& reason);
    void endProgressLine();

    TransferOptions options_;
    link::SerialPortDriver driver_;
    QTimer responseTimer_;
    QTimer idleTimer_;
    QTimer overallTimer_;
    QEventLoop loop_;
    link::CommunicationLog log_;
    link::SerialLineHost line_;
    int result_ = instrument::kResultFailed;
    std::string shownStatus_;
    int shownProgress_ = -1;
};

}  // namespace zond::cli
