// The files of a table layer built to keep its files in memory (ZOND_TABLES_IN_MEMORY), as the
// fuzz targets are: they put a table's bytes under a name, open it as a table and read back what
// a run left there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace zond::dbf {

// Makes `bytes` the content of the file `path`; a file open under that name keeps its bytes.
void putMemoryFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
// The content of the file `path`; empty when there is none.
std::vector<std::uint8_t> memoryFileBytes(const std::filesystem::path& path);

}  // namespace zond::dbf
