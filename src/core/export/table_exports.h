// One entry for every export of a measurement table: the format follows the file's extension.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

#include "dbf/dbf_table.h"
#include "export/csv_export.h"
#include "export/export_common.h"
#include "export/xlsx_export.h"

namespace zond::exporting {

enum class ExportFormat { Xls, Xlsx, Csv };

// By the extension, in any letter case; nothing for another extension.
std::optional<ExportFormat> formatOfPath(const std::filesystem::path& file);

struct ExportOptions {
    ExportFormat format = ExportFormat::Xlsx;
    CsvOptions csv;    // for ExportFormat::Csv
    XlsxOptions xlsx;  // for ExportFormat::Xlsx
};

// Exports the table in the chosen format; .xls is the Excel 97 export, unchanged.
// Returns the rows written, or nothing when cancelled. Throws what the chosen export throws
// (for .xls also exporting::ExportError and xls::XlsError).
std::optional<std::size_t> exportTable(dbf::DbfTable& table, const std::filesystem::path& target,
                                       const ExportOptions& options, const Progress& progress = {});

}  // namespace zond::exporting
