// AtomicFile on Windows: CreateFileW(CREATE_NEW) for a fresh temporary, WriteFile in large
// pieces, FlushFileBuffers, and MoveFileExW with MOVEFILE_REPLACE_EXISTING, since a plain rename
// over an existing file fails there; MOVEFILE_WRITE_THROUGH returns once the move is on disk.
#include <windows.h>

#include <algorithm>
#include <string>

#include "fileio/atomic_file.h"
#include "fileio/atomic_file_system.h"
#include "fileio/temporary_name.h"
#include "fileio/write_buffer.h"

namespace zond::fileio {

namespace {

constexpr DWORD kLargestWrite = 1U << 30;

std::error_code lastError() {
    return {static_cast<int>(GetLastError()), std::system_category()};
}

}  // namespace

namespace system {

bool nameFits(const std::filesystem::path& target) {
    constexpr std::size_t kLongestName = 255;  // UTF-16 units, NTFS and FAT alike
    return target.filename().native().size() <= kLongestName;
}

bool heldByAnother(const std::filesystem::path& target) {
    // Sharing nothing fails while any other handle is open.
    const HANDLE probe = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_SHARING_VIOLATION;
    }
    CloseHandle(probe);
    return false;
}

void removeIfAbandoned(const std::filesystem::path& file) {
    DeleteFileW(file.c_str());  // fails while the writer holds the file open
}

}  // namespace system

struct AtomicFile::Impl {
    std::filesystem::path target;
    std::filesystem::path temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool pending = false;  // the temporary exists
    std::string buffer;

    void closeFile() {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            handle = INVALID_HANDLE_VALUE;
        }
    }
    void remove() {
        closeFile();
        if (pending) {
            DeleteFileW(temporary.c_str());
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
            const auto piece =
                static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, kLargestWrite));
            DWORD written = 0;
            if (!WriteFile(handle, buffer.data() + done, piece, &written, nullptr)) {
                fail(lastError());
            }
            if (written == 0) {
                fail(std::make_error_code(std::errc::io_error));
            }
            done += written;
        }
        buffer.clear();
    }
    void closeChecked() {
        const HANDLE open = handle;
        handle = INVALID_HANDLE_VALUE;
        if (!CloseHandle(open)) {
            fail(lastError());
        }
    }
};

AtomicFile::AtomicFile(const std::filesystem::path& target) : impl_(std::make_unique<Impl>()) {
    impl_->target = target;
    checkReplaceable(target);
    removeAbandonedTemporaries(target);
    for (int attempt = 0; attempt < 100 && impl_->handle == INVALID_HANDLE_VALUE; ++attempt) {
        impl_->temporary = temporaryPath(target);
        impl_->handle = CreateFileW(impl_->temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (impl_->handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            throw FileWriteError(target, lastError());
        }
    }
    if (impl_->handle == INVALID_HANDLE_VALUE) {
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

// Links are left to the system here: a move replaces the link itself.
const std::filesystem::path& AtomicFile::destination() const {
    return impl_->target;
}

const std::filesystem::path& AtomicFile::handOverTemporary() {
    if (impl_->handle != INVALID_HANDLE_VALUE) {
        impl_->flushBuffer();
        impl_->closeChecked();
    }
    return impl_->temporary;
}

void AtomicFile::write(std::string_view bytes) {
    bufferedWrite(impl_->buffer, bytes, [this] { impl_->flushBuffer(); });
}

void AtomicFile::commit() {
    Impl& file = *impl_;
    if (file.handle == INVALID_HANDLE_VALUE) {
        // Written by name: reopen to flush what the writer left.
        file.handle = CreateFileW(file.temporary.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file.handle == INVALID_HANDLE_VALUE) {
            file.fail(lastError());
        }
    }
    file.flushBuffer();
    if (!FlushFileBuffers(file.handle)) {
        file.fail(lastError());
    }
    file.closeChecked();
    if (!MoveFileExW(file.temporary.c_str(), file.target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        file.fail(lastError());
    }
    file.pending = false;
}

void AtomicFile::discard() noexcept {
    impl_->remove();
}

void AtomicFile::fail(std::error_code cause) {
    impl_->fail(cause);
}

}  // namespace zond::fileio
