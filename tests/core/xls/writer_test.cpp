// The BIFF8 stream of the writer, against record bytes written out by hand from the format's
// rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "biff_records.h"
#include "xls/biff8_writer.h"

namespace zond::xls {
namespace {

using testing::hex;
using testing::Record;
using testing::splitRecords;
using testing::u16At;
using testing::u32At;
using testing::utf16le;
using Bytes = std::vector<std::uint8_t>;

std::vector<Record> write(const Workbook& book) {
    Biff8Writer writer;
    return splitRecords(writer.assemble(book).bytes());
}

std::vector<Record> withNumber(const std::vector<Record>& records, std::uint16_t number) {
    std::vector<Record> found;
    std::ranges::copy_if(records, std::back_inserter(found),
                         [&](const Record& r) { return r.number == number; });
    return found;
}

std::vector<std::uint16_t> numbers(const std::vector<Record>& records) {
    std::vector<std::uint16_t> list;
    for (const auto& r : records) {
        list.push_back(r.number);
    }
    return list;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

// The default formatting every export cell has: font 5, General, XF 21.
const Bytes kXf21 = hex("05 00 00 00 01 00 20 00 00 7C 00 00 00 00 00 00 00 00 08 04");

TEST(BiffWriter, EmptySheetRecordOrderAndFixedBytes) {
    Workbook book;
    book.addWorksheet();
    const auto records = write(book);

    std::vector<std::uint16_t> expected = {
        0x0809, 0x00E1, 0x00C1, 0x00E2, 0x005C, 0x0042, 0x0161, 0x01C0, 0x013D, 0x009C, 0x0019,
        0x0012, 0x0013, 0x01AF, 0x01BC, 0x003D, 0x0040, 0x008D, 0x0022, 0x000E, 0x01B7, 0x00DA};
    expected.insert(expected.end(), 4, 0x0031);   // the built-in fonts only
    expected.insert(expected.end(), 8, 0x041E);   // built-in formats
    expected.insert(expected.end(), 21, 0x00E0);  // 15 style XFs, 6 fixed cell XFs
    expected.insert(expected.end(), 6, 0x0293);
    for (const std::uint16_t n : {0x0160, 0x0085, 0x008C, 0x000A}) {  // no SST without texts
        expected.push_back(n);
    }
    for (const std::uint16_t n :
         {0x0809, 0x020B, 0x000D, 0x000C, 0x000F, 0x0011, 0x0010, 0x005F, 0x002A, 0x002B,
          0x0082, 0x0080, 0x0225, 0x0081, 0x0014, 0x0015, 0x0083, 0x0084, 0x0026, 0x0027,
          0x0028, 0x0029, 0x00A1, 0x0055, 0x0200, 0x023E, 0x001D, 0x000A}) {
        expected.push_back(n);
    }
    ASSERT_EQ(numbers(records), expected);

    EXPECT_EQ(records[0].data, hex("00 06 05 00 BB 0D CC 07 00 00 00 00 00 06 00 00"));
    EXPECT_EQ(records[1].data, hex("E4 04"));
    EXPECT_TRUE(records[3].data.empty());
    Bytes writeAccess = concat({hex("07 00 01"), utf16le(u"PReport")});
    writeAccess.resize(112, 0x20);
    EXPECT_EQ(records[4].data, writeAccess);
    EXPECT_EQ(records[5].data, hex("E4 04"));
    EXPECT_EQ(records[8].data, hex("01 00"));
    EXPECT_EQ(records[9].data, hex("0E 00"));
    EXPECT_EQ(records[15].data, hex("68 01 1E 00 1E 1D 60 18 38 00 00 00 00 00 01 00 58 02"));
    EXPECT_EQ(records[19].data, hex("01 00"));

    // BOUNDSHEET points at the sheet's BOF.
    const auto sheetBof = std::ranges::find_if(records.begin() + 1, records.end(),
                                               [](const Record& r) { return r.number == 0x0809; });
    const Record boundSheet = withNumber(records, 0x0085).at(0);
    Bytes offset(4);
    offset[0] = static_cast<std::uint8_t>(sheetBof->position);
    offset[1] = static_cast<std::uint8_t>(sheetBof->position >> 8);
    EXPECT_EQ(boundSheet.data, concat({offset, hex("00 00 06 01"), utf16le(u"Sheet1")}));
    EXPECT_EQ(withNumber(records, 0x008C).at(0).data, hex("07 00 07 00"));

    EXPECT_EQ(sheetBof->data, hex("00 06 10 00 BB 0D CC 07 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(withNumber(records, 0x020B).at(0).data, Bytes(16, 0));
    EXPECT_EQ(withNumber(records, 0x0010).at(0).data, hex("FC A9 F1 D2 4D 62 50 3F"));
    EXPECT_EQ(withNumber(records, 0x0225).at(0).data, hex("00 00 FF 00"));
    EXPECT_EQ(withNumber(records, 0x0081).at(0).data, hex("C1 04"));
    EXPECT_TRUE(withNumber(records, 0x0014).at(0).data.empty());
    EXPECT_EQ(withNumber(records, 0x0026).at(0).data, hex("00 00 00 00 00 00 00 40"));  // 2.0
    EXPECT_EQ(withNumber(records, 0x0028).at(0).data, hex("00 00 00 00 00 00 04 40"));  // 2.5
    EXPECT_EQ(withNumber(records, 0x00A1).at(0).data,
              concat({hex("09 00 64 00 01 00 01 00 01 00 02 00 00 00 00 00"), Bytes(16, 0),
                      hex("00 00")}));
    EXPECT_EQ(withNumber(records, 0x0055).at(0).data, hex("08 00"));
    EXPECT_EQ(withNumber(records, 0x0200).at(0).data, Bytes(14, 0));
    EXPECT_EQ(withNumber(records, 0x023E).at(0).data,
              hex("B6 06 00 00 00 00 40 00 00 00 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(withNumber(records, 0x001D).at(0).data,
              hex("03 00 00 00 00 00 00 01 00 00 00 00 00 00 00"));
}

TEST(BiffWriter, DefaultCellStyleTables) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.range(0, 0, 0, 0).setValue(std::int32_t{1});
    sheet.range(1, 0, 1, 0).setValue(std::string("x"));
    const auto records = write(book);

    // Four built-in fonts in the window-text colour (black) and the cells' black Arial: all five
    // records alike.
    const Bytes arial =
        concat({hex("C8 00 00 00 08 00 64 00 00 00 00 00 01 00 05 01"), utf16le(u"Arial")});
    const auto fonts = withNumber(records, 0x0031);
    ASSERT_EQ(fonts.size(), 5u);
    for (const auto& font : fonts) {
        EXPECT_EQ(font.data, arial);
    }

    const std::pair<int, std::u16string> formats[] = {
        {5, u"#,##0\"р.\";\\-#,##0\"р.\""},
        {6, u"#,##0\"р.\";[Red]\\-#,##0\"р.\""},
        {7, u"#,##0.00\"р.\";\\-#,##0.00\"р.\""},
        {8, u"#,##0.00\"р.\";[Red]\\-#,##0.00\"р.\""},
        {42, u"_-* #,##0\"р.\"_-;\\-* #,##0\"р.\"_-;_-* \"-\"\"р.\"_-;_-@_-"},
        {41, u"_-* #,##0_р_._-;\\-* #,##0_р_._-;_-* \"-\"_р_._-;_-@_-"},
        {44, u"_-* #,##0.00\"р.\"_-;\\-* #,##0.00\"р.\"_-;_-* \"-\"??\"р.\"_-;_-@_-"},
        {43, u"_-* #,##0.00_р_._-;\\-* #,##0.00_р_._-;_-* \"-\"??_р_._-;_-@_-"},
    };
    const auto formatRecords = withNumber(records, 0x041E);
    ASSERT_EQ(formatRecords.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        const auto& [index, text] = formats[i];
        const Bytes head = {static_cast<std::uint8_t>(index), 0,
                            static_cast<std::uint8_t>(text.size()), 0, 1};
        EXPECT_EQ(formatRecords[i].data, concat({head, utf16le(text)})) << "format " << index;
    }

    const auto xfs = withNumber(records, 0x00E0);
    ASSERT_EQ(xfs.size(), 22u);
    EXPECT_EQ(xfs[0].data, hex("00 00 00 00 F5 FF 20 00 00 00 00 00 00 00 00 00 00 00 C0 20"));
    EXPECT_EQ(xfs[1].data, hex("01 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20"));
    EXPECT_EQ(xfs[2].data, xfs[1].data);
    EXPECT_EQ(xfs[3].data, hex("02 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20"));
    EXPECT_EQ(xfs[4].data, xfs[3].data);
    for (int i = 5; i <= 14; ++i) {
        EXPECT_EQ(xfs[i].data, hex("00 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20"));
    }
    EXPECT_EQ(xfs[15].data, hex("00 00 00 00 01 00 20 00 00 00 00 00 00 00 00 00 00 00 C0 20"));
    EXPECT_EQ(xfs[16].data, hex("01 00 2C 00 F5 FF 20 00 00 F8 00 00 00 00 00 00 00 00 C0 20"));
    EXPECT_EQ(xfs[20].data, hex("01 00 29 00 F5 FF 20 00 00 F8 00 00 00 00 00 00 00 00 C0 20"));
    EXPECT_EQ(xfs[21].data, kXf21);

    const auto styles = withNumber(records, 0x0293);
    ASSERT_EQ(styles.size(), 6u);
    EXPECT_EQ(styles[0].data, hex("10 80 04 FF"));
    EXPECT_EQ(styles[1].data, hex("11 80 07 FF"));
    EXPECT_EQ(styles[2].data, hex("00 80 00 FF"));
    EXPECT_EQ(styles[3].data, hex("12 80 05 FF"));
    EXPECT_EQ(styles[4].data, hex("13 80 03 FF"));
    EXPECT_EQ(styles[5].data, hex("14 80 06 FF"));
    EXPECT_TRUE(withNumber(records, 0x0092).empty());

    EXPECT_EQ(withNumber(records, 0x0203).at(0).data,
              hex("00 00 00 00 15 00 00 00 00 00 00 00 F0 3F"));
    EXPECT_EQ(withNumber(records, 0x00FD).at(0).data, hex("00 00 01 00 15 00 00 00 00 00"));
    EXPECT_EQ(withNumber(records, 0x0208).at(0).data,
              hex("00 00 00 00 02 00 FF 00 00 00 00 00 00 00 00 00"));
}

TEST(BiffWriter, FontsFormatsAndPaletteFollowTheRanges) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    RangeFormat builtIn;
    builtIn.font.colour = kWindowText;  // equal to the built-in fonts in every property
    sheet.range(0, 0, 0, 0).setFormat(builtIn);
    RangeFormat money;
    money.numberFormat = "0.00\"Р\"";
    sheet.range(1, 0, 1, 0).setFormat(money);
    money.numberFormat = "0.00\"р\"";  // the same format in other letter case
    sheet.range(2, 0, 2, 0).setFormat(money);
    RangeFormat coloured;
    coloured.font.colour = rgb(0x12, 0x34, 0x56);
    sheet.range(3, 0, 3, 0).setFormat(coloured);
    const auto records = write(book);

    const auto fonts = withNumber(records, 0x0031);
    ASSERT_EQ(fonts.size(), 6u);  // built-ins, black Arial, coloured Arial
    EXPECT_EQ(u16At(fonts[5].data, 4), 24u);
    const auto formats = withNumber(records, 0x041E);
    ASSERT_EQ(formats.size(), 9u);
    EXPECT_EQ(formats[8].data, concat({hex("32 00 07 00 01"), utf16le(u"0.00\"Р\"")}));

    const auto xfs = withNumber(records, 0x00E0);
    ASSERT_EQ(xfs.size(), 24u);
    EXPECT_EQ(xfs[21].data, hex("00 00 00 00 01 00 20 00 00 7C 00 00 00 00 00 00 00 00 08 04"));
    EXPECT_EQ(xfs[22].data, hex("05 00 32 00 01 00 20 00 00 7C 00 00 00 00 00 00 00 00 08 04"));
    EXPECT_EQ(xfs[23].data, hex("06 00 00 00 01 00 20 00 00 7C 00 00 00 00 00 00 00 00 08 04"));
    const auto cells = withNumber(records, 0x0201);  // all four cells are empty: BLANK
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(u16At(cells[0].data, 4), 21u);
    EXPECT_EQ(u16At(cells[1].data, 4), 22u);
    EXPECT_EQ(u16At(cells[2].data, 4), 22u);
    EXPECT_EQ(u16At(cells[3].data, 4), 23u);

    // The new colour takes index 24, the first entry that is neither a classic colour nor used.
    const auto palette = withNumber(records, 0x0092);
    ASSERT_EQ(palette.size(), 1u);
    const Bytes& p = palette[0].data;
    ASSERT_EQ(p.size(), 226u);
    EXPECT_EQ(u16At(p, 0), 56u);
    EXPECT_EQ(Bytes(p.begin() + 2, p.begin() + 10), hex("00 00 00 00 FF FF FF 00"));
    EXPECT_EQ(Bytes(p.begin() + 2 + 15 * 4, p.begin() + 2 + 17 * 4),
              hex("80 80 80 00 12 34 56 00"));
    EXPECT_EQ(Bytes(p.begin() + 2 + 17 * 4, p.begin() + 2 + 18 * 4), hex("99 33 66 00"));
    EXPECT_EQ(Bytes(p.end() - 4, p.end()), hex("33 33 33 00"));
}

TEST(BiffWriter, PaletteIndexRules) {
    UsedColours used{rgb(1, 1, 1)};
    StyleTables tables(used);
    EXPECT_TRUE(used.empty());  // every save starts with no used colours
    EXPECT_EQ(tables.paletteIndex(kWindowText), 8);
    EXPECT_EQ(tables.paletteIndex(rgb(0x99, 0x99, 0xFF)), 24);
    // #9999FF is in use now, so the next new colour goes to index 25.
    EXPECT_EQ(tables.paletteIndex(rgb(1, 2, 3)), 25);
    EXPECT_EQ(tables.paletteIndex(rgb(1, 2, 3)), 25);
    EXPECT_TRUE(tables.paletteChanged());
    // Once every free entry is taken, new colours fall back to index 8.
    for (std::uint8_t i = 10; i < 80; ++i) {
        tables.paletteIndex(rgb(i, 7, 7));
    }
    EXPECT_EQ(tables.paletteIndex(rgb(200, 7, 7)), 8);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(tables.palette()[i], kDefaultPalette[i]) << "classic colour " << i + 8;
    }
}

TEST(BiffWriter, MergedRangeCellsAndMergedCellsRecord) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.range(1, 1, 2, 2).setValue(4.0);
    sheet.range(0, 1, 0, 1).setValue(std::string());
    const auto records = write(book);

    const auto xfs = withNumber(records, 0x00E0);
    ASSERT_EQ(xfs.size(), 23u);
    EXPECT_EQ(xfs[21].data, hex("05 00 00 00 01 00 20 00 20 7C 00 00 00 00 00 00 00 00 08 04"));
    EXPECT_EQ(xfs[22].data, kXf21);

    std::vector<Record> cells;
    std::ranges::copy_if(records, std::back_inserter(cells), [](const Record& r) {
        return r.number == 0x0203 || r.number == 0x0201 || r.number == 0x00BE || r.number == 0x0208;
    });
    ASSERT_EQ(numbers(cells),
              (std::vector<std::uint16_t>{0x0208, 0x0208, 0x0201, 0x0203, 0x0201, 0x00BE}));
    EXPECT_EQ(cells[0].data, hex("01 00 00 00 03 00 FF 00 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(cells[1].data, hex("02 00 01 00 03 00 FF 00 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(cells[2].data, hex("01 00 00 00 16 00"));
    EXPECT_EQ(cells[3].data, hex("01 00 01 00 15 00 00 00 00 00 00 00 10 40"));
    EXPECT_EQ(cells[4].data, hex("01 00 02 00 15 00"));
    EXPECT_EQ(cells[5].data, hex("02 00 01 00 15 00 15 00 02 00"));

    EXPECT_EQ(withNumber(records, 0x00E5).at(0).data, hex("01 00 01 00 02 00 01 00 02 00"));
    EXPECT_EQ(withNumber(records, 0x0200).at(0).data,
              hex("01 00 00 00 03 00 00 00 00 00 03 00 00 00"));
}

TEST(BiffWriter, ManyMergedRangesSplitAt1024Entries) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    for (int r = 0; r < 1025; ++r) {
        sheet.range(0, r, 1, r);
    }
    const auto merged = withNumber(write(book), 0x00E5);
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(u16At(merged[0].data, 0), 1024u);
    EXPECT_EQ(merged[0].data.size(), 2u + 8 * 1024);
    EXPECT_EQ(merged[1].data, hex("01 00 00 04 00 04 00 00 01 00"));
}

TEST(BiffWriter, RowBlocksDbCellsAndIndex) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    for (int r = 0; r < 33; ++r) {
        sheet.range(0, r, 0, r).setValue(std::int32_t{r});
    }
    const auto records = write(book);
    const auto dbCells = withNumber(records, 0x00D7);
    ASSERT_EQ(dbCells.size(), 2u);

    // Block 1: 32 ROW records of 20 bytes, 32 NUMBER records of 18 bytes.
    Bytes first = hex("C0 04 00 00 6C 02");  // back 1216 bytes to the first ROW; first cell 620 on
    for (int i = 0; i < 31; ++i) {
        first.push_back(18);
        first.push_back(0);
    }
    EXPECT_EQ(dbCells[0].data, first);
    // Block 2: one ROW and one NUMBER.
    EXPECT_EQ(dbCells[1].data, hex("26 00 00 00 00 00"));

    const Record index = withNumber(records, 0x020B).at(0);
    ASSERT_EQ(index.data.size(), 24u);
    EXPECT_EQ(Bytes(index.data.begin(), index.data.begin() + 16),
              hex("00 00 00 00 00 00 00 00 21 00 00 00 00 00 00 00"));
    EXPECT_EQ(u32At(index.data, 16), dbCells[0].position);
    EXPECT_EQ(u32At(index.data, 20), dbCells[1].position);

    // The second block starts right after the first DBCELL with row 32.
    const auto after = std::ranges::find_if(
        records, [&](const Record& r) { return r.position > dbCells[0].position; });
    EXPECT_EQ(after->number, 0x0208);
    EXPECT_EQ(u16At(after->data, 0), 32u);
}

TEST(BiffWriter, RowsWithoutCellsInsideTheUsedSpanGetRowRecords) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.range(2, 3, 2, 3).setValue(1.0);
    sheet.range(0, 6, 0, 6).setValue(1.0);
    sheet.rows().push_back({4, 400});
    const auto rows = withNumber(write(book), 0x0208);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].data, hex("03 00 02 00 03 00 FF 00 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(rows[1].data, hex("04 00 00 00 00 00 90 01 00 00 00 00 40 00 00 00"));
    EXPECT_EQ(rows[3].data, hex("06 00 00 00 01 00 FF 00 00 00 00 00 00 00 00 00"));
}

TEST(BiffWriter, LongTextIsSplitIntoContinueWithFlagByte) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    std::string text;
    for (int i = 0; i < 5000; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    sheet.range(0, 0, 0, 0).setValue(text);
    const auto records = write(book);

    const auto sst =
        std::ranges::find_if(records, [](const Record& r) { return r.number == 0x00FC; });
    ASSERT_NE(sst, records.end());
    ASSERT_EQ(sst->data.size(), 8223u);
    EXPECT_EQ(Bytes(sst->data.begin(), sst->data.begin() + 11),
              hex("01 00 00 00 01 00 00 00 88 13 01"));
    const auto next = sst + 1;
    EXPECT_EQ(next->number, 0x003C);
    ASSERT_EQ(next->data.size(), 1789u);
    EXPECT_EQ(next->data[0], 0x01);
    // Characters 4106 onwards continue behind the flag byte.
    EXPECT_EQ(next->data[1], static_cast<std::uint8_t>('a' + 4106 % 26));
    EXPECT_EQ(sst->data[11], 'a');
    EXPECT_EQ(sst->data[8221], static_cast<std::uint8_t>('a' + 4105 % 26));

    const Record& extSst = *(sst + 2);
    ASSERT_EQ(extSst.number, 0x00FF);
    Bytes bucket = hex("08 00");
    const std::uint32_t at = sst->position + 12;
    for (int i = 0; i < 4; ++i) {
        bucket.push_back(static_cast<std::uint8_t>(at >> (8 * i)));
    }
    for (const auto b : hex("0C 00 00 00")) {
        bucket.push_back(b);
    }
    EXPECT_EQ(extSst.data, bucket);
}

TEST(BiffWriter, EntryHeadersNeverStraddleRecords) {
    const auto sstRecords = [](std::initializer_list<std::string> texts) {
        Workbook book;
        auto& sheet = book.addWorksheet();
        int row = 0;
        for (const auto& text : texts) {
            sheet.range(0, row, 0, row).setValue(text);
            ++row;
        }
        const auto records = write(book);
        const auto sst =
            std::ranges::find_if(records, [](const Record& r) { return r.number == 0x00FC; });
        return std::vector<Record>(sst, sst + 2);
    };
    // 8 count bytes, 3 header bytes and 8208 bytes leave 5: the next header fits with one
    // character, the rest goes on behind a flag byte, and the third entry follows there.
    auto split = sstRecords({std::string(4104, 'x'), std::string(4108, 'y'), "z"});
    ASSERT_EQ(split[0].data.size(), 8224u);
    EXPECT_EQ(Bytes(split[0].data.end() - 5, split[0].data.end()), hex("0C 10 01 79 00"));
    ASSERT_EQ(split[1].number, 0x003C);
    EXPECT_EQ(split[1].data.size(), 1u + 2 * 4107 + 5);
    EXPECT_EQ(split[1].data[0], 0x01);
    EXPECT_EQ(Bytes(split[1].data.end() - 5, split[1].data.end()), hex("01 00 01 7A 00"));

    // With 3 bytes left the next entry starts a CONTINUE of its own, without a flag byte.
    auto fresh = sstRecords({std::string(4105, 'x'), "y"});
    EXPECT_EQ(fresh[0].data.size(), 8221u);
    ASSERT_EQ(fresh[1].number, 0x003C);
    EXPECT_EQ(fresh[1].data, hex("01 00 01 79 00"));
}

TEST(BiffWriter, ExtSstBucketEveryEightStrings) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    for (int c = 0; c < 9; ++c) {
        sheet.range(c, 0, c, 0).setValue(std::string("a"));
    }
    sheet.range(9, 0, 9, 0).setValue(std::string());  // no entry for an empty text
    const auto records = write(book);
    const auto sst =
        std::ranges::find_if(records, [](const Record& r) { return r.number == 0x00FC; });
    EXPECT_EQ(Bytes(sst->data.begin(), sst->data.begin() + 8), hex("09 00 00 00 09 00 00 00"));
    const Record& extSst = *(sst + 1);
    ASSERT_EQ(extSst.number, 0x00FF);
    ASSERT_EQ(extSst.data.size(), 2u + 16);
    EXPECT_EQ(u32At(extSst.data, 2), sst->position + 12);
    EXPECT_EQ(u16At(extSst.data, 6), 12u);
    EXPECT_EQ(u32At(extSst.data, 10), sst->position + 12 + 8 * 5);
    EXPECT_EQ(u16At(extSst.data, 14), 52u);
    const auto labels = withNumber(records, 0x00FD);
    ASSERT_EQ(labels.size(), 9u);
    EXPECT_EQ(u32At(labels[8].data, 6), 8u);
    EXPECT_EQ(withNumber(records, 0x0201).at(0).data, hex("00 00 09 00 15 00"));
}

