// TForm2, the receive window: fetches the instrument's memory over the serial line. Created once,
// shown modally for every transfer; the memory image and the instrument's identity stay here
// until the next transfer.
#pragma once

#include <QDialog>
#include <memory>

#include "instrument/receive_session.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace zond::link {
class CommPortDriver;
class SerialLineHost;
}  // namespace zond::link

namespace zond::ui {
class UserDialogs;
}

class TForm2 final : public QDialog, private zond::instrument::ReceiveView {
    Q_OBJECT

  public:
    explicit TForm2(zond::ui::UserDialogs& dialogs, QWidget* parent = nullptr);
    ~TForm2() override;

    // Shows the window modally; 1 when the memory has been received, 2 otherwise.
    int runTransfer();

    const zond::instrument::DeviceImage& deviceImage() const;
    // The import replaces sensor codes in place, hence not const.
    zond::instrument::DeviceInfo& deviceInfo();

    QLabel* StaticText2;  // status line
    QProgressBar* ProgressBar1;
    QGroupBox* GroupBox1;
    QLabel* StaticText4;
    QLabel* StaticText5;  // instrument caption
    QLabel* StaticText3;
    QLabel* StaticText1;  // version text
    QLabel* StaticText6;
    QLabel* StaticText7;  // record count
    QPushButton* Button1;
    QTimer* Timer1;  // response timer
    zond::link::CommPortDriver* CommPortDriver1;

    void done(int result) override;
    // Escape and the window's close request act as "Отмена".
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
    void FormClose();
    void Button1Click();
    void Timer1Timer();
    void CommPortDriver1ReceiveData(const char* DataPtr, quint32 DataSize);

    void showDisplay(const zond::instrument::ReceiveDisplay& display) override;
    void showMessage(const zond::instrument::ReceiveMessage& message) override;
    void finish(int result) override;

    zond::ui::UserDialogs& dialogs_;
    std::unique_ptr<zond::link::SerialLineHost> line_;
    std::unique_ptr<zond::instrument::ReceiveSession> session_;
};
