#include "receive.h"

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

#include "link/CPDrv.h"
#include "link/serial_line_host.h"
#include "ui/user_dialogs.h"
#include "ui/window_placement.h"

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TForm2::TForm2(zond::ui::UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint),
      StaticText2(new QLabel(this)),
      ProgressBar1(new QProgressBar(this)),
      GroupBox1(new QGroupBox(QStringLiteral("Информация"), this)),
      StaticText4(new QLabel(QStringLiteral("Тип прибора:"), GroupBox1)),
      StaticText5(new QLabel(GroupBox1)),
      StaticText3(new QLabel(QStringLiteral("Версия ПО:"), GroupBox1)),
      StaticText1(new QLabel(GroupBox1)),
      StaticText6(new QLabel(QStringLiteral("Количество записей:"), GroupBox1)),
      StaticText7(new QLabel(GroupBox1)),
      Button1(new QPushButton(QStringLiteral("Отмена"), this)),
      Timer1(new QTimer(this)),
      CommPortDriver1(new zond::link::CommPortDriver(this)),
      dialogs_(dialogs) {
    setWindowTitle(fromUtf8(zond::instrument::kWindowCaption));
    setFixedSize(490, 245);

    QFont bold = StaticText2->font();
    bold.setBold(true);
    StaticText2->setFont(bold);
    StaticText2->setAlignment(Qt::AlignCenter);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);

    auto* info = new QGridLayout(GroupBox1);
    info->addWidget(StaticText4, 0, 0);
    info->addWidget(StaticText5, 0, 1);
    info->addWidget(StaticText3, 1, 0);
    info->addWidget(StaticText1, 1, 1);
    info->addWidget(StaticText6, 2, 0);
    info->addWidget(StaticText7, 2, 1);
    info->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StaticText2);
    layout->addWidget(ProgressBar1);
    layout->addWidget(GroupBox1);
    layout->addStretch(1);
    layout->addLayout(buttons);

    zond::instrument::ReceiveView& view = *this;
    line_ = std::make_unique<zond::link::SerialLineHost>(*CommPortDriver1, *Timer1, view);
    session_ = std::make_unique<zond::instrument::ReceiveSession>(*line_);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);
    CommPortDriver1->SetOnReceiveData(
        [this](zond::link::CommPortDriver*, const char* DataPtr, quint32 DataSize) {
            CommPortDriver1ReceiveData(DataPtr, DataSize);
        });
}

TForm2::~TForm2() = default;

int TForm2::runTransfer() {
    return exec();
}

const zond::instrument::DeviceImage& TForm2::deviceImage() const {
    return session_->deviceImage();
}

zond::instrument::DeviceInfo& TForm2::deviceInfo() {
    return session_->deviceInfo();
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TForm2::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TForm2::reject() {
    Button1Click();
    if (isVisible()) {
        QDialog::done(zond::instrument::kResultFailed);
    }
}

void TForm2::FormShow() {
    zond::ui::centreOnScreen(*this);
    setWindowTitle(fromUtf8(zond::instrument::kWindowCaption));
    session_->start();
}

void TForm2::FormClose() {
    session_->close();
}

void TForm2::Button1Click() {
    session_->cancel();
}

void TForm2::Timer1Timer() {
    session_->responseTimerExpired();
}

void TForm2::CommPortDriver1ReceiveData(const char* DataPtr, quint32 DataSize) {
    try {
        session_->receive({reinterpret_cast<const std::uint8_t*>(DataPtr), DataSize});
    } catch (const std::exception& error) {
        // The application's standard error box; the window stays as the protocol leaves it.
        dialogs_.message(this, QString::fromUtf8(error.what()),
                         QGuiApplication::applicationDisplayName(), zond::ui::MessageIcon::Error,
                         QMessageBox::Ok);
    }
}

void TForm2::showDisplay(const zond::instrument::ReceiveDisplay& display) {
    StaticText2->setText(fromUtf8(display.status));
    StaticText5->setText(fromUtf8(display.instrumentCaption));
    StaticText1->setText(fromUtf8(display.versionText));
    StaticText7->setText(fromUtf8(display.recordCountText));
    ProgressBar1->setValue(display.progress);
}

void TForm2::showMessage(const zond::instrument::ReceiveMessage& message) {
    dialogs_.message(this, fromUtf8(message.text), fromUtf8(message.caption),
                     zond::ui::MessageIcon::Error, QMessageBox::Ok);
}

void TForm2::finish(int result) {
    done(result);
}
