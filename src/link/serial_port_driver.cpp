#include "link/serial_port_driver.h"

#include <QElapsedTimer>
#ifndef Q_OS_WIN
#include <poll.h>
#endif
#include <algorithm>
#include <array>
#include <utility>

#include "link/port_mapping.h"

namespace zond::link {

namespace {

constexpr std::array<quint32, 16> kBaudRates = {0,     110,    300,    600,   1200,  2400,
                                                4800,  9600,   14400,  19200, 38400, 56000,
                                                57600, 115200, 128000, 256000};

quint32 clampBufferSize(quint32 size) {
    return std::clamp(size, SerialPortDriver::kMinBufferSize, SerialPortDriver::kMaxBufferSize);
}

QSerialPort::DataBits toQt(DataBits bits) {
    return static_cast<QSerialPort::DataBits>(5 + static_cast<int>(bits));
}

QSerialPort::Parity toQt(Parity parity) {
    switch (parity) {
        case Parity::Odd:
            return QSerialPort::OddParity;
        case Parity::Even:
            return QSerialPort::EvenParity;
        case Parity::Mark:
            return QSerialPort::MarkParity;
        case Parity::Space:
            return QSerialPort::SpaceParity;
        case Parity::None:
            break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(StopBits bits) {
    switch (bits) {
        case StopBits::OneAndHalf:
            return QSerialPort::OneAndHalfStop;
        case StopBits::Two:
            return QSerialPort::TwoStop;
        case StopBits::One:
            break;
    }
    return QSerialPort::OneStop;
}

}  // namespace

SerialPortDriver::SerialPortDriver(QObject* parent)
    : QObject(parent), serial_(this), pollTimer_(this) {
    scratch_.assign(inputBufferSize_, 0);
    pollTimer_.setTimerType(Qt::PreciseTimer);
    connect(&pollTimer_, &QTimer::timeout, this, &SerialPortDriver::pollInput);
    connect(&serial_, &QSerialPort::errorOccurred, this, &SerialPortDriver::onSerialError);
}

SerialPortDriver::~SerialPortDriver() {
    close();
}

void SerialPortDriver::setPort(PortNumber port) {
    if (isOpen()) {
        return;
    }
    port_ = port;
    if (port != PortNumber::Custom) {
        portName_ = QStringLiteral("\\\\.\\COM%1").arg(static_cast<int>(port));
    }
}

void SerialPortDriver::setPortName(const QString& name) {
    if (isOpen()) {
        return;
    }
    portName_ = name;
    port_ = PortNumber::Custom;
}

void SerialPortDriver::setBaudRate(BaudRate rate) {
    baudRate_ = rate;
    if (rate != BaudRate::Custom) {
        baudRateValue_ = kBaudRates[static_cast<std::size_t>(rate)];
    }
    applyIfOpen();
}

void SerialPortDriver::setBaudRateValue(quint32 bitsPerSecond) {
    baudRate_ = BaudRate::Custom;
    baudRateValue_ = bitsPerSecond;
    applyIfOpen();
}

void SerialPortDriver::setDataBits(DataBits bits) {
    dataBits_ = bits;
    applyIfOpen();
}

void SerialPortDriver::setStopBits(StopBits bits) {
    stopBits_ = bits;
    applyIfOpen();
}

void SerialPortDriver::setParity(Parity parity) {
    parity_ = parity;
    applyIfOpen();
}

void SerialPortDriver::setHardwareFlow(HardwareFlow flow) {
    hardwareFlow_ = flow;
    applyIfOpen();
}

void SerialPortDriver::setSoftwareFlow(SoftwareFlow flow) {
    softwareFlow_ = flow;
    applyIfOpen();
}

void SerialPortDriver::setInputBufferSize(quint32 size) {
    if (isOpen()) {
        return;
    }
    inputBufferSize_ = clampBufferSize(size);
    scratch_.assign(inputBufferSize_, 0);
}

void SerialPortDriver::setOutputBufferSize(quint32 size) {
    if (isOpen()) {
        return;
    }
    outputBufferSize_ = clampBufferSize(size);
}

void SerialPortDriver::setPollingDelay(quint16 milliseconds) {
    pollingDelay_ = std::max(milliseconds, kMinPollingDelay);
    if (isOpen()) {
        pollTimer_.start(pollingDelay_);
    }
}

bool SerialPortDriver::open() {
    if (isOpen()) {
        return true;
    }
    device_ = deviceForPort(portName_);
    serial_.setPortName(device_);
    pendingPortError_.clear();
    if (!serial_.open(QIODevice::ReadWrite)) {
        openError_ = serial_.error();
        openErrorText_ = serial_.errorString();
        serial_.clearError();
        return false;
    }
    if (!applyLineSettings()) {
        openError_ = QSerialPort::UnsupportedOperationError;
        openErrorText_ = serial_.errorString();
        close();
        return false;
    }
    openError_ = QSerialPort::NoError;
    openErrorText_.clear();
    pollTimer_.start(pollingDelay_);
    return true;
}

void SerialPortDriver::close() {
    if (!isOpen()) {
        return;
    }
    pollTimer_.stop();
    serial_.close();
}

bool SerialPortDriver::applyLineSettings() {
    if (!isOpen()) {
        return false;
    }
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    if (hardwareFlow_ == HardwareFlow::RtsCts) {
        flow = QSerialPort::HardwareControl;
    } else if (softwareFlow_ == SoftwareFlow::XonXoff) {
        flow = QSerialPort::SoftwareControl;
    }
    if (!serial_.setBaudRate(static_cast<qint32>(baudRateValue_)) ||
        !serial_.setDataBits(toQt(dataBits_)) || !serial_.setParity(toQt(parity_)) ||
        !serial_.setStopBits(toQt(stopBits_)) || !serial_.setFlowControl(flow)) {
        return false;
    }
    // Modem lines are best effort: pseudo-terminals and some adapters have none.
    serial_.setDataTerminalReady(enableDtrOnOpen_);
    if (flow != QSerialPort::HardwareControl) {
        serial_.setRequestToSend(hardwareFlow_ == HardwareFlow::RtsOn);
    }
    serial_.clearError();
    return serial_.clear(QSerialPort::AllDirections);
}

void SerialPortDriver::applyIfOpen() {
    if (isOpen()) {
        applyLineSettings();
    }
}

void SerialPortDriver::pollInput() {
    // A tick that falls due while the owner still handles the previous block (a modal message
    // box spins the event loop) waits for the next one.
    if (!isOpen() || delivering_) {
        return;
    }
    if (serial_.bytesAvailable() == 0) {
        // Qt fills its buffer from the descriptor only in the event loop; take what is waiting.
        serial_.waitForReadyRead(0);
        serial_.clearError();
    }
    const qint64 wanted = std::min<qint64>(serial_.bytesAvailable(), inputBufferSize_);
    if (wanted <= 0) {
        return;
    }
    const qint64 got = serial_.read(scratch_.data(), wanted);
    if (got <= 0 || !receiveHandler_) {
        return;
    }
    {
        // Reset also when the handler throws, or no block would be delivered again.
        struct Delivery {
            bool& flag;
            explicit Delivery(bool& f) : flag(f) { flag = true; }
            ~Delivery() { flag = false; }
        } delivery(delivering_);
        receiveHandler_(this, scratch_.data(), static_cast<quint32>(got));
    }
    if (!pendingPortError_.isEmpty()) {
        reportPortError();
    }
}

void SerialPortDriver::onSerialError(QSerialPort::SerialPortError error) {
    // Qt reports a full output queue and a line that is gone alike; only the latter ends the
    // port, and at once: Qt keeps signalling a hung-up descriptor.
    const bool failed = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                        error == QSerialPort::WriteError;
    if (!failed || !isOpen() || !lineGone(error)) {
        return;
    }
    // Qt's text may carry a stale errno; the kind of failure is what holds.
    pendingPortError_ = error == QSerialPort::ResourceError
                            ? QStringLiteral("устройство недоступно")
                        : error == QSerialPort::ReadError ? QStringLiteral("ошибка чтения")
                                                          : QStringLiteral("ошибка записи");
    close();
    // Reported from the event loop, never from inside Qt's read or the owner's handler.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!delivering_) {
                reportPortError();
            }
        },
        Qt::QueuedConnection);
}

