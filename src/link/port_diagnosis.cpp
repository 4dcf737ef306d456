#include "link/port_diagnosis.h"

#include <QFileInfo>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

#include "instrument/receive_session.h"
#include "instrument/wire_format.h"

namespace zond::link {

namespace {

namespace wire = instrument::wire;

QString withoutPrefix(QString port) {
    return port.startsWith(QStringLiteral("\\\\.\\")) ? port.mid(4) : port;
}

bool userMayOpen(const QString& device) {
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return true;
#else
    return access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#endif
}

QString permissionText() {
#ifdef Q_OS_LINUX
    return QStringLiteral(
        "нет прав на доступ к устройству; добавьте пользователя в группу dialout "
        "(sudo usermod -a -G dialout $USER) и войдите в систему заново");
#else
    return QStringLiteral("нет прав на доступ к устройству");
#endif
}

// A full header from another instrument names its type and generation.
QString answerText(const PortAttempt& attempt) {
    const std::string& header = attempt.lastCharacters;
    if (header.size() == wire::kHeaderLength) {
        try {
            const int type = wire::DecodeBytePair(header[wire::kTypeAt], header[wire::kTypeAt + 1]);
            const int generation = static_cast<unsigned char>(header[wire::kGenerationAt]) -
                                   static_cast<unsigned char>(wire::kDigitBase);
            const bool wrong =
                type != wire::kExpectedType || generation != wire::kExpectedGeneration;
            if (wrong && generation >= 0) {
                return QStringLiteral("ответил другой прибор (тип %1, поколение %2)")
                    .arg(type)
                    .arg(generation);
            }
        } catch (const std::exception&) {
            // Not a header at all: described by its length below.
        }
    }
    return QStringLiteral("пришло символов: %1, но это не ответ прибора ЗОНД-8Т")
        .arg(attempt.received);
}

}  // namespace

OpenOutcome classifyOpenFailure(QSerialPort::SerialPortError error, const QString& device) {
    if (error == QSerialPort::DeviceNotFoundError || !QFileInfo::exists(device)) {
        return OpenOutcome::Missing;
    }
    if (error == QSerialPort::OpenError) {
        return OpenOutcome::Busy;
    }
    if (error == QSerialPort::PermissionError) {
        return userMayOpen(device) ? OpenOutcome::Busy : OpenOutcome::PermissionDenied;
    }
    return OpenOutcome::Failed;
}

QString diagnosisLine(const PortAttempt& attempt) {
    QString what;
    switch (attempt.outcome) {
        case OpenOutcome::Missing:
            what = QStringLiteral("устройство не существует");
            break;
        case OpenOutcome::PermissionDenied:
            what = permissionText();
            break;
        case OpenOutcome::Busy:
            what = QStringLiteral("устройство занято другой программой");
            break;
        case OpenOutcome::Failed:
            what = QStringLiteral("не открывается: %1").arg(attempt.systemError);
            break;
        case OpenOutcome::Opened:
            what = attempt.received == 0 ? QStringLiteral("открыто, но нет ответа в течение %1 с")
                                               .arg(instrument::kResponseTimeoutMs / 1000)
                                         : answerText(attempt);
            break;
    }
    const QString port = withoutPrefix(attempt.port);
    const QString where =
        port == attempt.device ? port : QStringLiteral("%1 (%2)").arg(port, attempt.device);
    return QStringLiteral("%1: %2").arg(where, what);
}

QStringList diagnosisLines(const std::vector<PortAttempt>& attempts) {
    QStringList lines;
    for (const PortAttempt& attempt : attempts) {
        lines << diagnosisLine(attempt);
    }
    return lines;
}

}  // namespace zond::link
