// A table file held open exclusively for as long as it is open. On POSIX systems a whole-file
// flock and an open-file-description write lock keep out programs using either kind of lock; on
// Windows the file is opened sharing reads only, which keeps out every other writer.
#pragma once

#include <cstdint>
#include <filesystem>
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
    void close();
    bool isOpen() const { return handle_ != kClosed; }

    std::uint64_t size() const;
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) const;
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    bool truncate(std::uint64_t size);
    bool sync();

    // Gives this file the name of the file `old` holds, in the same folder, replacing it; `old`
    // is closed and this file stays locked, and the new name is on disk when this returns.
    // False when the rename fails: both files are kept then, `old` held again if it can be (on
    // Windows both are closed for the move, so the lock lapses for that moment).
    bool renameOver(LockedFile& old);

  private:
    static constexpr std::intptr_t kClosed = -1;  // as INVALID_HANDLE_VALUE on Windows

    std::intptr_t handle_ = kClosed;  // a file descriptor, or a Windows HANDLE
    std::filesystem::path path_;
};

}  // namespace zond::dbf
