#include "app/receive_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "link/serial_port_driver.h"
#include "ui/user_dialogs.h"
#include "ui/window_placement.h"

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The logical port as people name it: "COM1" for "\\.\COM1".
QString portCaption(const QString& port) {
    const QString prefix = QStringLiteral("\\\\.\\");
    return port.startsWith(prefix) ? port.mid(prefix.size()) : port;
}

// "40 с", "2 мин 05 с", "1 ч 02 мин".
QString durationText(qint64 seconds) {
    if (seconds < 60) {
        return QStringLiteral("%1 с").arg(seconds);
    }
    if (seconds < 3600) {
        return QStringLiteral("%1 мин %2 с")
            .arg(seconds / 60)
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1 ч %2 мин")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
}

constexpr qint64 kPaceAfterMs = 1000;  // the pace is worth showing after this much of the data

}  // namespace

ReceiveWindow::ReceiveWindow(zond::ui::UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint),
      statusLabel_(new QLabel(this)),
      progressBar_(new QProgressBar(this)),
      infoBox_(new QGroupBox(QStringLiteral("Информация"), this)),
      instrumentLabel_(new QLabel(infoBox_)),
      versionLabel_(new QLabel(infoBox_)),
      recordCountLabel_(new QLabel(infoBox_)),
      progressLabel_(new QLabel(this)),
      stallLabel_(new QLabel(this)),
      cancelButton_(new QPushButton(QStringLiteral("Отмена"), this)),
      responseTimer_(new QTimer(this)),
      stallTimer_(new QTimer(this)),
      driver_(new zond::link::SerialPortDriver(this)),
      dialogs_(dialogs) {
    setWindowTitle(fromUtf8(zond::instrument::kWindowCaption));
    setFixedSize(490, 245);

    QFont bold = statusLabel_->font();
    bold.setBold(true);
    statusLabel_->setFont(bold);
    statusLabel_->setAlignment(Qt::AlignCenter);
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);
    progressLabel_->setObjectName(QStringLiteral("progressLabel"));
    progressLabel_->setAlignment(Qt::AlignCenter);

    auto* info = new QGridLayout(infoBox_);
    info->addWidget(new QLabel(QStringLiteral("Тип прибора:"), infoBox_), 0, 0);
    info->addWidget(instrumentLabel_, 0, 1);
    info->addWidget(new QLabel(QStringLiteral("Версия ПО:"), infoBox_), 1, 0);
    info->addWidget(versionLabel_, 1, 1);
    info->addWidget(new QLabel(QStringLiteral("Количество записей:"), infoBox_), 2, 0);
    info->addWidget(recordCountLabel_, 2, 1);
    info->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(stallLabel_, 1);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(statusLabel_);
    layout->addWidget(progressBar_);
    layout->addWidget(progressLabel_);
    layout->addWidget(infoBox_);
    layout->addStretch(1);
    layout->addLayout(buttons);

    zond::link::LineView& view = *this;
    line_ = std::make_unique<zond::link::SerialLineHost>(*driver_, *responseTimer_, view);
    line_->setLog(&log_);
    connect(cancelButton_, &QPushButton::clicked, this, &ReceiveWindow::onCancel);
    stallTimer_->setInterval(500);
    connect(stallTimer_, &QTimer::timeout, this, &ReceiveWindow::showStall);
}

ReceiveWindow::~ReceiveWindow() = default;

int ReceiveWindow::runTransfer() {
    return exec();
}

const zond::instrument::DeviceImage& ReceiveWindow::deviceImage() const {
    return line_->session().deviceImage();
}

zond::instrument::DeviceInfo& ReceiveWindow::deviceInfo() {
    return line_->session().deviceInfo();
}

void ReceiveWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        startTransfer();
    }
}

void ReceiveWindow::done(int result) {
    // An error box of this transfer may still be open beneath the one that ended it (the
    // protocol's timer runs on while it is up); with the transfer over it has nothing left to
    // say, and left open it would hold up the main window.
    for (QMessageBox* box : findChildren<QMessageBox*>()) {
        box->done(QMessageBox::Ok);
    }
    stallTimer_->stop();
    stallLabel_->clear();
    dataClock_.invalidate();
    line_->session().close();
    log_.close();
    QDialog::done(result);
}

