// The transfer protocol of the receive window as a state machine: received characters, timer
// expiry and cancel come in; port, timer, display and result requests go out through
// ReceiveHost. No clock, no Qt: the window, the command line and the tests drive it alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "instrument/device_data.h"

namespace zond::instrument {

inline constexpr std::string_view kFirstPort = "\\\\.\\COM1";
inline constexpr std::string_view kSecondPort = "\\\\.\\COM2";
inline constexpr int kResponseTimeoutMs = 3000;
inline constexpr int kResultOk = 1;
inline constexpr int kResultFailed = 2;

inline constexpr std::string_view kWindowCaption = "Прием данных";
inline constexpr std::string_view kStatusWaiting = "Ожидание готовности прибора ...";
inline constexpr std::string_view kStatusReceiving = "Идет прием информации ...";
inline constexpr std::string_view kNoInstrumentText =
    "Прибор не обнаружен! Проверте правильность подключения согласно инструкции и убедитесь, что "
    "прибор находиться в режиме связи с ПК!";
inline constexpr std::string_view kWrongInstrumentText = "Вы подключили не тот прибор !";
inline constexpr std::string_view kOverflowText =
    "Прибор передал больше данных, чем может быть принято. Прием прерван.";
inline constexpr std::string_view kErrorCaption = "Ошибка";
inline constexpr std::string_view kWrongInstrumentCaption = "Error";

// "ЗОНД-8Т "Тавис" - трехканальный" when channel 2 or 3 has a sensor, else "... одноканальный".
std::string instrumentCaption(const DeviceInfo& info);

// What the window shows besides its caption.
struct ReceiveDisplay {
    std::string status;
    std::string instrumentCaption;
    std::string versionText;
    std::string recordCountText;
    int progress = 0;  // 0 ... 100
};

// An error message box; every message of the transfer carries the error icon and one OK button.
struct ReceiveMessage {
    std::string_view text;
    std::string_view caption;
};

// The visible half of the host: the window's labels and message boxes, or a terminal.
class ReceiveView {
  public:
    virtual ~ReceiveView() = default;
    virtual void showDisplay(const ReceiveDisplay& display) = 0;
    // Modal: returns when the user has acknowledged the message.
    virtual void showMessage(const ReceiveMessage& message) = 0;
    // The window closes with kResultOk or kResultFailed; always the last request of a call.
    virtual void finish(int result) = 0;
};

class ReceiveHost : public ReceiveView {
  public:
    // Only called while the port is closed.
    virtual void selectPort(std::string_view portName) = 0;
    // A port that cannot be opened is not reported: no answer will come from it.
    virtual void connectPort() = 0;
    virtual void disconnectPort() = 0;
    virtual void send(char command) = 0;
    virtual void armResponseTimer(int milliseconds) = 0;
    virtual void disarmResponseTimer() = 0;
};

class ReceiveSession {
  public:
    static constexpr std::size_t kBufferSize = 262144;

    explicit ReceiveSession(ReceiveHost& host);
    ~ReceiveSession();
    ReceiveSession(const ReceiveSession&) = delete;
    ReceiveSession& operator=(const ReceiveSession&) = delete;

    // The window is shown: identification on the first port.
    void start();
    // A block of characters from the port. Throws RangeCheckError ("Range check error") for
    // characters that are no encoded bytes; the session then stays where the protocol leaves it.
    void receive(std::span<const std::uint8_t> block);
    void responseTimerExpired();
    void cancel();
    // The window closes: the timer stops and the port is closed if it is still open.
    void close();

    const ReceiveDisplay& display() const { return display_; }
    // Whole records received of the count the instrument announced, once it has announced it.
    struct RecordProgress {
        std::size_t received = 0;
        std::size_t announced = 0;
    };
    std::optional<RecordProgress> recordProgress() const;
    std::string_view portName() const { return portName_; }
    bool portOpen() const { return portOpen_; }
    bool finished() const { return finished_; }
    // The port is closed but no result has been given (a data block that could not be decoded):
    // nothing more can arrive, only cancel ends the transfer.
    bool awaitingCancel() const { return started_ && !finished_ && !portOpen_; }

    const DeviceInfo& deviceInfo() const { return *info_; }
    DeviceInfo& deviceInfo() { return *info_; }
    const DeviceImage& deviceImage() const { return *image_; }

  private:
    enum class Phase { Identification, Data };

    void resetReceive();
    void identifyOn(std::string_view portName);
    void restartIdentification();
    void finishWith(int result);
    void fail(const ReceiveMessage& message);
    void acceptHeader();
    void readRecordCount();
    void updateProgress();
    void assembleImage();
    void closePort();
    void openPort();

    ReceiveHost& host_;
    std::unique_ptr<char[]> buffer_;  // ReceiveBuffer: the characters of the current phase
    std::unique_ptr<DeviceInfo> info_;
    std::unique_ptr<DeviceImage> image_;

    std::string portName_{kFirstPort};
    ReceiveDisplay display_;
    Phase phase_ = Phase::Identification;
    std::size_t received_ = 0;
    bool endSeen_ = false;
    bool countKnown_ = false;
    std::size_t expectedCharacters_ = 0;
    std::size_t dataStart_ = 0;
    bool started_ = false;
    bool finished_ = false;
    bool portOpen_ = false;
};

}  // namespace zond::instrument
