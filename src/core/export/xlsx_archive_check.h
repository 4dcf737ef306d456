// Reads a finished .xlsx archive back before it replaces anything: the library that writes it
// does not report every failed write of its own temporary files, and a workbook missing a part
// or ending early opens in no spreadsheet.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

namespace zond::exporting {

// True when every entry of the zip archive inflates to its recorded size and CRC-32, the parts
// a workbook needs are present, and worksheet k (1-based) holds sheetRows[k - 1] rows after its
// heading and ends complete.
bool xlsxArchiveComplete(const std::filesystem::path& file,
                         const std::vector<std::size_t>& sheetRows);

}  // namespace zond::exporting
