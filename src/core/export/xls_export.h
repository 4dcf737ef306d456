// Export of the open measurement table to an Excel 97 workbook: eleven columns under a heading
// row, one sheet row per table row in file order.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "dbf/dbf_table.h"
#include "export/export_common.h"
#include "xls/workbook.h"

namespace zond::exporting {

inline constexpr std::string_view kExportSheetName = "ЗОНД-8Т.05 \"Тавис\"";
inline constexpr std::string_view kExportCaption = "Экспорт в Excel";
// Row 0 of the sheet. In "tв, C" and "tн, C" the t and the C are Latin letters.
inline constexpr std::array<std::string_view, 11> kExportHeadings = {"N",
                                                                     "Дата",
                                                                     "Время",
                                                                     "Режим",
                                                                     "Типы датчиков",
                                                                     "q1, Вт/кв.м.",
                                                                     "q2, Вт/кв.м.",
                                                                     "q3, Вт/кв.м.",
                                                                     "tв, C",
                                                                     "tн, C",
                                                                     "Примечание"};
// A sheet holds 65,536 rows; one is the heading row.
inline constexpr std::size_t kMaxExportRows = 65535;

// Builds the export workbook from the open table. The sort index "tab1" is dropped first, so
// rows come in file order; afterwards the table stands on its last row. Returns nullptr when
// cancelled; throws ExportError for more than 65,535 rows.
std::unique_ptr<xls::Workbook> buildExportWorkbook(dbf::DbfTable& table,
                                                   const Progress& progress = {});

// Builds the workbook and saves it to `file`. Returns false, with nothing written, when the table
// is not open or the export is cancelled.
// Throws ExportError (a table too large for one sheet), or xls::XlsError when the file cannot be
// written.
bool exportTableToXls(dbf::DbfTable& table, const std::filesystem::path& file,
                      const Progress& progress = {});

// "Эксторт в Excel в файл <file name without folder> завершен успешно."
std::string exportSuccessText(const std::filesystem::path& file);

}  // namespace zond::exporting
