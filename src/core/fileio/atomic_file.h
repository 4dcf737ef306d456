// A file that replaces its target only when it is complete: bytes go to a temporary file beside
// the target, which is flushed, synced and renamed over the target on commit. Any failure removes
// the temporary and leaves an existing target as it was.
//
// What is replaced: a symbolic link is written through to the file it names; the replaced file's
// permissions (and owner, when run by the superuser) carry over. Never replaced: a folder, device
// or pipe, a measurement table, or a file another program holds locked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace zond::fileio {

enum class WriteFailure {
    DiskFull,
    InputOutput,
    Permission,
    FolderMissing,
    NameTooLong,
    NotRegularFile,
    MeasurementTable,
    InUse,
    Other
};

// What went wrong, for the user: what() names the file and the cause in Russian.
class FileWriteError : public std::runtime_error {
  public:
    FileWriteError(const std::filesystem::path& target, std::error_code cause);
    // A refusal that has no system error behind it.
    FileWriteError(const std::filesystem::path& target, WriteFailure failure);
    WriteFailure failure() const { return failure_; }
    std::error_code cause() const { return cause_; }

  private:
    WriteFailure failure_;
    std::error_code cause_;
};

// The kind of failure a system error stands for; works for POSIX and Windows error codes alike.
WriteFailure classify(std::error_code cause);

// Throws FileWriteError when `target` may not be replaced by a new file: it is a folder, device or
// pipe, a measurement table, or held by another program; or its name is longer than its folder
// allows. A missing target is fine. AtomicFile checks this itself; callers check early, before
// slow work.
void checkReplaceable(const std::filesystem::path& target);

// Removes the temporaries of `target` (see temporary_name.h) that no running program holds: the
// ones a killed run left.
void removeAbandonedTemporaries(const std::filesystem::path& target);

// Bytes free for us in the folder of `target`; nothing when unknown.
std::optional<std::uintmax_t> freeSpaceFor(const std::filesystem::path& target);

class AtomicFile {
  public:
    // Checks the target (checkReplaceable), removes abandoned temporaries and creates the empty
    // temporary file, held locked while it exists. Throws FileWriteError.
    explicit AtomicFile(const std::filesystem::path& target);
    // Removes the temporary unless committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const std::filesystem::path& target() const;
    // The file really replaced: the target, or the file a link at the target names.
    const std::filesystem::path& destination() const;
    // For writers that open files by name: writes what is buffered and returns the temporary's
    // path (on Windows our handle is closed, as the writer could not open the file otherwise).
    // The writer fills it; then commit(), or fail() with the writer's error.
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
