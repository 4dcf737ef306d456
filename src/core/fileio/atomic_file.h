// A file that replaces its target only when it is complete: bytes go to a temporary file beside
// the target, which is flushed, synced and renamed over the target on commit. Any failure removes
// the temporary and leaves an existing target as it was.
#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace zond::fileio {

enum class WriteFailure { DiskFull, InputOutput, Permission, FolderMissing, Other };

// What went wrong, for the user: what() names the file and the cause in Russian.
class FileWriteError : public std::runtime_error {
  public:
    FileWriteError(const std::filesystem::path& target, std::error_code cause);
    WriteFailure failure() const { return failure_; }
    std::error_code cause() const { return cause_; }

  private:
    WriteFailure failure_;
    std::error_code cause_;
};

// The kind of failure a system error stands for; works for POSIX and Windows error codes alike.
WriteFailure classify(std::error_code cause);

// The name by which a C library's fopen, which takes a narrow name, opens the existing file or
// folder at `path`: on Windows fopen reads it in the ANSI code page, so a name with characters
// outside it goes by its short (8.3) name. Throws FileWriteError when there is no such name.
std::string narrowFileName(const std::filesystem::path& path);

class AtomicFile {
  public:
    // Creates the empty temporary file. Throws FileWriteError.
    explicit AtomicFile(const std::filesystem::path& target);
    // Removes the temporary unless committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const std::filesystem::path& target() const;
    // For writers that open files by name: writes what is buffered, closes our handle (Windows
    // would not let the writer open the file otherwise) and returns the temporary's path. The
    // writer fills it; then commit(), or fail() with the writer's error.
    const std::filesystem::path& handOverTemporary();

    // Buffered; throws FileWriteError (the temporary is removed then).
    void write(std::string_view bytes);
    // Writes what is buffered, syncs the file to disk, renames it over the target and syncs the
    // folder. Throws FileWriteError (the temporary is removed then).
    void commit();
    // Drops the temporary; the target stays as it was.
    void discard() noexcept;
    // Drops the temporary and throws FileWriteError for a failure a writer by name reported.
    [[noreturn]] void fail(std::error_code cause);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zond::fileio
