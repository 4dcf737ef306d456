// "Проверить связь": the identification step alone on one device. The instrument names its type
// and generation; nothing else of its memory is asked for.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "link/serial_line_host.h"
#include "link/serial_port_driver.h"

namespace zond::link {

class ConnectionCheck final : public QObject, private LineView {
    Q_OBJECT

  public:
    explicit ConnectionCheck(QObject* parent = nullptr);

    // Asks `device`; finished() follows within the instrument's response time.
    void start(const QString& device);
    bool running() const { return running_; }

  signals:
    // `found`: the right instrument answered; `text` says who answered or what went wrong.
    void finished(bool found, const QString& text);

  private:
    void showDisplay(const instrument::ReceiveDisplay& display) override;
    void showMessage(const instrument::ReceiveMessage& message,
                     const QStringList& details) override;
    void showReceiveError(const std::exception& error) override;
    void finish(int result) override;

    SerialPortDriver driver_;
    QTimer responseTimer_;
    SerialLineHost line_;
    bool running_ = false;
    QString answer_;
    QStringList problems_;
};

}  // namespace zond::link
