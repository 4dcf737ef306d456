#include "link/serial_line_host.h"

namespace zond::link {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SerialLineHost::SerialLineHost(SerialPortDriver& driver, QTimer& responseTimer,
                               instrument::ReceiveView& view)
    : driver_(driver), timer_(responseTimer), view_(view) {
    // The line settings the instrument link runs with (the rest are the driver's defaults).
    driver_.setPortName(fromUtf8(instrument::kFirstPort));
    driver_.setBaudRate(BaudRate::Baud9600);
    driver_.setInputBufferSize(4096);
    driver_.setOutputBufferSize(4096);
    driver_.setEnableDtrOnOpen(false);
    // The timer fires once per arming; the session arms it again where it needs to.
    timer_.setSingleShot(true);
}

void SerialLineHost::selectPort(std::string_view portName) {
    if (!override_) {
        driver_.setPortName(fromUtf8(portName));
    } else {
        driver_.setPortName(portName == instrument::kFirstPort ? *override_ : QString());
    }
}

void SerialLineHost::connectPort() {
    driver_.open();
}

void SerialLineHost::disconnectPort() {
    driver_.close();
}

void SerialLineHost::send(char command) {
    driver_.sendByte(command);
}

void SerialLineHost::armResponseTimer(int milliseconds) {
    timer_.start(milliseconds);
}

void SerialLineHost::disarmResponseTimer() {
    timer_.stop();
}

void SerialLineHost::showDisplay(const instrument::ReceiveDisplay& display) {
    view_.showDisplay(display);
}

void SerialLineHost::showMessage(const instrument::ReceiveMessage& message) {
    view_.showMessage(message);
}

void SerialLineHost::finish(int result) {
    view_.finish(result);
}

}  // namespace zond::link
