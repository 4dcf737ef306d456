// AtomicFile on POSIX systems: open(O_EXCL) for a fresh temporary, write(2) in large pieces,
// fsync, rename(2) and an fsync of the folder so the new name survives a power cut.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "fileio/atomic_file.h"
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

}  // namespace

struct AtomicFile::Impl {
    std::filesystem::path target;
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
        closeFile();
        if (pending) {
            ::unlink(temporary.c_str());
            pending = false;
        }
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
};

AtomicFile::AtomicFile(const std::filesystem::path& target) : impl_(std::make_unique<Impl>()) {
    impl_->target = target;
    std::random_device entropy;
    for (int attempt = 0; attempt < 100 && impl_->fd < 0; ++attempt) {
        impl_->temporary = target;
        impl_->temporary.replace_filename("." + target.filename().string() + "." +
                                          std::to_string(entropy()) + ".tmp");
        impl_->fd = ::open(impl_->temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (impl_->fd < 0 && errno != EEXIST) {
            throw FileWriteError(target, lastError());
        }
    }
    if (impl_->fd < 0) {
        throw FileWriteError(target, std::make_error_code(std::errc::file_exists));
    }
    impl_->pending = true;
    impl_->buffer.reserve(kWriteBufferSize);
}

AtomicFile::~AtomicFile() {
    discard();
}

const std::filesystem::path& AtomicFile::target() const {
    return impl_->target;
}

const std::filesystem::path& AtomicFile::handOverTemporary() {
    if (impl_->fd >= 0) {
        impl_->flushBuffer();
        const int fd = impl_->fd;
        impl_->fd = -1;
        if (::close(fd) != 0) {
            impl_->fail(lastError());
        }
    }
    return impl_->temporary;
}

void AtomicFile::write(std::string_view bytes) {
    bufferedWrite(impl_->buffer, bytes, [this] { impl_->flushBuffer(); });
}

void AtomicFile::commit() {
    Impl& file = *impl_;
    if (file.fd < 0) {
        // Written by name: reopen to sync what the writer left.
        file.fd = ::open(file.temporary.c_str(), O_WRONLY | O_CLOEXEC);
        if (file.fd < 0) {
            file.fail(lastError());
        }
    }
    file.flushBuffer();
    if (::fsync(file.fd) != 0) {
        file.fail(lastError());
    }
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) {
        file.fail(lastError());
    }
    if (::rename(file.temporary.c_str(), file.target.c_str()) != 0) {
        file.fail(lastError());
    }
    file.pending = false;
    const int folder = ::open(folderOf(file.target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

std::string narrowFileName(const std::filesystem::path& path) {
    return path.string();
}

}  // namespace zond::fileio
