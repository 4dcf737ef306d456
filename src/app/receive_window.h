// ReceiveWindow, the receive window: fetches the instrument's memory over the serial line. Created
// once, shown modally for every transfer; the memory image and the instrument's identity stay here
// until the next transfer.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <memory>

#include "instrument/receive_session.h"
#include "link/communication_log.h"
#include "link/serial_line_host.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace zond::ui {
class UserDialogs;
}

class ReceiveWindow final : public QDialog, private zond::link::LineView {
    Q_OBJECT

  public:
    explicit ReceiveWindow(zond::ui::UserDialogs& dialogs, QWidget* parent = nullptr);
    ~ReceiveWindow() override;

    // Shows the window modally; 1 when the memory has been received, 2 otherwise.
    int runTransfer();

    const zond::instrument::DeviceImage& deviceImage() const;
    // The import replaces sensor codes in place, hence not const.
    zond::instrument::DeviceInfo& deviceInfo();

    QLabel* statusLabel() const { return statusLabel_; }
    QLabel* instrumentLabel() const { return instrumentLabel_; }
    QLabel* versionLabel() const { return versionLabel_; }
    QLabel* recordCountLabel() const { return recordCountLabel_; }
    // Which port is being searched, then the records received of those announced, the
    // percentage and the time left at the line's pace.
    QLabel* progressLabel() const { return progressLabel_; }
    // Seconds since the last character while the data is coming; empty otherwise.
    QLabel* stallLabel() const { return stallLabel_; }
    QProgressBar* progressBar() const { return progressBar_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QTimer* responseTimer() const { return responseTimer_; }
    zond::link::SerialPortDriver* driver() const { return driver_; }
    // The log of the running or last transfer.
    QString logPath() const { return log_.path(); }

    void done(int result) override;
    // Escape and the window's close request act as "Отмена".
    void reject() override;
    // "Настройка связи…", offered in the message when no instrument answered.
    void setPortSettings(std::function<void()> open) { portSettings_ = std::move(open); }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void startTransfer();
    void onCancel();
    void showStall();
    void showProgress();

    void showDisplay(const zond::instrument::ReceiveDisplay& display) override;
    void showMessage(const zond::instrument::ReceiveMessage& message,
                     const QStringList& details) override;
    void showReceiveError(const std::exception& error) override;
    void finish(int result) override;

    QLabel* statusLabel_;
    QProgressBar* progressBar_;
    QGroupBox* infoBox_;
    QLabel* instrumentLabel_;
    QLabel* versionLabel_;
    QLabel* recordCountLabel_;
    QLabel* progressLabel_;
    QLabel* stallLabel_;
    QPushButton* cancelButton_;
    QTimer* responseTimer_;
    QTimer* stallTimer_;
    zond::link::SerialPortDriver* driver_;
    zond::ui::UserDialogs& dialogs_;
    zond::link::CommunicationLog log_;
    std::unique_ptr<zond::link::SerialLineHost> line_;
    std::function<void()> portSettings_;
    // Since the instrument announced its record count: the pace of the line.
    QElapsedTimer dataClock_;
};
