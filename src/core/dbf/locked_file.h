// A file descriptor held with a lock for as long as it is open: a whole-file flock and an
// open-file-description lock, so programs using either kind of lock are kept out. Writers hold
// both exclusively; readers share them with other readers.
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
    LockedFile(LockedFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    LockedFile& operator=(LockedFile&& other) noexcept;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // Opens for reading and writing; `create` makes the file when absent, `exclusiveCreate`
    // fails when it exists.
    Status open(const std::filesystem::path& path, bool create, bool exclusiveCreate = false);
    // Opens for reading only under shared locks: other readers may join, writers are kept out.
    Status openShared(const std::filesystem::path& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    std::uint64_t size() const;
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) const;
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    bool truncate(std::uint64_t size);
    bool sync();
    // The data only (and the size), not the other metadata: enough for rows to survive a power cut.
    bool syncData();

  private:
    int fd_ = -1;
};

// This process's ID, to name files that belong to one run.
long currentProcessId();

// Flushes a folder's entries to disk, after a rename inside it.
void syncFolder(const std::filesystem::path& folder);

}  // namespace zond::dbf
