// Finding and removing files on disk, on every system.
#include <system_error>

#include "dbf/locked_file.h"

namespace zond::dbf {

bool fileExists(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

void removeFile(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace zond::dbf
