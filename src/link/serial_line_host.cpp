#include "link/serial_line_host.h"

#include "instrument/wire_format.h"
#include "link/communication_log.h"

namespace zond::link {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The failures that end the identification; what each port did explains them.
bool endsIdentification(const instrument::ReceiveMessage& message) {
    return message.text == instrument::kNoInstrumentText ||
           message.text == instrument::kWrongInstrumentText;
}

}  // namespace

SerialLineHost::SerialLineHost(SerialPortDriver& driver, QTimer& responseTimer, LineView& view)
    : driver_(driver), timer_(responseTimer), view_(view), session_(*this) {
    // The line settings the instrument link runs with (the rest are the driver's defaults).
    driver_.setPortName(fromUtf8(instrument::kFirstPort));
    driver_.setBaudRate(BaudRate::Baud9600);
    driver_.setInputBufferSize(4096);
    driver_.setOutputBufferSize(4096);
    driver_.setEnableDtrOnOpen(false);
    driver_.setReceiveHandler(
        [this](SerialPortDriver*, const char* data, quint32 size) { onReceived(data, size); });
    driver_.setPortErrorHandler([this](const QString& reason) { onPortError(reason); });
    // The timer fires once per arming; the session arms it again where it needs to.
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { onResponseTimeout(); });
    lastCharacter_.start();
}

void SerialLineHost::start() {
    attempts_.clear();
    shownStatus_.clear();
    lastCharacter_.restart();
    heardAnything_ = false;
    session_.start();
}

void SerialLineHost::onReceived(const char* data, quint32 size) {
    lastCharacter_.restart();
    heardAnything_ = true;
    if (log_ != nullptr) {
        log_->received({data, size});
    }
    if (!attempts_.empty()) {
        PortAttempt& attempt = attempts_.back();
        attempt.received += size;
        attempt.lastCharacters.append(data, size);
        const std::size_t keep = instrument::wire::kHeaderLength;
        if (attempt.lastCharacters.size() > keep) {
            attempt.lastCharacters.erase(0, attempt.lastCharacters.size() - keep);
        }
    }
    try {
        session_.receive({reinterpret_cast<const std::uint8_t*>(data), size});
    } catch (const std::exception& error) {
        note(QStringLiteral("ошибка приема: %1").arg(QString::fromUtf8(error.what())));
        view_.showReceiveError(error);
    }
    if (identifyOnly_ && !session_.finished() && !session_.display().instrumentCaption.empty()) {
        session_.cancel();
    }
}

void SerialLineHost::onResponseTimeout() {
    note(QStringLiteral("нет ответа"));
    if (identifyOnly_) {
        session_.cancel();
    } else {
        session_.responseTimerExpired();
    }
}

void SerialLineHost::onPortError(const QString& reason) {
    note(QStringLiteral("ошибка порта: %1").arg(reason));
    if (!session_.portOpen() || session_.finished()) {
        return;
    }
    const std::string text = QStringLiteral(
                                 "Связь с прибором прервана: устройство %1 отключено или "
                                 "недоступно (%2). Прием прекращен.")
                                 .arg(driver_.device(), reason)
                                 .toStdString();
    timer_.stop();
    view_.showMessage({text, instrument::kErrorCaption}, {});
    session_.cancel();
}

void SerialLineHost::note(const QString& text) {
    if (log_ != nullptr) {
        log_->note(text.toStdString());
    }
}

void SerialLineHost::selectPort(std::string_view portName) {
    selectedPort_ = fromUtf8(portName);
    if (!override_) {
        driver_.setPortName(selectedPort_);
    } else {
        // The device stands for the first port; the second has none.
        const bool first = portName == instrument::kFirstPort;
        driver_.setPortName(first ? *override_ : QString());
        selectedPort_ = first ? *override_ : QString();
    }
}

void SerialLineHost::connectPort() {
    if (selectedPort_.isEmpty()) {
        return;
    }
    const bool opened = driver_.open();
    PortAttempt attempt;
    attempt.port = selectedPort_;
    attempt.device = driver_.device();
    if (!opened) {
        attempt.outcome = classifyOpenFailure(driver_.openError(), attempt.device);
        attempt.systemError = driver_.openErrorText();
    }
    note(QStringLiteral("порт %1: %2")
             .arg(attempt.device, opened ? QStringLiteral("открыт") : driver_.openErrorText()));
    attempts_.push_back(std::move(attempt));
}

void SerialLineHost::disconnectPort() {
    if (driver_.isOpen()) {
        note(QStringLiteral("порт %1 закрыт").arg(driver_.device()));
    }
    driver_.close();
}

void SerialLineHost::send(char command) {
    if (identifyOnly_ && command == instrument::wire::kRequestData) {
        return;
    }
    if (log_ != nullptr) {
        log_->sent({&command, 1});
    }
    driver_.sendByte(command);
}

void SerialLineHost::armResponseTimer(int milliseconds) {
    timer_.start(milliseconds);
}

void SerialLineHost::disarmResponseTimer() {
    timer_.stop();
}

void SerialLineHost::showDisplay(const instrument::ReceiveDisplay& display) {
    if (display.status != shownStatus_) {
        shownStatus_ = display.status;
        note(fromUtf8(display.status));
    }
    view_.showDisplay(display);
}

void SerialLineHost::showMessage(const instrument::ReceiveMessage& message) {
    note(QStringLiteral("сообщение: %1").arg(fromUtf8(message.text)));
    view_.showMessage(message,
                      endsIdentification(message) ? diagnosisLines(attempts_) : QStringList());
}

void SerialLineHost::finish(int result) {
    note(QStringLiteral("передача завершена, результат %1").arg(result));
    view_.finish(result);
}

}  // namespace zond::link
