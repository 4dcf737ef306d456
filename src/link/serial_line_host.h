// A receive session's host on a real line: port requests go to a SerialPortDriver, the response
// timer is a QTimer, and what is to be seen goes to the receive window or the terminal.
#pragma once

#include <QString>
#include <QTimer>
#include <optional>

#include "instrument/receive_session.h"
#include "link/serial_port_driver.h"

namespace zond::link {

class SerialLineHost final : public instrument::ReceiveHost {
  public:
    // Puts the driver into the settings the instrument link runs with; `view` gets the rest.
    SerialLineHost(SerialPortDriver& driver, QTimer& responseTimer, instrument::ReceiveView& view);

    // A device to use instead of the program's ports: the first port opens it, the second
    // opens nothing (no answer comes from it).
    void setDeviceOverride(std::optional<QString> device) { override_ = std::move(device); }

    void selectPort(std::string_view portName) override;
    void connectPort() override;
    void disconnectPort() override;
    void send(char command) override;
    void armResponseTimer(int milliseconds) override;
    void disarmResponseTimer() override;
    void showDisplay(const instrument::ReceiveDisplay& display) override;
    void showMessage(const instrument::ReceiveMessage& message) override;
    void finish(int result) override;

  private:
    SerialPortDriver& driver_;
    QTimer& timer_;
    instrument::ReceiveView& view_;
    std::optional<QString> override_;
};

}  // namespace zond::link
