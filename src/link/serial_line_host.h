// A receive session on a real line: port requests go to a SerialPortDriver, the response timer is
// a QTimer, characters from the driver go to the session, and what is to be seen goes to a
// LineView (the receive window, the terminal, the port check). On the way it notes what each port
// tried did, for the diagnosis, and writes the communication log when one is given.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <exception>
#include <optional>
#include <vector>

#include "instrument/receive_session.h"
#include "link/port_diagnosis.h"
#include "link/serial_port_driver.h"

namespace zond::link {

class CommunicationLog;

class LineView {
  public:
    virtual ~LineView() = default;
    virtual void showDisplay(const instrument::ReceiveDisplay& display) = 0;
    // `details`: one line per port tried when no instrument (or another one) answered.
    virtual void showMessage(const instrument::ReceiveMessage& message,
                             const QStringList& details) = 0;
    // A block the session could not take; the session stays where the protocol leaves it.
    virtual void showReceiveError(const std::exception& error) = 0;
    virtual void finish(int result) = 0;
};

class SerialLineHost final : private instrument::ReceiveHost {
  public:
    // Puts the driver into the settings the instrument link runs with and takes over its
    // handlers and the timer's timeout.
    SerialLineHost(SerialPortDriver& driver, QTimer& responseTimer, LineView& view);

    instrument::ReceiveSession& session() { return session_; }
    const instrument::ReceiveSession& session() const { return session_; }

    // A device to use instead of the program's ports: the first port opens it, the second
    // opens nothing (no answer comes from it).
    void setDeviceOverride(std::optional<QString> device) { override_ = std::move(device); }
    // Stop once the instrument has identified itself: no data is requested, no second port is
    // tried, and the session ends cancelled with its display showing the instrument.
    void setIdentifyOnly(bool only) { identifyOnly_ = only; }
    // Null for none; must outlive the transfers it is set for.
    void setLog(CommunicationLog* log) { log_ = log; }

    // Starts a transfer; the attempts of the previous one are forgotten.
    void start();
    // Milliseconds since the last character arrived (or since the start).
    qint64 sinceLastCharacter() const { return lastCharacter_.elapsed(); }
    // Whether any port has sent a character since start().
    bool heardAnything() const { return heardAnything_; }
    const std::vector<PortAttempt>& attempts() const { return attempts_; }

  private:
    void onReceived(const char* data, quint32 size);
    void onResponseTimeout();
    void onPortError(const QString& reason);
    void note(const QString& text);

    void selectPort(std::string_view portName) override;
    void connectPort() override;
    void disconnectPort() override;
    void send(char command) override;
    void armResponseTimer(int milliseconds) override;
    void disarmResponseTimer() override;
    void showDisplay(const instrument::ReceiveDisplay& display) override;
    void showMessage(const instrument::ReceiveMessage& message) override;
    void finish(int result) override;

    SerialPortDriver& driver_;
    QTimer& timer_;
    LineView& view_;
    instrument::ReceiveSession session_;
    std::optional<QString> override_;
    bool identifyOnly_ = false;
    CommunicationLog* log_ = nullptr;
    QString selectedPort_;
    std::vector<PortAttempt> attempts_;
    QElapsedTimer lastCharacter_;
    bool heardAnything_ = false;
    std::string shownStatus_;
};

}  // namespace zond::link
