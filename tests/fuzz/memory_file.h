// A file that lives only in memory (a memfd), refilled for every fuzz run: the table layer opens
// it by its /proc path like any other file, and no run touches the disk.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

class MemoryFile {
  public:
    explicit MemoryFile(const char* name) : fd_(::memfd_create(name, MFD_CLOEXEC)) {
        if (fd_ < 0) {
            std::abort();
        }
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the whole content.
    void fill(std::span<const std::uint8_t> bytes) const {
        if (::ftruncate(fd_, 0) != 0 ||
            (!bytes.empty() &&
             ::pwrite(fd_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))) {
            std::abort();
        }
    }

    std::filesystem::path path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  private:
    int fd_;
};
