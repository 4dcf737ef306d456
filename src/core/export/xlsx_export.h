// Export of a measurement table to an Excel 2007+ workbook (.xlsx) through libxlsxwriter.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "dbf/dbf_table.h"
#include "export/export_common.h"

namespace zond::exporting {

// A sheet has 1,048,576 rows; one is the heading row. Longer tables continue on further sheets.
inline constexpr std::size_t kXlsxRowsPerSheet = 1'048'575;
inline constexpr std::string_view kXlsxSheetName = "ЗОНД-8Т.05 \"Тавис\"";

struct XlsxOptions {
    std::string title;  // the document's title; empty: the table file's name
};

// The name of sheet `index` (0-based): kXlsxSheetName, then kXlsxSheetName + " (2)", …
std::string xlsxSheetName(std::size_t index);

// Writes the live rows of the table in file order, each sheet under a bold, frozen heading row
// with an autofilter: N as a whole number, the date and the time as date and time cells, q1…q3
// and the temperatures as numbers shown with one decimal (over-range and unreadable temperatures
// stay text), empty values as blank cells, column widths fitting their contents. Worksheets are
// streamed (libxlsxwriter's constant-memory mode), so memory stays flat for any table. The target
// is replaced only when the workbook is complete.
// Returns the rows written, or nothing when cancelled (the target is left as it was).
// Throws ExportError, fileio::FileWriteError, dbf::DbfError.
std::optional<std::size_t> exportTableToXlsx(dbf::DbfTable& table,
                                             const std::filesystem::path& target,
                                             const XlsxOptions& options = {},
                                             const Progress& progress = {});

}  // namespace zond::exporting
