// LockedFile on Windows: a handle that shares reading only, so every other open for writing is
// refused with a sharing violation; positioned ReadFile/WriteFile, FlushFileBuffers.
#include <windows.h>

#include <algorithm>

#include "dbf/locked_file.h"

namespace zond::dbf {

namespace {

constexpr DWORD kLargestTransfer = 1U << 30;

HANDLE handleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

// Repeats a partial ReadFile or WriteFile until all `size` bytes are done; false on an error or
// at the end of the file.
template <typename Transfer>
bool transferAll(std::size_t size, Transfer transfer) {
    std::size_t done = 0;
    while (done < size) {
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(size - done, kLargestTransfer));
        DWORD moved = 0;
        if (!transfer(done, piece, moved) || moved == 0) {
            return false;
        }
        done += moved;
    }
    return true;
}

// Opens `path` sharing reads only. No DELETE access: readers that do not share deletion (the C
// runtime's) could not open it.
LockedFile::Status openHandle(const std::filesystem::path& path, DWORD access, DWORD disposition,
                              std::intptr_t& handle) {
    const HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return LockedFile::Status::NotFound;
            case ERROR_SHARING_VIOLATION:
            case ERROR_LOCK_VIOLATION:
                return LockedFile::Status::InUse;
            default:
                return LockedFile::Status::Failed;
        }
    }
    handle = reinterpret_cast<std::intptr_t>(file);
    return LockedFile::Status::Ok;
}

}  // namespace

LockedFile::Status LockedFile::open(const std::filesystem::path& path, bool create,
                                    bool exclusiveCreate) {
    close();
    const DWORD disposition =
        !create ? OPEN_EXISTING : (exclusiveCreate ? CREATE_NEW : OPEN_ALWAYS);
    std::intptr_t handle = kClosed;
    const Status status = openHandle(path, GENERIC_READ | GENERIC_WRITE, disposition, handle);
    return keep(status, handle, path);
}

// A reader shares reading only, so it fails while a writer has the file and keeps writers out.
LockedFile::Status LockedFile::openShared(const std::filesystem::path& path) {
    close();
    std::intptr_t handle = kClosed;
    const Status status = openHandle(path, GENERIC_READ, OPEN_EXISTING, handle);
    return keep(status, handle, path);
}

void LockedFile::close() {
    if (handle_ != kClosed) {
        CloseHandle(handleOf(handle_));
        handle_ = kClosed;
    }
}

std::uint64_t LockedFile::size() const {
    LARGE_INTEGER size{};
    return GetFileSizeEx(handleOf(handle_), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

bool LockedFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    return transferAll(out.size(), [&](std::size_t done, DWORD piece, DWORD& moved) {
        OVERLAPPED position = at(offset + done);
        return ReadFile(handleOf(handle_), out.data() + done, piece, &moved, &position) != 0;
    });
}

bool LockedFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    return transferAll(bytes.size(), [&](std::size_t done, DWORD piece, DWORD& moved) {
        OVERLAPPED position = at(offset + done);
        return WriteFile(handleOf(handle_), bytes.data() + done, piece, &moved, &position) != 0;
    });
}

bool LockedFile::truncate(std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(handleOf(handle_), FileEndOfFileInfo, &end, sizeof(end)) != 0;
}

bool LockedFile::sync() {
    return FlushFileBuffers(handleOf(handle_)) != 0;
}

bool LockedFile::syncData() {
    return sync();
}

// Windows moves neither an open file nor over one: the files are closed for the move.
bool LockedFile::renameTo(const std::filesystem::path& target) {
    const std::filesystem::path source = path_;
    close();
    const bool moved = MoveFileExW(source.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    return open(moved ? target : source, false) == Status::Ok && moved;
}

bool LockedFile::renameOver(LockedFile& old) {
    const std::filesystem::path target = old.path_;
    old.close();
    if (!renameTo(target)) {
        old.open(target, false);
        return false;
    }
    return true;
}

long currentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

}  // namespace zond::dbf
