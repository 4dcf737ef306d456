// The workbook file on Windows: our own compound-file writer (libgsf is not built for Windows)
// into an AtomicFile, with the structured-storage codes the system's errors stand for.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "fileio/atomic_file.h"
#include "xls/cell_value.h"
#include "xls/compound_file.h"
#include "xls/ole_container.h"

namespace zond::xls {

namespace {

[[noreturn]] void fail(const char* call, std::int32_t code) {
    throw XlsError(std::string(call) + " error " + std::to_string(code));
}

std::int32_t storageCode(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return stg::kPathNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return stg::kAccessDenied;
        case ERROR_TOO_MANY_OPEN_FILES:
            return stg::kTooManyOpenFiles;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return stg::kShareViolation;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return stg::kMediumFull;
        case ERROR_INVALID_NAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return stg::kInvalidName;
        default:
            return stg::kCantSave;
    }
}

std::int32_t storageCode(std::error_code cause) {
    return cause.category() == std::system_category()
               ? storageCode(static_cast<DWORD>(cause.value()))
               : stg::kCantSave;
}

// A target held open without sharing (a table open in the program, a workbook open in Excel)
// refuses before anything is written.
void checkTargetFree(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            fail("StgCreateDocFile", storageCode(error));
        }
        return;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        fail("StgCreateDocFile", stg::kAccessDenied);
    }
    const HANDLE probe = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        fail("StgCreateDocFile", storageCode(GetLastError()));
    }
    CloseHandle(probe);
}

}  // namespace

void writeWorkbookFile(const std::filesystem::path& path, const BiffStream& stream) {
    checkTargetFree(path);
    std::optional<fileio::AtomicFile> file;
    try {
        file.emplace(path);
    } catch (const fileio::FileWriteError& error) {
        if (!error.cause()) {
            throw;  // a refusal of its own (a table, a device): its text says why
        }
        fail("StgCreateDocFile", storageCode(error.cause()));
    }
    try {
        writeOleContainer(stream, [&](std::span<const std::uint8_t> bytes) {
            file->write({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        });
        file->commit();
    } catch (const fileio::FileWriteError& error) {
        const std::int32_t code = storageCode(error.cause());
        if (code == stg::kShareViolation || code == stg::kAccessDenied) {
            fail("StgCreateDocFile", code);  // the target was taken meanwhile
        }
        throw XlsError(error.cause().message());
    }
}

}  // namespace zond::xls
