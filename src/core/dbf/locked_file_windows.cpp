// LockedFile on Windows: a handle that shares reading only, so every other open for writing is
// refused with a sharing violation while programs that merely read still can, as with the
// advisory locks on POSIX systems; positioned ReadFile/WriteFile, FlushFileBuffers.
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

}  // namespace

LockedFile::Status LockedFile::open(const std::filesystem::path& path, bool create,
                                    bool exclusiveCreate) {
    close();
    const DWORD disposition =
        !create ? OPEN_EXISTING : (exclusiveCreate ? CREATE_NEW : OPEN_ALWAYS);
    // No DELETE access: readers that do not share deletion (the C runtime's) could not open it.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return Status::NotFound;
            case ERROR_SHARING_VIOLATION:
            case ERROR_LOCK_VIOLATION:
                return Status::InUse;
            default:
                return Status::Failed;
        }
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    path_ = path;
    return Status::Ok;
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

bool LockedFile::renameOver(LockedFile& old) {
    // Windows moves neither an open file nor over one: both are closed for the move, which
    // leaves the table unlocked for that moment, and this one is opened again under its name.
    const std::filesystem::path source = path_;
    const std::filesystem::path target = old.path_;
    close();
    old.close();
    if (!MoveFileExW(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        old.open(target, false);
        return false;
    }
    return open(target, false) == Status::Ok;
}

}  // namespace zond::dbf
