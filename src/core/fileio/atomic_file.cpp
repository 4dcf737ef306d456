// The portable half of AtomicFile: what a failure means to the user.
#include "fileio/atomic_file.h"

#include <array>
#include <cstdint>
#include <fstream>

#include "fileio/atomic_file_system.h"
#include "fileio/temporary_name.h"
#include "text/path_text.h"

namespace zond::fileio {

namespace {

std::string quoted(const std::filesystem::path& path) {
    return "\"" + text::pathText(path) + "\"";
}

std::string causeText(WriteFailure failure, const std::filesystem::path& target,
                      std::error_code cause) {
    switch (failure) {
        case WriteFailure::DiskFull:
            return "на диске не хватает места";
        case WriteFailure::InputOutput:
            return "ошибка ввода-вывода на диске";
        case WriteFailure::Permission:
            return "нет прав на запись в папку или файл";
        case WriteFailure::FolderMissing:
            return "папка " + quoted(target.parent_path()) + " не существует";
        case WriteFailure::NameTooLong:
            return "имя файла длиннее, чем допускает файловая система; выберите имя короче";
        case WriteFailure::NotRegularFile:
            return "под этим именем не обычный файл, а папка, устройство или канал";
        case WriteFailure::MeasurementTable:
            return "это таблица измерений, она не будет заменена; выберите другое имя";
        case WriteFailure::InUse:
            return "файл открыт другой программой";
        case WriteFailure::Other:
            break;
    }
    return "системная ошибка " + std::to_string(cause.value()) + " (" + cause.message() + ")";
}

// A dBase table: a dBase III/IV version byte, a header of 32-byte field descriptors closed by
// 0x0D, and records of some length. Enough to tell a table from any document an export replaces.
bool looksLikeTable(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<unsigned char, 12> head{};
    if (!in.read(reinterpret_cast<char*>(head.data()), head.size())) {
        return false;
    }
    const unsigned headerLength = head[8] | (head[9] << 8);
    const unsigned recordLength = head[10] | (head[11] << 8);
    if ((head[0] & 0x07) != 0x03 || headerLength < 65 || headerLength % 32 != 1 ||
        recordLength == 0) {
        return false;
    }
    char terminator = 0;
    in.seekg(headerLength - 1);
    return static_cast<bool>(in.get(terminator)) && terminator == 0x0D;
}

}  // namespace

void checkReplaceable(const std::filesystem::path& target) {
    std::error_code error;
    const auto status = std::filesystem::status(target, error);
    if (std::filesystem::exists(status)) {
        if (!std::filesystem::is_regular_file(status)) {
            throw FileWriteError(target, WriteFailure::NotRegularFile);
        }
        if (looksLikeTable(target)) {
            throw FileWriteError(target, WriteFailure::MeasurementTable);
        }
        if (system::heldByAnother(target)) {
            throw FileWriteError(target, WriteFailure::InUse);
        }
    }
    if (!system::nameFits(target)) {
        throw FileWriteError(target, WriteFailure::NameTooLong);
    }
}

void removeAbandonedTemporaries(const std::filesystem::path& target) {
    const auto folder = target.has_parent_path() ? target.parent_path() : ".";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (isTemporaryOf(target, entry.path())) {
            system::removeIfAbandoned(entry.path());
        }
    }
}

std::optional<std::uintmax_t> freeSpaceFor(const std::filesystem::path& target) {
    std::error_code error;
    const auto space =
        std::filesystem::space(target.has_parent_path() ? target.parent_path() : ".", error);
    if (error) {
        return std::nullopt;
    }
    return space.available;
}

WriteFailure classify(std::error_code cause) {
    if (cause == std::errc::no_space_on_device || cause == std::errc::file_too_large) {
        return WriteFailure::DiskFull;
    }
    if (cause == std::errc::io_error) {
        return WriteFailure::InputOutput;
    }
    if (cause == std::errc::permission_denied || cause == std::errc::operation_not_permitted ||
        cause == std::errc::read_only_file_system) {
        return WriteFailure::Permission;
    }
    if (cause == std::errc::no_such_file_or_directory || cause == std::errc::not_a_directory) {
        return WriteFailure::FolderMissing;
    }
    if (cause == std::errc::filename_too_long) {
        return WriteFailure::NameTooLong;
    }
    if (cause == std::errc::is_a_directory) {
        return WriteFailure::NotRegularFile;
    }
    return WriteFailure::Other;
}

FileWriteError::FileWriteError(const std::filesystem::path& target, std::error_code cause)
    : std::runtime_error("Файл " + quoted(target) +
                         " не записан: " + causeText(classify(cause), target, cause) + "."),
      failure_(classify(cause)),
      cause_(cause) {}

FileWriteError::FileWriteError(const std::filesystem::path& target, WriteFailure failure)
    : std::runtime_error("Файл " + quoted(target) +
                         " не записан: " + causeText(failure, target, {}) + "."),
      failure_(failure) {}

}  // namespace zond::fileio
