#include "link/port_mapping.h"

#include <QRegularExpression>

#include "link/port_discovery.h"
#include "link/settings_store.h"

namespace zond::link {

namespace {

QString defaultDevice(const QString& portName, int number) {
#ifdef Q_OS_WIN
    Q_UNUSED(portName);
    return QStringLiteral("COM%1").arg(number);
#else
    Q_UNUSED(portName);
    return number == 1 ? QStringLiteral("/dev/ttyUSB0")
                       : QStringLiteral("/dev/ttyS%1").arg(number - 2);
#endif
}

}  // namespace

QString deviceForPort(const QString& portName) {
    static const QRegularExpression logical(QStringLiteral(R"(^\\\\\.\\COM([1-9][0-9]*)$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = logical.match(portName);
    if (!match.hasMatch()) {
        // A bare name may be a listed port's or a stable name's; a path is used as it is.
        const bool bare =
            !portName.contains(QLatin1Char('/')) && !portName.contains(QLatin1Char('\\'));
        return bare ? resolveDeviceName(portName, listSerialDevices()) : portName;
    }
    const int number = match.captured(1).toInt();
    const QString configured =
        openProgramSettings()->value(QStringLiteral("Ports/COM%1").arg(number)).toString();
    return configured.isEmpty() ? defaultDevice(portName, number) : configured;
}

}  // namespace zond::link