TEST(BiffWriter, TwoSheetsCyrillicNamesAndTexts) {
    Workbook book;
    book.setUserName(std::string(60, 'u'));
    book.addWorksheet().setName("Лист");
    auto& second = book.addWorksheet();
    second.range(0, 0, 0, 0).setValue(std::string("Дата"));
    const auto records = write(book);

    Bytes writeAccess = concat({hex("36 00 01"), utf16le(std::u16string(54, u'u'))});
    writeAccess.resize(112, 0x20);
    EXPECT_EQ(records[4].data, writeAccess) << "the record holds 54 characters of the name";
    EXPECT_EQ(withNumber(records, 0x013D).at(0).data, hex("01 00 02 00"));
    const auto boundSheets = withNumber(records, 0x0085);
    ASSERT_EQ(boundSheets.size(), 2u);
    EXPECT_EQ(Bytes(boundSheets[0].data.begin() + 4, boundSheets[0].data.end()),
              concat({hex("00 00 04 01"), utf16le(u"Лист")}));
    const auto bofs = withNumber(records, 0x0809);
    ASSERT_EQ(bofs.size(), 3u);
    EXPECT_EQ(u32At(boundSheets[0].data, 0), bofs[1].position);
    EXPECT_EQ(u32At(boundSheets[1].data, 0), bofs[2].position);
    const auto windows = withNumber(records, 0x023E);
    EXPECT_EQ(u16At(windows[0].data, 0), 0x06B6);
    EXPECT_EQ(u16At(windows[1].data, 0), 0x04B6);
    const auto sst = withNumber(records, 0x00FC).at(0);
    EXPECT_EQ(Bytes(sst.data.begin() + 8, sst.data.end()),
              concat({hex("04 00 01"), utf16le(u"Дата")}));
}

