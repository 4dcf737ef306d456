#include "link/communication_log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>

namespace zond::link {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

QStringList logsOldestFirst(const QDir& folder) {
    return folder.entryList({QStringLiteral("transfer-*.log")}, QDir::Files, QDir::Name);
}

}  // namespace

CommunicationLog::~CommunicationLog() {
    close();
}

bool CommunicationLog::open(const QString& path, bool append) {
    close();
    failure_.clear();
    file_ = std::fopen(QFile::encodeName(path).constData(), append ? "ab" : "wb");
    path_ = file_ != nullptr ? path : QString();
    return file_ != nullptr;
}

void CommunicationLog::close() {
    if (file_ != nullptr) {
        if (std::fclose(file_) != 0 && !failure_) {
            failure_ = std::error_code(errno, std::generic_category());
        }
        file_ = nullptr;
    }
}

void CommunicationLog::note(std::string_view text) {
    if (file_ == nullptr) {
        return;
    }
    startLine('#');
    line_ += text;
    writeLine();
}

void CommunicationLog::chunk(char direction, std::span<const char> bytes) {
    if (file_ == nullptr || bytes.empty()) {
        return;
    }
    startLine(direction);
    line_.reserve(line_.size() + bytes.size() * 3 + 1);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        line_ += ' ';
        line_ += kHexDigits[byte >> 4];
        line_ += kHexDigits[byte & 0x0F];
    }
    writeLine();
}

void CommunicationLog::startLine(char mark) {
    const QTime now = QTime::currentTime();
    line_.clear();
    appendTwoDigits(line_, now.hour());
    line_ += ':';
    appendTwoDigits(line_, now.minute());
    line_ += ':';
    appendTwoDigits(line_, now.second());
    line_ += '.';
    line_ += static_cast<char>('0' + now.msec() / 100);
    appendTwoDigits(line_, now.msec() % 100);
    line_ += ' ';
    line_ += mark;
    if (mark == '#') {
        line_ += ' ';
    }
}

void CommunicationLog::writeLine() {
    line_ += '\n';
    if (std::fwrite(line_.data(), 1, line_.size(), file_) != line_.size() ||
        std::fflush(file_) != 0) {
        failure_ = std::error_code(errno, std::generic_category());
        close();
    }
}

QString communicationLogFolder() {
#ifdef Q_OS_WIN
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
#endif
    return base + QStringLiteral("/zond8t/logs");
}

QString newCommunicationLogPath() {
    QDir folder(communicationLogFolder());
    folder.mkpath(QStringLiteral("."));
    QStringList logs = logsOldestFirst(folder);
    while (logs.size() >= kKeptLogs) {
        folder.remove(logs.takeFirst());
    }
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    return folder.filePath(QStringLiteral("transfer-%1.log").arg(stamp));
}

QString lastCommunicationLog() {
    const QDir folder(communicationLogFolder());
    const QStringList logs = logsOldestFirst(folder);
    return logs.isEmpty() ? QString() : folder.filePath(logs.last());
}

}  // namespace zond::link
