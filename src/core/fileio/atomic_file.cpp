// The portable half of AtomicFile: what a failure means to the user.
#include "fileio/atomic_file.h"

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
        case WriteFailure::Other:
            break;
    }
    return "системная ошибка " + std::to_string(cause.value()) + " (" + cause.message() + ")";
}

}  // namespace

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
    return WriteFailure::Other;
}

FileWriteError::FileWriteError(const std::filesystem::path& target, std::error_code cause)
    : std::runtime_error("Файл " + quoted(target) +
                         " не записан: " + causeText(classify(cause), target, cause) + "."),
      failure_(classify(cause)),
      cause_(cause) {}

}  // namespace zond::fileio
