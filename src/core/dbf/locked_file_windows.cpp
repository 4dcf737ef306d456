// LockedFile on Windows: a handle that shares reading only, so every other open for writing is
// refused with a sharing violation while programs that merely read still can, as with the
// advisory locks on POSIX systems; positioned ReadFile/WriteFile, FlushFileBuffers.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

// Renames an open file, through its own handle, to another name in its folder.
bool renameHandle(HANDLE file, const std::filesystem::path& name) {
    const std::wstring& wide = name.native();
    std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + wide.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, wide.data(), info->FileNameLength);
    return SetFileInformationByHandle(file, FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

}  // namespace

LockedFile::Status LockedFile::open(const std::filesystem::path& path, bool create,
                                    bool exclusiveCreate) {
    close();
    const DWORD disposition =
        !create ? OPEN_EXISTING : (exclusiveCreate ? CREATE_NEW : OPEN_ALWAYS);
    // DELETE access lets pack rename the file through this handle while it stays locked.
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                    disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    const std::filesystem::path target = old.path_;
    old.close();
    if (!renameHandle(handleOf(handle_), target.filename())) {
        old.open(target, false);
        return false;
    }
    path_ = target;
    return true;
}

}  // namespace zond::dbf
