// Export of a measurement table to CSV (RFC 4180) in the dialect spreadsheet programs of the
// user's locale expect.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

#include "dbf/dbf_table.h"
#include "export/export_common.h"

namespace zond::exporting {

enum class CsvEncoding { Utf8WithBom, Cp1251 };

struct CsvOptions {
    char delimiter = ';';         // ';', ',' or '\t'
    char decimalSeparator = ',';  // ',' or '.'; never the delimiter
    CsvEncoding encoding = CsvEncoding::Utf8WithBom;
};

// Throws ExportError with the user's text for options no reader could take apart.
void validate(const CsvOptions& options);

// Writes the live rows of the table in file order under a heading line, lines ending in CR LF,
// numbers (the temperatures too) with the chosen decimal separator, an empty field for a value
// the table does not hold. The target is replaced only when the file is complete.
// Returns the rows written, or nothing when cancelled (the target is left as it was).
// Throws ExportError, fileio::FileWriteError, dbf::DbfError.
std::optional<std::size_t> exportTableToCsv(dbf::DbfTable& table,
                                            const std::filesystem::path& target,
                                            const CsvOptions& options = {},
                                            const Progress& progress = {});

}  // namespace zond::exporting
