#include "CPDrv.h"

#include <QElapsedTimer>
#include <algorithm>
#include <array>

#include "port_mapping.h"

namespace zond::link {

namespace {

constexpr std::array<quint32, 16> kBaudRates = {0,     110,    300,    600,   1200,  2400,
                                                4800,  9600,   14400,  19200, 38400, 56000,
                                                57600, 115200, 128000, 256000};

quint32 clampBufSize(quint32 size) {
    return std::clamp(size, CommPortDriver::kMinBufSize, CommPortDriver::kMaxBufSize);
}

QSerialPort::DataBits toQt(TDataBits bits) {
    return static_cast<QSerialPort::DataBits>(5 + static_cast<int>(bits));
}

QSerialPort::Parity toQt(TParity parity) {
    switch (parity) {
        case TParity::ptODD:
            return QSerialPort::OddParity;
        case TParity::ptEVEN:
            return QSerialPort::EvenParity;
        case TParity::ptMARK:
            return QSerialPort::MarkParity;
        case TParity::ptSPACE:
            return QSerialPort::SpaceParity;
        case TParity::ptNONE:
            break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(TStopBits bits) {
    switch (bits) {
        case TStopBits::sb1HALFBITS:
            return QSerialPort::OneAndHalfStop;
        case TStopBits::sb2BITS:
            return QSerialPort::TwoStop;
        case TStopBits::sb1BITS:
            break;
    }
    return QSerialPort::OneStop;
}

}  // namespace

CommPortDriver::CommPortDriver(QObject* parent) : QObject(parent), serial_(this), pollTimer_(this) {
    scratch_.assign(inBufSize_, 0);
    pollTimer_.setTimerType(Qt::PreciseTimer);
    connect(&pollTimer_, &QTimer::timeout, this, &CommPortDriver::PollInput);
}

CommPortDriver::~CommPortDriver() {
    Disconnect();
}

void CommPortDriver::SetPort(TPortNumber port) {
    if (IsConnected()) {
        return;
    }
    port_ = port;
    if (port != TPortNumber::pnCustom) {
        portName_ = QStringLiteral("\\\\.\\COM%1").arg(static_cast<int>(port));
    }
}

void CommPortDriver::SetPortName(const QString& name) {
    if (IsConnected()) {
        return;
    }
    portName_ = name;
    port_ = TPortNumber::pnCustom;
}

void CommPortDriver::SetBaudRate(TBaudRate rate) {
    baudRate_ = rate;
    if (rate != TBaudRate::brCustom) {
        baudRateValue_ = kBaudRates[static_cast<std::size_t>(rate)];
    }
    applyIfOpen();
}

void CommPortDriver::SetBaudRateValue(quint32 bitsPerSecond) {
    baudRate_ = TBaudRate::brCustom;
    baudRateValue_ = bitsPerSecond;
    applyIfOpen();
}

void CommPortDriver::SetDataBits(TDataBits bits) {
    dataBits_ = bits;
    applyIfOpen();
}

void CommPortDriver::SetStopBits(TStopBits bits) {
    stopBits_ = bits;
    applyIfOpen();
}

void CommPortDriver::SetParity(TParity parity) {
    parity_ = parity;
    applyIfOpen();
}

void CommPortDriver::SetHwFlow(THwFlowControl flow) {
    hwFlow_ = flow;
    applyIfOpen();
}

void CommPortDriver::SetSwFlow(TSwFlowControl flow) {
    swFlow_ = flow;
    applyIfOpen();
}

void CommPortDriver::SetInBufSize(quint32 size) {
    if (IsConnected()) {
        return;
    }
    inBufSize_ = clampBufSize(size);
    scratch_.assign(inBufSize_, 0);
}

void CommPortDriver::SetOutBufSize(quint32 size) {
    if (IsConnected()) {
        return;
    }
    outBufSize_ = clampBufSize(size);
}

void CommPortDriver::SetPollingDelay(quint16 milliseconds) {
    pollingDelay_ = std::max(milliseconds, kMinPollingDelay);
    if (IsConnected()) {
        pollTimer_.start(pollingDelay_);
    }
}

bool CommPortDriver::Connect() {
    if (IsConnected()) {
        return true;
    }
    serial_.setPortName(deviceForPort(portName_));
    if (!serial_.open(QIODevice::ReadWrite)) {
        return false;
    }
    if (!ApplyLineSettings()) {
        Disconnect();
        return false;
    }
    pollTimer_.start(pollingDelay_);
    return true;
}

void CommPortDriver::Disconnect() {
    if (!IsConnected()) {
        return;
    }
    pollTimer_.stop();
    serial_.close();
}

bool CommPortDriver::ApplyLineSettings() {
    if (!IsConnected()) {
        return false;
    }
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    if (hwFlow_ == THwFlowControl::hfRTSCTS) {
        flow = QSerialPort::HardwareControl;
    } else if (swFlow_ == TSwFlowControl::sfXONXOFF) {
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
        serial_.setRequestToSend(hwFlow_ == THwFlowControl::hfNONERTSON);
    }
    serial_.clearError();
    return serial_.clear(QSerialPort::AllDirections);
}

void CommPortDriver::applyIfOpen() {
    if (IsConnected()) {
        ApplyLineSettings();
    }
}

void CommPortDriver::PollInput() {
    // A tick that falls due while the owner still handles the previous block (a modal message
    // box spins the event loop) waits for the next one.
    if (!IsConnected() || delivering_) {
        return;
    }
    if (serial_.bytesAvailable() == 0) {
        // Qt fills its buffer from the descriptor only in the event loop; take what is waiting.
        serial_.waitForReadyRead(0);
        serial_.clearError();
    }
    const qint64 wanted = std::min<qint64>(serial_.bytesAvailable(), inBufSize_);
    if (wanted <= 0) {
        return;
    }
    const qint64 got = serial_.read(scratch_.data(), wanted);
    if (got <= 0 || !onReceiveData_) {
        return;
    }
    delivering_ = true;
    onReceiveData_(this, scratch_.data(), static_cast<quint32>(got));
    delivering_ = false;
}

quint32 CommPortDriver::SendBlock(const char* data, quint32 count, quint32 timeoutMs) {
    if (!IsConnected()) {
        return 0;
    }
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    quint32 sent = 0;
    while (count > 0) {
        const qint64 freeSpace = static_cast<qint64>(outBufSize_) - serial_.bytesToWrite();
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

bool CommPortDriver::SendByte(char byte) {
    return SendBlock(&byte, 1, outputTimeout_) == 1;
}

}  // namespace zond::link
