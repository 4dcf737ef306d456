#include "export/table_exports.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "export/xls_export.h"

namespace zond::exporting {

std::optional<ExportFormat> formatOfPath(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::ranges::transform(extension, extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".xls") {
        return ExportFormat::Xls;
    }
    if (extension == ".xlsx") {
        return ExportFormat::Xlsx;
    }
    if (extension == ".csv") {
        return ExportFormat::Csv;
    }
    return std::nullopt;
}

std::optional<std::size_t> exportTable(dbf::DbfTable& table, const std::filesystem::path& target,
                                       const ExportOptions& options, const Progress& progress) {
    switch (options.format) {
        case ExportFormat::Csv:
            return exportTableToCsv(table, target, options.csv, progress);
        case ExportFormat::Xlsx:
            return exportTableToXlsx(table, target, options.xlsx, progress);
        case ExportFormat::Xls:
            break;
    }
    // The Excel 97 export counts its rows itself; the count here is the same live-row count.
    const std::size_t rows = table.liveCount();
    if (!exporting::exportTableToXls(table, target, progress)) {
        return std::nullopt;
    }
    return rows;
}

}  // namespace zond::exporting
