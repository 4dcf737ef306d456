#include "export/xls_export.h"

#include <cstdint>

#include "measurement/export_rows.h"
#include "text/path_text.h"
#include "xls/biff8_writer.h"

namespace zond::exporting {

using measurement::ExportColumnKind;
using measurement::ExportRowReader;
using measurement::kExportColumns;

namespace {

constexpr std::size_t kProgressStep = 1024;

void setCell(xls::CellRange& cell, ExportRowReader& rows, std::size_t column) {
    switch (kExportColumns[column].kind) {
        case ExportColumnKind::Integer:
            cell.setValue(static_cast<std::int32_t>(rows.integer(column)));
            break;
        case ExportColumnKind::Number:
            cell.setValue(rows.number(column).value_or(0.0));
            break;
        case ExportColumnKind::Temperature:
        case ExportColumnKind::Text:
            cell.setText(rows.text(column));
            break;
    }
}

}  // namespace

std::unique_ptr<xls::Workbook> buildExportWorkbook(dbf::DbfTable& table, const Progress& progress) {
    static_assert(kExportColumns.size() == kExportHeadings.size());
    ExportRowReader rows(table);
    const std::size_t total = rows.rowCount();
    if (total > kMaxExportRows) {
        throw ExportError("В таблице " + std::to_string(total) +
                          " строк, а лист Excel вмещает не более 65535 строк данных. Экспорт не "
                          "выполнен.");
    }

    auto book = std::make_unique<xls::Workbook>();
    auto& sheet = book->addWorksheet();
    sheet.setName(kExportSheetName);
    for (std::size_t c = 0; c < kExportHeadings.size(); ++c) {
        const int column = static_cast<int>(c);
        sheet.range(column, 0, column, 0).setValue(std::string(kExportHeadings[c]));
    }
    while (rows.next()) {
        const std::size_t k = rows.rowsRead();
        if (progress && k % kProgressStep == 1 && !progress(k - 1, total)) {
            return nullptr;
        }
        const int row = static_cast<int>(k);
        for (std::size_t c = 0; c < kExportColumns.size(); ++c) {
            const int column = static_cast<int>(c);
            auto cell = sheet.range(column, row, column, row);
            setCell(cell, rows, c);
        }
    }
    if (progress && !progress(total, total)) {
        return nullptr;
    }
    return book;
}

bool exportTableToXls(dbf::DbfTable& table, const std::filesystem::path& file,
                      const Progress& progress) {
    if (!table.isOpen()) {
        return false;
    }
    const auto book = buildExportWorkbook(table, progress);
    if (!book) {
        return false;
    }
    xls::Biff8Writer writer;
    writer.save(*book, file);
    return true;
}

std::string exportSuccessText(const std::filesystem::path& file) {
    return "Эксторт в Excel в файл " + text::pathText(file.filename()) + " завершен успешно.";
}

}  // namespace zond::exporting