TEST(BiffWriter, PageSetupInTheSheetRecords) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    auto& setup = sheet.pageSetup();
    setup.centreHeader = "Отчёт";
    setup.rightFooter = "&P";
    setup.orientation = 1;
    setup.printOrder = 1;
    setup.firstPageNumber = 3;
    setup.scaleByPercentage = false;
    setup.printGridLines = true;
    sheet.columns().push_back({2, 3000});
    sheet.pageBreaks().push_back(10);
    const auto records = write(book);
    EXPECT_EQ(withNumber(records, 0x0014).at(0).data,
              concat({hex("07 00 01"), utf16le(u"&CОтчёт")}));
    EXPECT_EQ(withNumber(records, 0x0015).at(0).data, concat({hex("04 00 01"), utf16le(u"&R&P")}));
    EXPECT_EQ(withNumber(records, 0x0081).at(0).data, hex("C1 05"));
    EXPECT_EQ(withNumber(records, 0x002B).at(0).data, hex("01 00"));
    EXPECT_EQ(u16At(withNumber(records, 0x00A1).at(0).data, 10), 0x0081);
    EXPECT_EQ(withNumber(records, 0x007D).at(0).data, hex("02 00 02 00 B8 0B 00 00 00 00 00"));
    EXPECT_EQ(withNumber(records, 0x001B).at(0).data, hex("01 00 0A 00 00 00 FF 00"));
}

TEST(BiffWriter, LongRecordsContinue) {
    BiffStream stream;
    stream.writeRecord(0x00FF, Bytes(8224 + 10, 0xAB));
    stream.writeRecord(0x000A);
    const auto records = splitRecords(stream.bytes());
    ASSERT_EQ(numbers(records), (std::vector<std::uint16_t>{0x00FF, 0x003C, 0x000A}));
    EXPECT_EQ(records[0].data.size(), 8224u);
    EXPECT_EQ(records[1].data, Bytes(10, 0xAB));
    EXPECT_TRUE(records[2].data.empty());
}

}  // namespace
}  // namespace zond::xls
