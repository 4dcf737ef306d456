// The export of a measurement table: which cells the workbook gets.
#include "export/xls_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../../support/export_table.h"
#include "biff_records.h"
#include "xls/biff8_writer.h"

namespace zond::exporting {
namespace {

namespace fs = std::filesystem;
using measurement::openMeasurementTable;
using zond::testing::MeasurementRow;
namespace field = measurement::field;

class TableExport : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("xls-export-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        table_.close();
        fs::remove_all(dir_);
    }

    void open(std::span<const MeasurementRow> rows) {
        testing::writeMeasurementTable(dir_ / "t.db", rows);
        openMeasurementTable(table_, dir_ / "t.db");
    }

    static xls::RangeView cell(const xls::Worksheet& sheet, int row, int column) {
        for (std::size_t i = sheet.firstRangeFrom(row); i < sheet.rangeCount(); ++i) {
            if (sheet.rectAt(i).top == row && sheet.rectAt(i).left == column) {
                return sheet.view(i);
            }
        }
        ADD_FAILURE() << "no cell at " << row << "," << column;
        return {};
    }

    fs::path dir_;
    dbf::DbfTable table_;
};

TEST_F(TableExport, EmptyTableGivesTheHeadingRowOnly) {
    open({});
    const auto book = buildExportWorkbook(table_);
    ASSERT_EQ(book->sheetCount(), 1);
    const auto& sheet = book->sheet(0);
    EXPECT_EQ(sheet.name(), "ЗОНД-8Т.05 \"Тавис\"");
    EXPECT_EQ(book->userName(), "PReport");
    const char* headings[] = {"N",
                              "Дата",
                              "Время",
                              "Режим",
                              "Типы датчиков",
                              "q1, Вт/кв.м.",
                              "q2, Вт/кв.м.",
                              "q3, Вт/кв.м.",
                              "t\xD0\xB2, C",
                              "t\xD0\xBD, C",
                              "Примечание"};
    ASSERT_EQ(sheet.rangeCount(), 11u);
    for (int c = 0; c < 11; ++c) {
        const auto heading = cell(sheet, 0, c);
        EXPECT_EQ(heading.kind, xls::CellKind::Text);
        EXPECT_EQ(heading.text, headings[c]);
        EXPECT_TRUE(heading.rect.isSingleCell());
        EXPECT_EQ(heading.formatId, 0u);
    }
}

TEST_F(TableExport, RowsInFileOrderWithKindsAndBlanks) {
    auto rows = testing::sampleMeasurementRows(3);
    rows[0].tIn = ">320.0";
    rows[0].comment = "";
    rows[1].tExt = "";
    rows[1].comment = "проверка";
    open(rows);
    table_.addSortIndex("tab1", field::kN, true);  // descending: reverses the rows
    table_.selectIndex("tab1");

    const auto book = buildExportWorkbook(table_);
    const auto& sheet = book->sheet(0);
    ASSERT_EQ(sheet.rangeCount(), 4u * 11u);
    EXPECT_EQ(table_.selectedIndex(), std::nullopt);
    for (int k = 1; k <= 3; ++k) {
        const auto& row = rows[static_cast<std::size_t>(k - 1)];
        EXPECT_EQ(cell(sheet, k, 0).kind, xls::CellKind::Number);
        EXPECT_EQ(cell(sheet, k, 0).number, row.n);
        EXPECT_EQ(cell(sheet, k, 1).text, row.date);
        EXPECT_EQ(cell(sheet, k, 2).text, row.time);
        EXPECT_EQ(cell(sheet, k, 3).text, row.mode);
        EXPECT_EQ(cell(sheet, k, 4).text, row.type);
        EXPECT_DOUBLE_EQ(cell(sheet, k, 5).number, row.q1);
        EXPECT_DOUBLE_EQ(cell(sheet, k, 6).number, row.q2);
        EXPECT_DOUBLE_EQ(cell(sheet, k, 7).number, row.q3);
        EXPECT_EQ(cell(sheet, k, 8).kind, xls::CellKind::Text);
        EXPECT_EQ(cell(sheet, k, 8).text, row.tIn);
        EXPECT_EQ(cell(sheet, k, 9).text, row.tExt);
        EXPECT_EQ(cell(sheet, k, 10).text, row.comment);
    }
    // Afterwards the table stands on its last row.
    EXPECT_EQ(table_.currentRecord(), 3u);
}

TEST_F(TableExport, DeletedRowsAreLeftOutAndEmptyTextsWriteBlanks) {
    auto rows = testing::sampleMeasurementRows(3);
    rows[2].comment = "";
    open(rows);
    table_.markDeleted(2);
    ASSERT_TRUE(exportTableToXls(table_, dir_ / "out.xls"));
    EXPECT_TRUE(fs::exists(dir_ / "out.xls"));

    const auto book = buildExportWorkbook(table_);
    const auto& sheet = book->sheet(0);
    EXPECT_EQ(sheet.usedBounds().lastRow, 2);
    EXPECT_EQ(cell(sheet, 2, 1).text, rows[2].date);
    EXPECT_EQ(cell(sheet, 2, 10).text, "");  // written as BLANK: no shared string
}

TEST_F(TableExport, NothingHappensWithoutAnOpenTable) {
    EXPECT_FALSE(exportTableToXls(table_, dir_ / "out.xls"));
    EXPECT_FALSE(fs::exists(dir_ / "out.xls"));
}

TEST_F(TableExport, CancelWritesNothing) {
    open(testing::sampleMeasurementRows(2000));
    std::size_t calls = 0;
    const bool done =
        exportTableToXls(table_, dir_ / "out.xls", [&](std::size_t done, std::size_t total) {
            EXPECT_EQ(total, 2000u);
            EXPECT_LE(done, total);
            return ++calls < 2;
        });
    EXPECT_FALSE(done);
    EXPECT_EQ(calls, 2u);
    EXPECT_FALSE(fs::exists(dir_ / "out.xls"));
}

TEST_F(TableExport, MoreRowsThanASheetHoldsIsRefused) {
    open(testing::sampleMeasurementRows(65536));
    try {
        exportTableToXls(table_, dir_ / "out.xls");
        FAIL() << "exported";
    } catch (const ExportError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "В таблице 65536 строк, а лист Excel вмещает не более 65535 строк данных. "
                  "Экспорт не выполнен.");
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.xls"));
    // One row less fits exactly: the heading row and 65,535 rows.
    table_.markDeleted(1);
    ASSERT_TRUE(exportTableToXls(table_, dir_ / "out.xls"));
}

// The stream of an export of 40 rows: two row blocks, every non-empty text its own shared string
// in row-major order, every empty text a BLANK with XF 21.
TEST_F(TableExport, StreamOfAnExport) {
    const auto rows = testing::sampleMeasurementRows(40);
    open(rows);
    const auto book = buildExportWorkbook(table_);
    const auto records = xls::testing::splitRecords(xls::Biff8Writer().assemble(*book).bytes());

    std::size_t texts = kExportHeadings.size();
    std::size_t blanks = 0;
    for (const auto& row : rows) {
        for (const auto* text :
             {&row.date, &row.time, &row.mode, &row.type, &row.tIn, &row.tExt, &row.comment}) {
            (text->empty() ? blanks : texts) += 1;
        }
    }
    std::vector<std::uint32_t> labels;
    std::size_t blankCount = 0;
    std::size_t dbCells = 0;
    std::uint32_t sstCount = 0;
    for (const auto& record : records) {
        switch (record.number) {
            case 0x00FD:
                labels.push_back(xls::testing::u32At(record.data, 6));
                EXPECT_EQ(xls::testing::u16At(record.data, 4), 21u);
                break;
            case 0x0201:
                ++blankCount;
                EXPECT_EQ(xls::testing::u16At(record.data, 4), 21u);
                EXPECT_TRUE(xls::testing::u16At(record.data, 2) >= 8);  // a text column
                break;
            case 0x0203:
                EXPECT_EQ(xls::testing::u16At(record.data, 4), 21u);
                break;
            case 0x00D7:
                ++dbCells;
                break;
            case 0x00FC:
                sstCount = xls::testing::u32At(record.data, 0);
                EXPECT_EQ(xls::testing::u32At(record.data, 4), sstCount);
                break;
        }
    }
    EXPECT_EQ(sstCount, texts);
    ASSERT_EQ(labels.size(), texts);
    for (std::uint32_t i = 0; i < labels.size(); ++i) {
        ASSERT_EQ(labels[i], i) << "shared strings in row-major order";
    }
    EXPECT_EQ(blankCount, blanks);
    EXPECT_EQ(dbCells, 2u);  // 41 rows: blocks of 32 and 9
}

// A Cyrillic file name, as Russian users give: the file appears under that name as a compound
// file holding the export's stream, and the message names it.
TEST_F(TableExport, CyrillicFileNameHoldsTheWorkbook) {
    open(testing::sampleMeasurementRows(40));
    const fs::path file = dir_ / fs::path(u8"отчёт №2.xls");
    ASSERT_TRUE(exportTableToXls(table_, file));

    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(bytes.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    const auto stream = xls::Biff8Writer().assemble(*buildExportWorkbook(table_)).bytes();
    ASSERT_GT(stream.size(), 4096u);  // in sectors of its own, not in the mini stream
    const auto firstSector = bytes.find(std::string(stream.begin(), stream.begin() + 512));
    ASSERT_NE(firstSector, std::string::npos);
    EXPECT_EQ(firstSector % 512, 0u);
    EXPECT_EQ(exportSuccessText(file), "Эксторт в Excel в файл отчёт №2.xls завершен успешно.");
}

TEST(ExportText, SuccessNamesTheFileWithoutItsFolder) {
    EXPECT_EQ(exportSuccessText("/home/user/data/book.xls"),
              "Эксторт в Excel в файл book.xls завершен успешно.");
}

}  // namespace
}  // namespace zond::exporting
