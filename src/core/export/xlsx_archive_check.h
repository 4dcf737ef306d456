// Reads a finished .xlsx archive back before it replaces anything: the library that writes it
// does not report every failed write of its own temporary files, and a workbook missing a part
// or ending early opens in no spreadsheet.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

namespace zond::exporting {

// What was written to one worksheet, heading included.
struct SheetContent {
    std::size_t rows = 0;
    std::size_t numbers = 0;
    std::size_t texts = 0;
};

// True when every entry of the zip archive inflates to its recorded size and CRC-32, the parts
// a workbook needs are present, and worksheet k (1-based) ends complete and holds the rows, number
// cells and text cells of sheets[k - 1]: a write the library lost shows as a missing element.
bool xlsxArchiveComplete(const std::filesystem::path& file,
                         const std::vector<SheetContent>& sheets);

}  // namespace zond::exporting
