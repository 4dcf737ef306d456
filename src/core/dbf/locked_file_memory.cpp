// LockedFile over files kept in this process's memory, for the fuzz targets: a run opens, edits,
// packs and replaces tables without a single system call. Names are plain keys (no folders), the
// locks are counted per file as the systems' locks would be, and a replaced or removed file lives
// on for the handles still open on it, as on POSIX.
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbf/locked_file.h"
#include "dbf/memory_files.h"

namespace zond::dbf {

namespace {

struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    int readers = 0;
    bool writer = false;
};

struct OpenFile {
    std::shared_ptr<MemoryFile> file;
    bool exclusive = false;
};

// By the name's text: comparing paths piece by piece would cost more than the file work.
std::map<std::string, std::shared_ptr<MemoryFile>, std::less<>>& files() {
    static std::map<std::string, std::shared_ptr<MemoryFile>, std::less<>> byName;
    return byName;
}

// Open files by handle; a closed one leaves an empty slot for the next open.
std::vector<OpenFile>& handles() {
    static std::vector<OpenFile> open;
    return open;
}

OpenFile& openFile(std::intptr_t handle) {
    return handles()[static_cast<std::size_t>(handle)];
}

LockedFile::Status lockAndHold(const std::shared_ptr<MemoryFile>& file, bool exclusive,
                               std::intptr_t& handle) {
    if (file->writer || (exclusive && file->readers > 0)) {
        return LockedFile::Status::InUse;
    }
    if (exclusive) {
        file->writer = true;
    } else {
        ++file->readers;
    }
    auto& open = handles();
    const auto free = std::find_if(open.begin(), open.end(),
                                   [](const OpenFile& slot) { return slot.file == nullptr; });
    handle = free - open.begin();
    if (free == open.end()) {
        open.push_back({file, exclusive});
    } else {
        *free = {file, exclusive};
    }
    return LockedFile::Status::Ok;
}

}  // namespace

void putMemoryFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    auto& file = files()[path.native()];
    if (!file || file->writer || file->readers > 0) {
        file = std::make_shared<MemoryFile>();  // an open one keeps its bytes, as if replaced
    }
    file->bytes.assign(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> memoryFileBytes(const std::filesystem::path& path) {
    const auto found = files().find(path.native());
    return found == files().end() ? std::vector<std::uint8_t>{} : found->second->bytes;
}

LockedFile::Status LockedFile::open(const std::filesystem::path& path, bool create,
                                    bool exclusiveCreate) {
    close();
    auto found = files().find(path.native());
    if (found == files().end()) {
        if (!create) {
            return Status::NotFound;
        }
        found = files().emplace(path.native(), std::make_shared<MemoryFile>()).first;
    } else if (create && exclusiveCreate) {
        return Status::Failed;
    }
    std::intptr_t handle = kClosed;
    const Status status = lockAndHold(found->second, true, handle);
    return keep(status, handle, path);
}

LockedFile::Status LockedFile::openShared(const std::filesystem::path& path) {
    close();
    const auto found = files().find(path.native());
    if (found == files().end()) {
        return Status::NotFound;
    }
    std::intptr_t handle = kClosed;
    const Status status = lockAndHold(found->second, false, handle);
    return keep(status, handle, path);
}

void LockedFile::close() {
    if (handle_ == kClosed) {
        return;
    }
    auto& open = openFile(handle_);
    if (open.exclusive) {
        open.file->writer = false;
    } else {
        --open.file->readers;
    }
    open = {};
    handle_ = kClosed;
}

std::uint64_t LockedFile::size() const {
    return openFile(handle_).file->bytes.size();
}

bool LockedFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    const auto& bytes = openFile(handle_).file->bytes;
    if (offset > bytes.size() || out.size() > bytes.size() - offset) {
        return false;
    }
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
}

bool LockedFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    auto& open = openFile(handle_);
    if (!open.exclusive) {
        return false;
    }
    auto& content = open.file->bytes;
    content.resize(std::max<std::size_t>(content.size(), offset + bytes.size()));
    std::copy(bytes.begin(), bytes.end(), content.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

bool LockedFile::truncate(std::uint64_t size) {
    auto& open = openFile(handle_);
    if (!open.exclusive) {
        return false;
    }
    open.file->bytes.resize(size);
    return true;
}

bool LockedFile::sync() {
    return true;
}

bool LockedFile::syncData() {
    return true;
}

bool LockedFile::renameTo(const std::filesystem::path& target) {
    const auto found = files().find(path_.native());
    if (found == files().end() || found->second != openFile(handle_).file) {
        return false;  // this file's name was taken by another or removed
    }
    auto file = found->second;
    files().erase(found);
    files()[target.native()] = std::move(file);
    path_ = target;
    return true;
}

bool LockedFile::renameOver(LockedFile& old) {
    if (!renameTo(old.path_)) {
        return false;
    }
    old.close();
    return true;
}

long currentProcessId() {
    return static_cast<long>(::getpid());
}

bool fileExists(const std::filesystem::path& path) {
    return files().contains(path.native());
}

void removeFile(const std::filesystem::path& path) {
    files().erase(path.native());
}

}  // namespace zond::dbf
