// AtomicFile on POSIX systems: open(O_EXCL) for a fresh temporary held under a flock, write(2) in
// large pieces, fsync, rename(2) and an fsync of the folder so the new name survives a power cut.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "fileio/atomic_file.h"
#include "fileio/atomic_file_system.h"
#include "fileio/temporary_name.h"
#include "fileio/write_buffer.h"

namespace zond::fileio {

namespace {

std::error_code lastError() {
    // A full quota is a full disk for the user.
    return {errno == EDQUOT ? ENOSPC : errno, std::generic_category()};
}

std::filesystem::path folderOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// The file a chain of links at `target` ends at (the target itself when it is no link), as an
// editor writes through a link rather than replacing it.
std::filesystem::path linkDestination(const std::filesystem::path& target) {
    std::filesystem::path destination = target;
    std::error_code error;
    for (int hop = 0; hop < 40 && std::filesystem::is_symlink(destination, error); ++hop) {
        const auto next = std::filesystem::read_symlink(destination, error);
        if (error) {
            break;
        }
        destination = next.is_absolute() ? next : folderOf(destination) / next;
    }
    return destination;
}

bool sameFile(int fd, const std::filesystem::path& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

namespace system {

bool nameFits(const std::filesystem::path& target) {
    errno = 0;
    const long longest = ::pathconf(folderOf(target).c_str(), _PC_NAME_MAX);
    return longest <= 0 || target.filename().native().size() <= static_cast<std::size_t>(longest);
}

bool heldByAnother(const std::filesystem::path& target) {
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;  // what cannot be opened is reported by the write itself
    }
    bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    held = held || (::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK);
    ::close(fd);
    return held;
}

void removeIfAbandoned(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return;
    }
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    // Removed while we hold it: a writer that loses the race sees its name gone and starts anew.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fcntl(fd, F_OFD_GETLK, &probe) == 0 &&
        probe.l_type == F_UNLCK) {
        ::unlink(file.c_str());
    }
    ::close(fd);
}

}  // namespace system

struct AtomicFile::Impl {
    std::filesystem::path target;
    std::filesystem::path destination;
    std::filesystem::path temporary;
    int fd = -1;
    bool pending = false;  // the temporary exists
    std::string buffer;

    void closeFile() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    void remove() {
        if (pending) {
            ::unlink(temporary.c_str());
            pending = false;
        }
        closeFile();
    }
    [[noreturn]] void fail(std::error_code cause) {
        remove();
        throw FileWriteError(target, cause);
    }
    void flushBuffer() {
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t n = ::write(fd, buffer.data() + done, buffer.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                fail(n == 0 ? std::make_error_code(std::errc::io_error) : lastError());
            }
            done += static_cast<std::size_t>(n);
        }
        buffer.clear();
    }
    // A fresh temporary, locked, still under its name once locked: a clean-up by another run
    // may have removed it between the create and the lock.
    bool create() {
        temporary = temporaryPath(destination);
        fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno != EEXIST) {
                throw FileWriteError(target, lastError());
            }
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !sameFile(fd, temporary)) {
            closeFile();
            return false;
        }
        pending = true;
        return true;
    }
    // The replaced file's permissions, and its owner when we may give it (as the superuser).
    void keepAttributesOf(const std::filesystem::path& replaced) {
        struct stat info {};
        if (::stat(replaced.c_str(), &info) != 0) {
            return;
        }
        if (::geteuid() == 0 && ::fchown(fd, info.st_uid, info.st_gid) != 0) {
            fail(lastError());
        }
        if (::fchmod(fd, info.st_mode & 07777) != 0) {
            fail(lastError());
        }
    }
};

AtomicFile::AtomicFile(const std::filesystem::path& target) : impl_(std::make_unique<Impl>()) {
    Impl& file = *impl_;
    file.target = target;
    checkReplaceable(target);
    file.destination = linkDestination(target);
    removeAbandonedTemporaries(file.destination);
    for (int attempt = 0; attempt < 100 && !file.create(); ++attempt) {
    }
    if (!file.pending) {
        throw FileWriteError(target, std::make_error_code(std::errc::file_exists));
    }
    file.keepAttributesOf(file.destination);
    file.buffer.reserve(kWriteBufferSize);
}

AtomicFile::~AtomicFile() {
    discard();
}

const std::filesystem::path& AtomicFile::target() const {
    return impl_->target;
}

const std::filesystem::path& AtomicFile::destination() const {
    return impl_->destination;
}

const std::filesystem::path& AtomicFile::handOverTemporary() {
    // Our descriptor stays open: it holds the lock that marks the temporary as in use.
    impl_->flushBuffer();
    return impl_->temporary;
}

void AtomicFile::write(std::string_view bytes) {
    bufferedWrite(impl_->buffer, bytes, [this] { impl_->flushBuffer(); });
}

void AtomicFile::commit() {
    Impl& file = *impl_;
    file.flushBuffer();
    if (::fsync(file.fd) != 0) {
        file.fail(lastError());
    }
    // Renamed while still held, so no clean-up takes it for abandoned first.
    if (::rename(file.temporary.c_str(), file.destination.c_str()) != 0) {
        file.fail(lastError());
    }
    file.pending = false;
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) {
        file.fail(lastError());
    }
    const int folder =
        ::open(folderOf(file.destination).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);  // the file is in place already; a folder that cannot sync changes nothing
        ::close(folder);
    }
}

void AtomicFile::discard() noexcept {
    impl_->remove();
}

void AtomicFile::fail(std::error_code cause) {
    impl_->fail(cause);
}

}  // namespace zond::fileio
