#include "app/receive_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "link/serial_line_host.h"
#include "link/serial_port_driver.h"
#include "ui/user_dialogs.h"
#include "ui/window_placement.h"

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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
      cancelButton_(new QPushButton(QStringLiteral("Отмена"), this)),
      responseTimer_(new QTimer(this)),
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

    auto* info = new QGridLayout(infoBox_);
    info->addWidget(new QLabel(QStringLiteral("Тип прибора:"), infoBox_), 0, 0);
    info->addWidget(instrumentLabel_, 0, 1);
    info->addWidget(new QLabel(QStringLiteral("Версия ПО:"), infoBox_), 1, 0);
    info->addWidget(versionLabel_, 1, 1);
    info->addWidget(new QLabel(QStringLiteral("Количество записей:"), infoBox_), 2, 0);
    info->addWidget(recordCountLabel_, 2, 1);
    info->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(statusLabel_);
    layout->addWidget(progressBar_);
    layout->addWidget(infoBox_);
    layout->addStretch(1);
    layout->addLayout(buttons);

    zond::instrument::ReceiveView& view = *this;
    line_ = std::make_unique<zond::link::SerialLineHost>(*driver_, *responseTimer_, view);
    session_ = std::make_unique<zond::instrument::ReceiveSession>(*line_);
    connect(cancelButton_, &QPushButton::clicked, this, &ReceiveWindow::onCancel);
    connect(responseTimer_, &QTimer::timeout, this, [this] { session_->responseTimerExpired(); });
    driver_->setReceiveHandler([this](zond::link::SerialPortDriver*, const char* data,
                                      quint32 size) { onDataReceived(data, size); });
}

ReceiveWindow::~ReceiveWindow() = default;

int ReceiveWindow::runTransfer() {
    return exec();
}

const zond::instrument::DeviceImage& ReceiveWindow::deviceImage() const {
    return session_->deviceImage();
}

zond::instrument::DeviceInfo& ReceiveWindow::deviceInfo() {
    return session_->deviceInfo();
}

void ReceiveWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        startTransfer();
    }
}

void ReceiveWindow::done(int result) {
    session_->close();
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
    session_->start();
}

void ReceiveWindow::onCancel() {
    session_->cancel();
}

void ReceiveWindow::onDataReceived(const char* data, quint32 size) {
    try {
        session_->receive({reinterpret_cast<const std::uint8_t*>(data), size});
    } catch (const std::exception& error) {
        // The application's standard error box; the window stays as the protocol leaves it.
        dialogs_.message(this, QString::fromUtf8(error.what()),
                         QGuiApplication::applicationDisplayName(), zond::ui::MessageIcon::Error,
                         QMessageBox::Ok);
    }
}

void ReceiveWindow::showDisplay(const zond::instrument::ReceiveDisplay& display) {
    statusLabel_->setText(fromUtf8(display.status));
    instrumentLabel_->setText(fromUtf8(display.instrumentCaption));
    versionLabel_->setText(fromUtf8(display.versionText));
    recordCountLabel_->setText(fromUtf8(display.recordCountText));
    progressBar_->setValue(display.progress);
}

void ReceiveWindow::showMessage(const zond::instrument::ReceiveMessage& message) {
    dialogs_.message(this, fromUtf8(message.text), fromUtf8(message.caption),
                     zond::ui::MessageIcon::Error, QMessageBox::Ok);
}

void ReceiveWindow::finish(int result) {
    done(result);
}
