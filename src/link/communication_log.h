// The log of one transfer: every chunk sent (">") or received ("<") as hex bytes after the time of
// day, and the port's and the protocol's events as "#" lines, one write per line so that a log
// cut short by a crash still holds everything before it.
#pragma once

#include <QString>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace zond::link {

class CommunicationLog {
  public:
    CommunicationLog() = default;
    ~CommunicationLog();
    CommunicationLog(const CommunicationLog&) = delete;
    CommunicationLog& operator=(const CommunicationLog&) = delete;

    // Starts a new file at `path`, or with `append` adds to the end of an existing one; false
    // when it cannot be written.
    bool open(const QString& path, bool append = false);
    void close();
    // Why the log is incomplete: the first write that failed (a full disk, an I/O error), after
    // which nothing more is written. Empty while every line went through.
    std::error_code failure() const { return failure_; }
    bool isOpen() const { return file_ != nullptr; }
    QString path() const { return path_; }

    void sent(std::span<const char> bytes) { chunk('>', bytes); }
    void received(std::span<const char> bytes) { chunk('<', bytes); }
    void note(std::string_view text);

  private:
    void chunk(char direction, std::span<const char> bytes);
    void startLine(char mark);
    void writeLine();

    std::FILE* file_ = nullptr;
    QString path_;
    std::string line_;
    std::error_code failure_;
};

// Where the program keeps the logs of its last transfers: $XDG_STATE_HOME/zond8t/logs on Linux
// (~/.local/state when unset), the local application-data folder elsewhere.
QString communicationLogFolder();

// A new log's path in that folder (created when missing); the oldest logs go so that this one
// and kKeptLogs - 1 others remain.
inline constexpr int kKeptLogs = 20;
QString newCommunicationLogPath();

// The most recent log there; empty when there is none.
QString lastCommunicationLog();

}  // namespace zond::link