void ReceiveWindow::reject() {
    onCancel();
    if (isVisible()) {
        QDialog::done(zond::instrument::kResultFailed);
    }
}

void ReceiveWindow::startTransfer() {
    zond::ui::centreOnScreen(*this);
    setWindowTitle(fromUtf8(zond::instrument::kWindowCaption));
    // A transfer without its log still runs: the log only helps to look back.
    log_.open(zond::link::newCommunicationLogPath());
    progressLabel_->clear();
    dataClock_.invalidate();
    stallTimer_->start();
    line_->start();
}

void ReceiveWindow::onCancel() {
    line_->session().cancel();
}

void ReceiveWindow::showStall() {
    // The protocol sets no time-out once the data has started: the user decides when to cancel.
    const qint64 seconds = line_->sinceLastCharacter() / 1000;
    const bool receiving = line_->session().display().status == zond::instrument::kStatusReceiving;
    stallLabel_->setText(receiving && seconds >= 2
                             ? QStringLiteral("Нет данных от прибора уже %1 с").arg(seconds)
                             : QString());
    showProgress();
}

void ReceiveWindow::showProgress() {
    const auto& session = line_->session();
    const auto records = session.recordProgress();
    if (!records) {
        const auto& attempts = line_->attempts();
        const bool searching = session.display().status != zond::instrument::kStatusReceiving;
        progressLabel_->setText(
            searching && !attempts.empty() && !session.finished()
                ? QStringLiteral("Поиск прибора на %1 (%2)…")
                      .arg(portCaption(attempts.back().port), attempts.back().device)
                : QString());
        return;
    }
    if (!dataClock_.isValid()) {
        dataClock_.start();
    }
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    const auto received = static_cast<qint64>(records->received);
    const auto announced = static_cast<qint64>(records->announced);
    QString text = QStringLiteral("%1 из %2 (%3 %)")
                       .arg(russian.toString(received), russian.toString(announced))
                       .arg(announced == 0 ? 100 : received * 100 / announced);
    const qint64 elapsed = dataClock_.elapsed();
    if (elapsed >= kPaceAfterMs && received > 0 && received < announced) {
        const qint64 left = (announced - received) * elapsed / received / 1000;
        text += QStringLiteral(", осталось около ") + durationText(left);
    }
    progressLabel_->setText(text);
}

void ReceiveWindow::showReceiveError(const std::exception& error) {
    // The application's standard error box; the window stays as the protocol leaves it.
    dialogs_.message(this, QString::fromUtf8(error.what()),
                     QGuiApplication::applicationDisplayName(), zond::ui::MessageIcon::Error,
                     QMessageBox::Ok,
                     QStringLiteral("Символы, принятые от прибора, не удалось расшифровать: помехи "
                                    "на линии или неисправный кабель. Если прием не продолжится, "
                                    "нажмите «Отмена» и повторите его."));
}

void ReceiveWindow::showDisplay(const zond::instrument::ReceiveDisplay& display) {
    statusLabel_->setText(fromUtf8(display.status));
    instrumentLabel_->setText(fromUtf8(display.instrumentCaption));
    versionLabel_->setText(fromUtf8(display.versionText));
    recordCountLabel_->setText(fromUtf8(display.recordCountText));
    progressBar_->setValue(display.progress);
    showProgress();
}

void ReceiveWindow::showMessage(const zond::instrument::ReceiveMessage& message,
                                const QStringList& details) {
    progressLabel_->clear();
    if (details.isEmpty() || !portSettings_) {
        dialogs_.message(this, fromUtf8(message.text), fromUtf8(message.caption),
                         zond::ui::MessageIcon::Error, QMessageBox::Ok,
                         details.join(QLatin1Char('\n')));
        return;
    }
    // Why each port gave no instrument, in plain sight, and the way to change the ports.
    const QString text =
        fromUtf8(message.text) + QStringLiteral("\n\n") + details.join(QLatin1Char('\n'));
    if (dialogs_.messageOffering(this, text, fromUtf8(message.caption),
                                 zond::ui::MessageIcon::Error,
                                 QStringLiteral("Настройка связи…"))) {
        portSettings_();
    }
}

void ReceiveWindow::finish(int result) {
    done(result);
}
