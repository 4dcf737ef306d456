// SerialPortDriver: one serial port polled on the GUI thread. A timer reads what has arrived, at
// most inputBufferSize() bytes a tick, and hands it to the receive handler; nothing runs on other
// threads. A port that fails under way (device removed, I/O error, hang-up) is closed at once and
// reported to the port error handler.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

namespace zond::link {

enum class PortNumber {
    Custom,
    Com1,
    Com2,
    Com3,
    Com4,
    Com5,
    Com6,
    Com7,
    Com8,
    Com9,
    Com10,
    Com11,
    Com12,
    Com13,
    Com14,
    Com15,
    Com16
};
enum class BaudRate {
    Custom,
    Baud110,
    Baud300,
    Baud600,
    Baud1200,
    Baud2400,
    Baud4800,
    Baud9600,
    Baud14400,
    Baud19200,
    Baud38400,
    Baud56000,
    Baud57600,
    Baud115200,
    Baud128000,
    Baud256000
};
enum class DataBits { Five, Six, Seven, Eight };
enum class StopBits { One, OneAndHalf, Two };
enum class Parity { None, Odd, Even, Mark, Space };
enum class HardwareFlow { None, RtsOn, RtsCts };
enum class SoftwareFlow { None, XonXoff };

class SerialPortDriver;
// The bytes are valid only during the call.
using ReceiveHandler =
    std::function<void(SerialPortDriver* sender, const char* dataPtr, quint32 dataSize)>;
// The port has been closed because of `reason` (what failed, in Russian).
using PortErrorHandler = std::function<void(const QString& reason)>;

class SerialPortDriver : public QObject {
    Q_OBJECT

  public:
    static constexpr quint32 kMinBufferSize = 128;
    static constexpr quint32 kMaxBufferSize = 8192;
    static constexpr quint16 kMinPollingDelay = 5;

    explicit SerialPortDriver(QObject* parent = nullptr);
    ~SerialPortDriver() override;

    PortNumber port() const { return port_; }
    void setPort(PortNumber port);
    // A program port name ("\\.\COM1") or a device path; resolved by deviceForPort on open().
    QString portName() const { return portName_; }
    void setPortName(const QString& name);

    BaudRate baudRate() const { return baudRate_; }
    void setBaudRate(BaudRate rate);
    quint32 baudRateValue() const { return baudRateValue_; }
    void setBaudRateValue(quint32 bitsPerSecond);
    DataBits dataBits() const { return dataBits_; }
    void setDataBits(DataBits bits);
    StopBits stopBits() const { return stopBits_; }
    void setStopBits(StopBits bits);
    Parity parity() const { return parity_; }
    void setParity(Parity parity);
    HardwareFlow hardwareFlow() const { return hardwareFlow_; }
    void setHardwareFlow(HardwareFlow flow);
    SoftwareFlow softwareFlow() const { return softwareFlow_; }
    void setSoftwareFlow(SoftwareFlow flow);

    quint32 inputBufferSize() const { return inputBufferSize_; }
    void setInputBufferSize(quint32 size);
    quint32 outputBufferSize() const { return outputBufferSize_; }
    void setOutputBufferSize(quint32 size);
    quint16 pollingDelay() const { return pollingDelay_; }
    void setPollingDelay(quint16 milliseconds);
    bool enableDtrOnOpen() const { return enableDtrOnOpen_; }
    void setEnableDtrOnOpen(bool enable) { enableDtrOnOpen_ = enable; }
    quint16 outputTimeout() const { return outputTimeout_; }
    void setOutputTimeout(quint16 milliseconds) { outputTimeout_ = milliseconds; }
    bool checkLineStatus() const { return checkLineStatus_; }
    void setCheckLineStatus(bool check) { checkLineStatus_ = check; }

    void setReceiveHandler(ReceiveHandler handler) { receiveHandler_ = std::move(handler); }
    void setPortErrorHandler(PortErrorHandler handler) { portErrorHandler_ = std::move(handler); }

    bool open();
    // The device the last open() tried, and why it failed (NoError when it opened).
    QString device() const { return device_; }
    QSerialPort::SerialPortError openError() const { return openError_; }
    QString openErrorText() const { return openErrorText_; }
    void close();
    bool isOpen() const { return serial_.isOpen(); }
    // Bytes handed to the output queue; gives up after `timeoutMs` without progress.
    quint32 sendBlock(const char* data, quint32 count, quint32 timeoutMs);
    bool sendByte(char byte);

    // One polling tick: deliver what has arrived, at most inputBufferSize() bytes.
    void pollInput();

  private:
    bool applyLineSettings();
    void applyIfOpen();
    void onSerialError(QSerialPort::SerialPortError error);
    bool lineGone(QSerialPort::SerialPortError error);
    void reportPortError();

    QSerialPort serial_;
    QTimer pollTimer_;
    std::vector<char> scratch_;
    bool delivering_ = false;
    QString pendingPortError_;
    ReceiveHandler receiveHandler_;
    PortErrorHandler portErrorHandler_;
    QString device_;
    QSerialPort::SerialPortError openError_ = QSerialPort::NoError;
    QString openErrorText_;

    PortNumber port_ = PortNumber::Com2;
    QString portName_ = QStringLiteral("\\\\.\\COM2");
    BaudRate baudRate_ = BaudRate::Baud9600;
    quint32 baudRateValue_ = 9600;
    DataBits dataBits_ = DataBits::Eight;
    StopBits stopBits_ = StopBits::One;
    Parity parity_ = Parity::None;
    HardwareFlow hardwareFlow_ = HardwareFlow::RtsOn;
    SoftwareFlow softwareFlow_ = SoftwareFlow::None;
    quint32 inputBufferSize_ = 2048;
    quint32 outputBufferSize_ = 2048;
    quint16 pollingDelay_ = 50;
    bool enableDtrOnOpen_ = true;
    quint16 outputTimeout_ = 500;
    bool checkLineStatus_ = false;
};

}  // namespace zond::link
