#include "table_export.h"

#include <array>
#include <cstdint>

#include "measurement/measurement_schema.h"
#include "xls/vteWriters.h"

namespace zond::measurement {

namespace {

enum class Column { Integer, Text, Number };

struct ExportColumn {
    std::string_view field;
    Column kind;
};

// In the order of kExportHeadings.
constexpr std::array<ExportColumn, kExportHeadings.size()> kColumns = {{
    {field::kN, Column::Integer},
    {field::kDate, Column::Text},
    {field::kTime, Column::Text},
    {field::kMode, Column::Text},
    {field::kType, Column::Text},
    {field::kTavis1, Column::Number},
    {field::kTavis2, Column::Number},
    {field::kTavis3, Column::Number},
    {field::kTIn, Column::Text},
    {field::kTExt, Column::Text},
    {field::kComment, Column::Text},
}};

constexpr std::size_t kProgressStep = 1024;

// The table in file order: the sort index goes; a failure there changes nothing that matters.
void clearSort(dbf::DbfTable& table) {
    try {
        table.selectIndex(std::nullopt);
        table.dropSortIndex("tab1");
        table.refresh();
    } catch (const std::exception&) {
    }
}

}  // namespace

std::unique_ptr<xls::TvteXLSWorkbook> buildExportWorkbook(dbf::DbfTable& table,
                                                          const ExportProgress& progress) {
    std::array<int, kColumns.size()> fieldIndex{};
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        fieldIndex[c] = table.requireField(kColumns[c].field);
    }
    const std::size_t rows = table.liveCount();
    if (rows > kMaxExportRows) {
        throw ExportError("В таблице " + std::to_string(rows) +
                          " строк, а лист Excel вмещает не более 65535 строк данных. Экспорт не "
                          "выполнен.");
    }

    auto book = std::make_unique<xls::TvteXLSWorkbook>();
    auto& sheet = book->AddWorksheet();
    sheet.setName(kExportSheetName);
    clearSort(table);
    table.first();
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        const int column = static_cast<int>(c);
        sheet.Ranges(column, 0, column, 0).setValue(std::string(kExportHeadings[c]));
    }
    for (std::size_t k = 1; k <= rows; ++k) {
        if (progress && k % kProgressStep == 1 && !progress(k - 1, rows)) {
            return nullptr;
        }
        const dbf::DbfRecord record = table.current();
        const int row = static_cast<int>(k);
        for (std::size_t c = 0; c < kColumns.size(); ++c) {
            const int column = static_cast<int>(c);
            auto cell = sheet.Ranges(column, row, column, row);
            switch (kColumns[c].kind) {
                case Column::Integer:
                    cell.setValue(static_cast<std::int32_t>(record.asInteger(fieldIndex[c])));
                    break;
                case Column::Number:
                    cell.setValue(record.asDouble(fieldIndex[c]));
                    break;
                case Column::Text:
                    cell.setValue(record.text(fieldIndex[c]));
                    break;
            }
        }
        table.next();
    }
    if (progress && !progress(rows, rows)) {
        return nullptr;
    }
    return book;
}

bool exp2excel(dbf::DbfTable& table, const std::filesystem::path& file,
               const ExportProgress& progress) {
    if (!table.isOpen()) {
        return false;
    }
    const auto book = buildExportWorkbook(table, progress);
    if (!book) {
        return false;
    }
    xls::TvteExcelWriter writer;
    writer.Save(*book, file);
    return true;
}

std::string exportSuccessText(const std::filesystem::path& file) {
    return "Эксторт в Excel в файл " + file.filename().string() + " завершен успешно.";
}

}  // namespace zond::measurement