bool SerialPortDriver::lineGone(QSerialPort::SerialPortError error) {
#ifdef Q_OS_WIN
    return error == QSerialPort::ResourceError;
#else
    Q_UNUSED(error);
    pollfd line{static_cast<int>(serial_.handle()), 0, 0};
    return ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#endif
}

void SerialPortDriver::reportPortError() {
    const QString reason = std::exchange(pendingPortError_, QString());
    if (!reason.isEmpty() && portErrorHandler_) {
        portErrorHandler_(reason);
    }
}

quint32 SerialPortDriver::sendBlock(const char* data, quint32 count, quint32 timeoutMs) {
    if (!isOpen()) {
        return 0;
    }
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    quint32 sent = 0;
    while (count > 0) {
        const qint64 freeSpace = static_cast<qint64>(outputBufferSize_) - serial_.bytesToWrite();
        if (freeSpace > 0) {
            const qint64 written = serial_.write(data, std::min<qint64>(count, freeSpace));
            if (written > 0) {
                sent += static_cast<quint32>(written);
                data += written;
                count -= static_cast<quint32>(written);
                serial_.flush();
                sinceProgress.restart();
                continue;
            }
        }
        if (sinceProgress.elapsed() > static_cast<qint64>(timeoutMs)) {
            break;
        }
        serial_.waitForBytesWritten(1);
    }
    serial_.flush();
    serial_.clearError();
    return sent;
}

bool SerialPortDriver::sendByte(char byte) {
    return sendBlock(&byte, 1, outputTimeout_) == 1;
}

}  // namespace zond::link
