#include "link/connection_check.h"

namespace zond::link {

ConnectionCheck::ConnectionCheck(QObject* parent)
    : QObject(parent), driver_(this), responseTimer_(this), line_(driver_, responseTimer_, *this) {
    line_.setIdentifyOnly(true);
}

void ConnectionCheck::start(const QString& device) {
    if (running_) {
        return;
    }
    running_ = true;
    answer_.clear();
    problems_.clear();
    line_.setDeviceOverride(device);
    line_.start();
}

void ConnectionCheck::showDisplay(const instrument::ReceiveDisplay& display) {
    if (!display.instrumentCaption.empty()) {
        answer_ = QStringLiteral("%1, версия ПО %2")
                      .arg(QString::fromStdString(display.instrumentCaption),
                           QString::fromStdString(display.versionText));
    }
}

void ConnectionCheck::showMessage(const instrument::ReceiveMessage& message,
                                  const QStringList& details) {
    problems_ << QString::fromUtf8(message.text.data(),
                                   static_cast<qsizetype>(message.text.size()));
    problems_ << details;
}

void ConnectionCheck::showReceiveError(const std::exception& error) {
    problems_ << QString::fromUtf8(error.what());
}

void ConnectionCheck::finish(int) {
    running_ = false;
    line_.session().close();
    // A silent device ends without a message: what the port did is the answer.
    const bool found = !answer_.isEmpty();
    const QString text = found
                             ? answer_
                             : (problems_.isEmpty() ? diagnosisLines(line_.attempts()) : problems_)
                                   .join(QLatin1Char('\n'));
    // From the event loop: the session is still inside this call.
    QMetaObject::invokeMethod(
        this, [this, found, text] { emit finished(found, text); }, Qt::QueuedConnection);
}

}  // namespace zond::link
