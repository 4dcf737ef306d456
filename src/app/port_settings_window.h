// PortSettingsWindow, "Настройка связи": which device each of the program's ports COM1 and COM2
// opens, chosen among the serial devices present or typed by hand, with a check of the line.
// OK stores the choice in the settings values Ports/COM1 and Ports/COM2.
#pragma once

#include <QDialog>
#include <array>
#include <vector>

#include "link/port_discovery.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace zond::link {
class ConnectionCheck;
}

class PortSettingsWindow final : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kPortCount = 2;

    explicit PortSettingsWindow(QWidget* parent = nullptr);

    // Port 1 is COM1, port 2 is COM2.
    QComboBox* deviceBox(int port) const { return rows_.at(port - 1).device; }
    QPushButton* checkButton(int port) const { return rows_.at(port - 1).check; }
    QLabel* checkResult(int port) const { return rows_.at(port - 1).result; }

    void accept() override;

  private:
    struct PortRow {
        QComboBox* device = nullptr;
        QLabel* details = nullptr;
        QPushButton* check = nullptr;
        QLabel* result = nullptr;
        QString opened;              // the device the window opened with
        bool openedDefault = false;  // no setting stored: the program's default
    };

    QWidget* buildRow(int port);
    void showDetails(int port);
    void startCheck(int port);
    void showCheckResult(bool found, const QString& text);

    std::vector<zond::link::SerialDevice> devices_;
    std::array<PortRow, kPortCount> rows_;
    zond::link::ConnectionCheck* check_;
    int checkedPort_ = 0;
};
