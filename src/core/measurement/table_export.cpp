#include "table_export.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "measurement/measurement_schema.h"
#include "text/byte_order.h"
#include "text/codepage.h"
#include "xls/biff8_writer.h"

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

// The last text of a column that needed the code page: modes and kinds repeat row after row.
struct DecodedText {
    std::string raw;
    std::string utf8;
};

// A character field's text without its trailing spaces. ASCII bytes are the same in UTF-8, so
// only texts with other bytes go through the code page.
void setTextCell(xls::CellRange& cell, const dbf::DbfRecord& record, int index,
                 const dbf::DbfFieldDescriptor& field, const text::CodePage& codePage,
                 DecodedText& last) {
    if (field.type != 'C') {
        cell.setText(record.text(index));
        return;
    }
    std::string_view raw = bytes::asText(record.bytes().subspan(
        static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width)));
    const auto end = raw.find_last_not_of(' ');
    raw = end == std::string_view::npos ? std::string_view() : raw.substr(0, end + 1);
    if (std::ranges::all_of(raw, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        cell.setText(raw);
    } else {
        if (raw != last.raw) {
            last.raw.assign(raw);
            last.utf8 = codePage.decode(raw);
        }
        cell.setText(last.utf8);
    }
}

}  // namespace

std::unique_ptr<xls::Workbook> buildExportWorkbook(dbf::DbfTable& table,
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

    const auto& fields = table.fields();
    std::array<DecodedText, kColumns.size()> lastDecoded;
    auto book = std::make_unique<xls::Workbook>();
    auto& sheet = book->addWorksheet();
    sheet.setName(kExportSheetName);
    clearSort(table);
    table.first();
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        const int column = static_cast<int>(c);
        sheet.range(column, 0, column, 0).setValue(std::string(kExportHeadings[c]));
    }
    for (std::size_t k = 1; k <= rows; ++k) {
        if (progress && k % kProgressStep == 1 && !progress(k - 1, rows)) {
            return nullptr;
        }
        const dbf::DbfRecord record = table.current();
        const int row = static_cast<int>(k);
        for (std::size_t c = 0; c < kColumns.size(); ++c) {
            const int column = static_cast<int>(c);
            auto cell = sheet.range(column, row, column, row);
            switch (kColumns[c].kind) {
                case Column::Integer:
                    cell.setValue(static_cast<std::int32_t>(record.asInteger(fieldIndex[c])));
                    break;
                case Column::Number:
                    cell.setValue(record.asDouble(fieldIndex[c]));
                    break;
                case Column::Text:
                    setTextCell(cell, record, fieldIndex[c], fields[fieldIndex[c]],
                                table.codePage(), lastDecoded[c]);
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
    xls::Biff8Writer writer;
    writer.save(*book, file);
    return true;
}

std::string exportSuccessText(const std::filesystem::path& file) {
    return "Эксторт в Excel в файл " + file.filename().string() + " завершен успешно.";
}

}  // namespace zond::measurement
