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
#include "link/serial_line_host.h"
#include "link/serial_port_driver.h"

namespace zond::cli {

struct TransferOptions {
    std::optional<QString> device;  // instead of the program's ports COM1 and COM2
    // A script has no Cancel button: this long without a character cancels the transfer.
    std::chrono::milliseconds idleTimeout{30000};
    bool showProgress = false;
};

// The value options of a subcommand that runs a transfer: --port, --idle-timeout and its `own`.
std::set<std::string_view> transferValueOptions(std::set<std::string_view> own);
TransferOptions transferOptions(const ParsedArgs& parsed);

class TransferRunner final : private instrument::ReceiveView {
  public:
    explicit TransferRunner(TransferOptions options);

    // instrument::kResultOk or instrument::kResultFailed.
    int run();

    const instrument::DeviceImage& deviceImage() const { return session_.deviceImage(); }
    instrument::DeviceInfo& deviceInfo() { return session_.deviceInfo(); }

  private:
    void showDisplay(const instrument::ReceiveDisplay& display) override;
    void showMessage(const instrument::ReceiveMessage& message) override;
    void finish(int result) override;

    void onReceived(const char* data, quint32 size);
    void cancelBecause(const char* reason);

    TransferOptions options_;
    link::SerialPortDriver driver_;
    QTimer responseTimer_;
    QTimer idleTimer_;
    QEventLoop loop_;
    link::SerialLineHost line_;
    instrument::ReceiveSession session_;
    int result_ = instrument::kResultFailed;
    std::string shownStatus_;
    int shownProgress_ = -1;
};

}  // namespace zond::cli
