// LockedFile on POSIX systems: flock and an open-file-description lock, pread/pwrite, fsync.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "dbf/locked_file.h"

namespace zond::dbf {

namespace {

// Repeats a partial pread or pwrite until all `size` bytes are done; false on an error or at the
// end of the file.
template <typename Transfer>
bool transferAll(std::size_t size, Transfer transfer) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Flushes a folder's entries to disk, so a rename inside it survives a power cut.
void syncFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Takes the flock and the open-file-description lock of `fd`, or closes it.
LockedFile::Status lockOrClose(int fd, bool exclusive) {
    struct flock range {};
    range.l_type = exclusive ? F_WRLCK : F_RDLCK;
    range.l_whence = SEEK_SET;  // l_start = l_len = 0: the whole file, however long it grows
    if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 ||
        ::fcntl(fd, F_OFD_SETLK, &range) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK || error == EAGAIN || error == EACCES
                   ? LockedFile::Status::InUse
                   : LockedFile::Status::Failed;
    }
    return LockedFile::Status::Ok;
}

bool namesFile(const std::filesystem::path& path, int fd) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Opens `path` with `flags` and takes its locks; `fd` is the open file when this returns Ok.
// Another writer may rename a new version over the name between our open and our lock: the file
// locked then is one no name reaches, so it is opened again until the name and the lock agree.
LockedFile::Status openLocked(const std::filesystem::path& path, int flags, bool exclusive,
                              int& fd) {
    for (int attempt = 0;; ++attempt) {
        fd = ::open(path.c_str(), flags, 0666);
        if (fd < 0) {
            return errno == ENOENT ? LockedFile::Status::NotFound : LockedFile::Status::Failed;
        }
        betweenOpenAndLock();
        const LockedFile::Status status = lockOrClose(fd, exclusive);
        if (status != LockedFile::Status::Ok || namesFile(path, fd)) {
            return status;
        }
        ::close(fd);
        if (attempt == 100) {
            return LockedFile::Status::InUse;
        }
    }
}

}  // namespace

LockedFile::Status LockedFile::open(const std::filesystem::path& path, bool create,
                                    bool exclusiveCreate) {
    close();
    int flags = O_RDWR | O_CLOEXEC;
    if (create) {
        flags |= O_CREAT | (exclusiveCreate ? O_EXCL : 0);
    }
    int fd = -1;
    const Status status = openLocked(path, flags, true, fd);
    return keep(status, fd, path);
}

LockedFile::Status LockedFile::openShared(const std::filesystem::path& path) {
    close();
    int fd = -1;
    const Status status = openLocked(path, O_RDONLY | O_CLOEXEC, false, fd);
    return keep(status, fd, path);
}

void LockedFile::close() {
    if (handle_ != kClosed) {
        ::close(static_cast<int>(handle_));  // releases both locks
        handle_ = kClosed;
    }
}

std::uint64_t LockedFile::size() const {
    struct stat info {};
    return ::fstat(static_cast<int>(handle_), &info) == 0 ? static_cast<std::uint64_t>(info.st_size)
                                                          : 0;
}

bool LockedFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    return transferAll(out.size(), [&](std::size_t done) {
        return ::pread(static_cast<int>(handle_), out.data() + done, out.size() - done,
                       static_cast<off_t>(offset + done));
    });
}

bool LockedFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    return transferAll(bytes.size(), [&](std::size_t done) {
        return ::pwrite(static_cast<int>(handle_), bytes.data() + done, bytes.size() - done,
                        static_cast<off_t>(offset + done));
    });
}

bool LockedFile::truncate(std::uint64_t size) {
    return ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) == 0;
}

bool LockedFile::sync() {
    return ::fsync(static_cast<int>(handle_)) == 0;
}

bool LockedFile::syncData() {
    return ::fdatasync(static_cast<int>(handle_)) == 0;
}

bool LockedFile::renameTo(const std::filesystem::path& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        return false;
    }
    path_ = target;
    syncFolder(path_.parent_path());
    return true;
}

bool LockedFile::renameOver(LockedFile& old) {
    if (!renameTo(old.path_)) {
        return false;
    }
    old.close();  // the old file goes, and its locks with it
    return true;
}

long currentProcessId() {
    return static_cast<long>(::getpid());
}

}  // namespace zond::dbf
