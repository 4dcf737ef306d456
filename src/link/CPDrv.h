// TCommPortDriver: one serial port polled on the GUI thread. A timer reads what has arrived, at
// most InBufSize bytes a tick, and hands it to OnReceiveData; nothing runs on other threads.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

namespace zond::link {

enum class TPortNumber {
    pnCustom,
    pnCOM1,
    pnCOM2,
    pnCOM3,
    pnCOM4,
    pnCOM5,
    pnCOM6,
    pnCOM7,
    pnCOM8,
    pnCOM9,
    pnCOM10,
    pnCOM11,
    pnCOM12,
    pnCOM13,
    pnCOM14,
    pnCOM15,
    pnCOM16
};
enum class TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum class TDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
enum class TStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
enum class TParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum class THwFlowControl { hfNONE, hfNONERTSON, hfRTSCTS };
enum class TSwFlowControl { sfNONE, sfXONXOFF };

class CommPortDriver;
// The bytes are valid only during the call.
using TReceiveDataEvent =
    std::function<void(CommPortDriver* sender, const char* dataPtr, quint32 dataSize)>;

class CommPortDriver : public QObject {
    Q_OBJECT

  public:
    static constexpr quint32 kMinBufSize = 128;
    static constexpr quint32 kMaxBufSize = 8192;
    static constexpr quint16 kMinPollingDelay = 5;

    explicit CommPortDriver(QObject* parent = nullptr);
    ~CommPortDriver() override;

    TPortNumber Port() const { return port_; }
    void SetPort(TPortNumber port);
    // A program port name ("\\.\COM1") or a device path; resolved by deviceForPort on Connect.
    QString PortName() const { return portName_; }
    void SetPortName(const QString& name);

    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate rate);
    quint32 BaudRateValue() const { return baudRateValue_; }
    void SetBaudRateValue(quint32 bitsPerSecond);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits bits);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits bits);
    TParity Parity() const { return parity_; }
    void SetParity(TParity parity);
    THwFlowControl HwFlow() const { return hwFlow_; }
    void SetHwFlow(THwFlowControl flow);
    TSwFlowControl SwFlow() const { return swFlow_; }
    void SetSwFlow(TSwFlowControl flow);

    quint32 InBufSize() const { return inBufSize_; }
    void SetInBufSize(quint32 size);
    quint32 OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(quint32 size);
    quint16 PollingDelay() const { return pollingDelay_; }
    void SetPollingDelay(quint16 milliseconds);
    bool EnableDTROnOpen() const { return enableDtrOnOpen_; }
    void SetEnableDTROnOpen(bool enable) { enableDtrOnOpen_ = enable; }
    quint16 OutputTimeout() const { return outputTimeout_; }
    void SetOutputTimeout(quint16 milliseconds) { outputTimeout_ = milliseconds; }
    bool CheckLineStatus() const { return checkLineStatus_; }
    void SetCheckLineStatus(bool check) { checkLineStatus_ = check; }

    void SetOnReceiveData(TReceiveDataEvent handler) { onReceiveData_ = std::move(handler); }

    bool Connect();
    void Disconnect();
    bool IsConnected() const { return serial_.isOpen(); }
    // Bytes handed to the output queue; gives up after `timeoutMs` without progress.
    quint32 SendBlock(const char* data, quint32 count, quint32 timeoutMs);
    bool SendByte(char byte);

    // One polling tick: deliver what has arrived, at most InBufSize bytes.
    void PollInput();

  private:
    bool ApplyLineSettings();
    void applyIfOpen();

    QSerialPort serial_;
    QTimer pollTimer_;
    std::vector<char> scratch_;
    bool delivering_ = false;
    TReceiveDataEvent onReceiveData_;

    TPortNumber port_ = TPortNumber::pnCOM2;
    QString portName_ = QStringLiteral("\\\\.\\COM2");
    TBaudRate baudRate_ = TBaudRate::br9600;
    quint32 baudRateValue_ = 9600;
    TDataBits dataBits_ = TDataBits::db8BITS;
    TStopBits stopBits_ = TStopBits::sb1BITS;
    TParity parity_ = TParity::ptNONE;
    THwFlowControl hwFlow_ = THwFlowControl::hfNONERTSON;
    TSwFlowControl swFlow_ = TSwFlowControl::sfNONE;
    quint32 inBufSize_ = 2048;
    quint32 outBufSize_ = 2048;
    quint16 pollingDelay_ = 50;
    bool enableDtrOnOpen_ = true;
    quint16 outputTimeout_ = 500;
    bool checkLineStatus_ = false;
};

}  // namespace zond::link
