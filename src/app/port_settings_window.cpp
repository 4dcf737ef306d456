#include "app/port_settings_window.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/connection_check.h"
#include "link/port_mapping.h"
#include "link/settings_store.h"

namespace {

QString logicalPort(int port) {
    return QStringLiteral("\\\\.\\COM%1").arg(port);
}

QString settingsValue(int port) {
    return QStringLiteral("Ports/COM%1").arg(port);
}

}  // namespace

PortSettingsWindow::PortSettingsWindow(QWidget* parent)
    : QDialog(parent),
      devices_(zond::link::listSerialDevices()),
      check_(new zond::link::ConnectionCheck(this)) {
    setWindowTitle(QStringLiteral("Настройка связи"));
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(
        QStringLiteral("Программа ищет прибор на порту COM1, затем на COM2. Выберите для каждого "
                       "устройство из списка подключенных или введите путь к нему."),
        this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    for (int port = 1; port <= kPortCount; ++port) {
        layout->addWidget(buildRow(port));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PortSettingsWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PortSettingsWindow::reject);
    layout->addWidget(buttons);
    connect(check_, &zond::link::ConnectionCheck::finished, this,
            &PortSettingsWindow::showCheckResult);
    setMinimumWidth(560);
}

QWidget* PortSettingsWindow::buildRow(int port) {
    auto* box = new QGroupBox(QStringLiteral("Порт COM%1").arg(port), this);
    PortRow& row = rows_.at(port - 1);
    row.device = new QComboBox(box);
    row.device->setObjectName(QStringLiteral("device%1").arg(port));
    row.device->setEditable(true);
    row.device->setInsertPolicy(QComboBox::NoInsert);
    // The stable name first: it stays the same when the adapter is plugged in again.
    for (const zond::link::SerialDevice& device : devices_) {
        if (!device.stableName.isEmpty()) {
            row.device->addItem(device.stableName);
        }
        row.device->addItem(device.path);
    }
    row.opened = zond::link::deviceForPort(logicalPort(port));
    row.openedDefault = !zond::link::openProgramSettings()->contains(settingsValue(port));
    row.device->setCurrentText(row.opened);
    // Room for the texts that come and go, so the window keeps its size.
    const int line = fontMetrics().lineSpacing();
    row.details = new QLabel(box);
    row.details->setObjectName(QStringLiteral("details%1").arg(port));
    row.details->setWordWrap(true);
    row.details->setMinimumHeight(2 * line);
    row.details->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    row.check = new QPushButton(QStringLiteral("Проверить связь"), box);
    row.check->setObjectName(QStringLiteral("check%1").arg(port));
    row.result = new QLabel(box);
    row.result->setObjectName(QStringLiteral("result%1").arg(port));
    row.result->setWordWrap(true);
    row.result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row.result->setMinimumHeight(3 * line);
    row.result->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("Устройство:"), box), 0, 0);
    grid->addWidget(row.device, 0, 1);
    grid->addWidget(row.check, 0, 2);
    grid->addWidget(row.details, 1, 1, 1, 2);
    grid->addWidget(row.result, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    connect(row.device, &QComboBox::currentTextChanged, this, [this, port] { showDetails(port); });
    connect(row.check, &QPushButton::clicked, this, [this, port] { startCheck(port); });
    showDetails(port);
    return box;
}

void PortSettingsWindow::showDetails(int port) {
    PortRow& row = rows_.at(port - 1);
    const QString chosen = row.device->currentText().trimmed();
    QString text = QStringLiteral("Нет среди подключенных устройств: путь введен вручную");
    if (chosen == row.opened) {
        text = row.openedDefault
                   ? QStringLiteral("Нет среди подключенных устройств: путь по умолчанию")
                   : QStringLiteral("Нет среди подключенных устройств: путь из настроек программы");
    }
    for (const zond::link::SerialDevice& device : devices_) {
        if (chosen == device.path || chosen == device.stableName) {
            const QString details = zond::link::deviceDetails(device);
            text = chosen == device.path ? details
                                         : details + QStringLiteral(" (%1)").arg(device.path);
            break;
        }
    }
    row.details->setText(text);
    row.result->clear();
}

void PortSettingsWindow::startCheck(int port) {
    if (check_->running()) {
        return;
    }
    checkedPort_ = port;
    // The other port waits; the pressed button keeps the focus (a click on it meanwhile does
    // nothing), so the focus does not jump into the other port's field.
    rows_.at(kPortCount - port).check->setEnabled(false);
    rows_.at(port - 1).result->setText(QStringLiteral("Проверка…"));
    check_->start(rows_.at(port - 1).device->currentText().trimmed());
}

void PortSettingsWindow::showCheckResult(bool found, const QString& text) {
    for (PortRow& row : rows_) {
        row.check->setEnabled(true);
    }
    rows_.at(checkedPort_ - 1)
        .result->setText(found ? QStringLiteral("Прибор ответил: %1").arg(text) : text);
}

void PortSettingsWindow::accept() {
    const auto settings = zond::link::openProgramSettings();
    for (int port = 1; port <= kPortCount; ++port) {
        settings->setValue(settingsValue(port), deviceBox(port)->currentText().trimmed());
    }
    settings->sync();
    QDialog::accept();
}
