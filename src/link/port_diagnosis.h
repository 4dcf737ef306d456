// What happened on each port a transfer tried, in words for the user: the lines under "Прибор не
// обнаружен!" in the program and on the command line's stderr.
#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace zond::link {

enum class OpenOutcome { Opened, Missing, PermissionDenied, Busy, Failed };

struct PortAttempt {
    QString port;    // the program's name ("\\.\COM1"), or the device itself
    QString device;  // what was opened
    OpenOutcome outcome = OpenOutcome::Opened;
    QString systemError;  // Qt's text when the open failed
    std::size_t received = 0;
    std::string lastCharacters;  // the last header's worth of what came back
};

// Why `device` could not be opened: Qt's error sharpened by a look at the device file (Qt reports
// a device locked by another program and one the user may not open alike).
OpenOutcome classifyOpenFailure(QSerialPort::SerialPortError error, const QString& device);

QString diagnosisLine(const PortAttempt& attempt);
QStringList diagnosisLines(const std::vector<PortAttempt>& attempts);

}  // namespace zond::link
