// A table file held open with a lock for as long as it is open. Writers keep out every other
// writer and reader; readers share the file with other readers. On POSIX systems the lock is a
// whole-file flock and an open-file-description lock, so programs using either kind are kept
// out; on Windows it is the share mode of the open handle.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

namespace zond::dbf {

class LockedFile {
  public:
    enum class Status { Ok, NotFound, InUse, Failed };

    LockedFile() = default;
    ~LockedFile() { close(); }
    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // Opens for reading and writing; `create` makes the file when absent, `exclusiveCreate`
    // fails when it exists.
    Status open(const std::filesystem::path& path, bool create, bool exclusiveCreate = false);
    // Opens for reading only under shared locks: other readers may join, writers are kept out.
    Status openShared(const std::filesystem::path& path);
    void close();
    bool isOpen() const { return handle_ != kClosed; }

    std::uint64_t size() const;
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) const;
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    bool truncate(std::uint64_t size);
    bool sync();
    // The data only (and the size), not the other metadata: enough for rows to survive a power cut.
    bool syncData();

    // Gives this file the name `target`, in the same folder, replacing any file of that name;
    // the new name is on disk when this returns. False when the move fails, the file keeps its
    // name then. On Windows the file is closed for the move and opened again, so the lock lapses
    // for that moment (and the file stays closed if it cannot be opened again).
    bool renameTo(const std::filesystem::path& target);
    // renameTo(old's name), where `old` is open: `old` is closed, and held again if the move
    // fails.
    bool renameOver(LockedFile& old);

  private:
    static constexpr std::intptr_t kClosed = -1;  // as INVALID_HANDLE_VALUE on Windows

    // Holds `handle` under `path` when `status` is Ok; returns `status`.
    Status keep(Status status, std::intptr_t handle, const std::filesystem::path& path);

    std::intptr_t handle_ = kClosed;  // a file descriptor, or a Windows HANDLE
    std::filesystem::path path_;
};

// For tests: runs between opening a file and locking it, the moment another writer may rename a
// new version over the name. Empty: nothing runs.
void setBetweenOpenAndLockForTests(std::function<void()> hook);
void betweenOpenAndLock();

// This process's ID, to name files that belong to one run.
long currentProcessId();

// Whether a file of that name exists, and its removal (quietly: a file that stays is no error).
// A table's companion files (its sort index, its copies) are found and removed through these, so
// that they live wherever the table's file layer keeps files.
bool fileExists(const std::filesystem::path& path);
void removeFile(const std::filesystem::path& path);

}  // namespace zond::dbf
