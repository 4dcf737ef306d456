// The bytes of measurement tables, written out by hand from the file format.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "dbf_test_files.h"
#include "measurement/measurement_schema.h"

namespace zond::dbf {
namespace {

using testing::readBytes;
using testing::textOf;
using testing::writeBytes;

struct Descriptor {
    const char* name;
    char type;
    int width;
    int decimals;
};

// The measurement table's descriptors as the format fixes them.
const Descriptor kMeasurementDescriptors[] = {
    {"N", 'N', 4, 0},         {"MODE", 'C', 11, 0},    {"CHANNEL", 'N', 4, 0},
    {"EN_CH", 'N', 4, 0},     {"DATE", 'C', 10, 0},    {"TIME", 'C', 8, 0},
    {"TIME_SEC", 'C', 20, 0}, {"TYPE", 'C', 50, 0},    {"TAVIS_1", 'N', 18, 9},
    {"TAVIS_2", 'N', 18, 9},  {"TAVIS_3", 'N', 18, 9}, {"T_IN", 'C', 6, 0},
    {"T_EXT", 'C', 6, 0},     {"COMMENT", 'C', 50, 0},
};

// Header, descriptors, terminator and end-of-file byte of an empty measurement table dated
// 15.03.2024 with language ID `languageId`.
std::vector<std::uint8_t> emptyTableBytes(std::uint8_t languageId) {
    std::vector<std::uint8_t> bytes(482, 0);
    bytes[0] = 0x03;
    bytes[1] = 124;  // 2024 - 1900
    bytes[2] = 3;
    bytes[3] = 15;
    bytes[8] = 0xE1;  // 481
    bytes[9] = 0x01;
    bytes[10] = 0xE4;  // 228
    bytes[11] = 0x00;
    bytes[29] = languageId;
    std::size_t at = 32;
    for (const auto& d : kMeasurementDescriptors) {
        for (std::size_t i = 0; d.name[i] != 0; ++i) {
            bytes[at + i] = static_cast<std::uint8_t>(d.name[i]);
        }
        bytes[at + 11] = static_cast<std::uint8_t>(d.type);
        bytes[at + 16] = static_cast<std::uint8_t>(d.width);
        bytes[at + 17] = static_cast<std::uint8_t>(d.decimals);
        at += 32;
    }
    bytes[480] = 0x0D;
    bytes[481] = 0x1A;
    return bytes;
}

// "Оперативный" and "Наблюдения" in code page 1251.
const std::string kOperativeCp1251 = "\xCE\xEF\xE5\xF0\xE0\xF2\xE8\xE2\xED\xFB\xE9";
const std::string kObservationCp1251 = "\xCD\xE0\xE1\xEB\xFE\xE4\xE5\xED\xE8\xFF";

class TableFormatTest : public testing::TableFolderTest {
  protected:
    // Creates the empty measurement table "data.db" and opens it in `table`.
    std::filesystem::path openNewTable(DbfTable& table) {
        const auto path = file("data.db");
        measurement::createMeasurementTable(path, measurement::kProgramLanguageId, pinnedDate);
        table.open(path);
        return path;
    }

    // Appends a row of the measurement table: row number, mode, q1..q3, comment.
    std::uint32_t appendRow(DbfTable& table, long long n, const std::string& mode,
                            std::optional<double> q1, std::optional<double> q2,
                            std::optional<double> q3, const std::string& comment = {}) {
        auto record = table.blankRecord();
        record.setInteger(table.requireField("N"), n);
        record.setText(table.requireField("MODE"), mode);
        const std::optional<double> q[] = {q1, q2, q3};
        const char* names[] = {"TAVIS_1", "TAVIS_2", "TAVIS_3"};
        for (int i = 0; i < 3; ++i) {
            if (q[i]) {
                record.setDouble(table.requireField(names[i]), *q[i]);
            }
        }
        record.setText(table.requireField("COMMENT"), comment);
        return table.append(record);
    }
};

TEST_F(TableFormatTest, NewMeasurementTableIsTheEmptyTableOfTheFormat) {
    const auto path = file("data.db");
    measurement::createMeasurementTable(path, measurement::kProgramLanguageId, pinnedDate);
    EXPECT_EQ(readBytes(path), emptyTableBytes(0xC9));

    // Creating over an existing table replaces it.
    writeBytes(path, std::vector<std::uint8_t>(5000, 'x'));
    measurement::createMeasurementTable(path, 0x65, pinnedDate);
    EXPECT_EQ(readBytes(path), emptyTableBytes(0x65));
}

TEST_F(TableFormatTest, FieldListsTheFormatCannotHoldAreRefusedBeforeWriting) {
    const auto path = file("bad.db");
    const auto refused = [&](const std::vector<FieldSpec>& fields) {
        try {
            DbfTable::create(path, fields, 0xC9);
        } catch (const DbfError& error) {
            EXPECT_FALSE(std::filesystem::exists(path));
            return std::string(error.what());
        }
        return std::string("created");
    };
    EXPECT_EQ(refused({}), "Invalid field count: 0 (must be between 1 and 4095).");
    EXPECT_EQ(refused(std::vector<FieldSpec>(2100, {"F", FieldKind::Text, 1})),
              "Too many fields for one table.");
    EXPECT_EQ(refused({{"ELEVENCHARS", FieldKind::Text, 5}}),
              "Invalid field name \"ELEVENCHARS\".");
    EXPECT_EQ(refused({{"T", FieldKind::Text, 0}}), "Invalid width of field \"T\".");
    EXPECT_EQ(refused({{"A", FieldKind::Text, 40000}, {"B", FieldKind::Text, 40000}}),
              "Record too long.");
    // The widths of the other kinds, whatever width is asked for.
    DbfTable::create(path,
                     std::vector<FieldSpec>{{"S", FieldKind::SmallInt, 12},
                                            {"I", FieldKind::Int32, 0},
                                            {"L", FieldKind::Int64, 0},
                                            {"D", FieldKind::Date, 0},
                                            {"B", FieldKind::Logical, 0},
                                            {"W", FieldKind::Text, 300}},
                     0xC9, pinnedDate);
    const auto bytes = readBytes(path);
    const int expected[][3] = {{'N', 4, 0}, {'N', 9, 0}, {'N', 18, 0},
                               {'D', 8, 0}, {'L', 1, 0}, {'C', 300 % 256, 300 / 256}};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(bytes[32 + 32 * i + 11], expected[i][0]) << i;
        EXPECT_EQ(bytes[32 + 32 * i + 16], expected[i][1]) << i;
        EXPECT_EQ(bytes[32 + 32 * i + 17], expected[i][2]) << i;
    }
    EXPECT_EQ(bytes[10] | bytes[11] << 8, 1 + 4 + 9 + 18 + 8 + 1 + 300);
}

TEST_F(TableFormatTest, AppendedRecordsAreEncodedFieldByField) {
    const auto path = file("data.db");
    measurement::createMeasurementTable(path, measurement::kProgramLanguageId, pinnedDate);
    {
        DbfTable table(pinnedDate);
        table.open(path);
        appendRow(table, 7, "Оперативный", 12.5, std::nullopt, -3.25, std::string(60, 'c'));
        appendRow(table, 1234, "Наблюдения", 0.0, 1e-9, 99999999.5);
        appendRow(table, 0, "", -9999999.5, std::nullopt, std::nullopt);
        EXPECT_EQ(table.recordCount(), 3U);
    }
    const auto bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 1166U);
    EXPECT_EQ(bytes[4], 3);
    EXPECT_EQ(bytes[5] | bytes[6] | bytes[7], 0);
    EXPECT_EQ(bytes.back(), 0x1A);

    const std::string blank20(20, ' ');
    const std::string first = " " + std::string("   7") + kOperativeCp1251 + "    " + "    " +
                              std::string(10, ' ') + std::string(8, ' ') + blank20 +
                              std::string(50, ' ') + "      12.500000000" + std::string(18, ' ') +
                              "      -3.250000000" + std::string(6, ' ') + std::string(6, ' ') +
                              std::string(50, 'c');
    ASSERT_EQ(first.size(), 228U);
    EXPECT_EQ(textOf(bytes, 481, 228), first);

    const std::string second = textOf(bytes, 481 + 228, 228);
    EXPECT_EQ(second.substr(0, 5), " 1234");
    EXPECT_EQ(second.substr(5, 11), kObservationCp1251 + " ");
    EXPECT_EQ(second.substr(112, 18), "       0.000000000");
    EXPECT_EQ(second.substr(130, 18), "       0.000000001");
    EXPECT_EQ(second.substr(148, 18), "99999999.500000000");

    const std::string third = textOf(bytes, 481 + 2 * 228, 228);
    EXPECT_EQ(third.substr(1, 4), "   0");
    EXPECT_EQ(third.substr(5, 11), std::string(11, ' '));
    EXPECT_EQ(third.substr(112, 18), "-9999999.500000000");
}

TEST_F(TableFormatTest, ValuesReadBackWithTheirNullState) {
    DbfTable table(pinnedDate);
    openNewTable(table);
    std::string comment60;
    for (int i = 0; i < 30; ++i) {
        comment60 += "Жy";
    }
    appendRow(table, 7, "Оперативный", 12.5, std::nullopt, 0.0, comment60);
    const auto record = table.read(1);
    const int q1 = table.requireField("tavis_1");
    const int q2 = table.requireField("TAVIS_2");
    const int q3 = table.requireField("Tavis_3");
    EXPECT_EQ(record.number(q1), 12.5);
    EXPECT_FALSE(record.isNull(q1));
    EXPECT_TRUE(record.isNull(q2));
    EXPECT_EQ(record.number(q2), std::nullopt);
    EXPECT_EQ(record.asDouble(q2), 0.0);
    EXPECT_FALSE(record.isNull(q3));
    EXPECT_EQ(record.number(q3), 0.0);
    EXPECT_EQ(record.asInteger(table.requireField("N")), 7);
    EXPECT_EQ(record.text(table.requireField("MODE")), "Оперативный");
    EXPECT_EQ(record.text(table.requireField("DATE")), "");
    // Cut to 50 code-page characters, not 50 bytes of UTF-8.
    const auto stored = record.text(table.requireField("COMMENT"));
    EXPECT_EQ(text::characterCount(stored), 50U);
    EXPECT_TRUE(comment60.starts_with(stored));
    EXPECT_EQ(table.readDouble(1, q1), 12.5);
    EXPECT_EQ(table.readDouble(1, q2), 0.0);
}

TEST_F(TableFormatTest, TextKeepsLeadingSpacesAndNumbersTolerateGarbage) {
    const auto path = file("data.db");
    measurement::createMeasurementTable(path, measurement::kProgramLanguageId, pinnedDate);
    auto bytes = readBytes(path);
    bytes.pop_back();
    std::string record(228, ' ');
    record.replace(5, 4, "  ab");                   // MODE with leading spaces
    record.replace(1, 4, " 1x2");                   // N: not a number
    record.replace(112, 18, "  1.5             ");  // q1 with spaces on both sides
    ASSERT_EQ(record.size(), 228U);
    record.replace(166, 6, ">320.0");
    bytes.insert(bytes.end(), record.begin(), record.end());
    bytes.push_back(0x1A);
    bytes[4] = 1;
    writeBytes(path, bytes);

    DbfTable table(pinnedDate);
    table.open(path);
    const auto row = table.read(1);
    EXPECT_EQ(row.text(table.requireField("MODE")), "  ab");
    EXPECT_EQ(row.number(table.requireField("N")), 0.0);
    EXPECT_EQ(row.number(table.requireField("TAVIS_1")), 1.5);
    EXPECT_EQ(row.text(table.requireField("T_IN")), ">320.0");
}

TEST_F(TableFormatTest, ValuesThatDoNotFitAreRefusedAndNothingIsWritten) {
    DbfTable table(pinnedDate);
    const auto path = openNewTable(table);
    auto record = table.blankRecord();
    const int n = table.requireField("N");
    const int q1 = table.requireField("TAVIS_1");
    record.setInteger(n, 9999);
    record.setDouble(q1, 1.25);
    const auto before = std::vector<std::uint8_t>(record.bytes().begin(), record.bytes().end());

    try {
        record.setInteger(n, 10000);
        FAIL() << "10000 stored in a 4-character field";
    } catch (const DbfError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Value 10000 does not fit field \"N\" (4 characters).");
    }
    EXPECT_THROW(record.setDouble(q1, 123456789.0), DbfError);  // 19 characters
    EXPECT_THROW(record.setDouble(q1, -12345678.0), DbfError);
    EXPECT_THROW(record.setDouble(q1, std::numeric_limits<double>::infinity()), DbfError);
    EXPECT_THROW(record.setText(q1, "abc"), DbfError);
    EXPECT_EQ(std::vector<std::uint8_t>(record.bytes().begin(), record.bytes().end()), before);

    record.setDouble(q1, 99999999.0);  // the widest that fits: 18 characters
    EXPECT_EQ(record.number(q1), 99999999.0);
    table.append(record);
    EXPECT_EQ(readBytes(path).size(), 482U + 228U);
}

TEST_F(TableFormatTest, CharactersMissingFromTheCodePageBecomeQuestionMarks) {
    DbfTable table(pinnedDate);
    openNewTable(table);
    auto record = table.blankRecord();
    const int comment = table.requireField("COMMENT");
    EXPECT_TRUE(record.setText(comment, "Ёлка №5"));
    EXPECT_FALSE(record.setText(comment, "q = 5 W/m\u00B2 \u2192 \u03B1"));  // ² → α
    EXPECT_EQ(record.text(comment), "q = 5 W/m? ? ?");
}

TEST_F(TableFormatTest, Cp866TablesAreConvertedOnReadAndWrite) {
    const auto path = file("dos.db");
    measurement::createMeasurementTable(path, 0x65, pinnedDate);
    DbfTable table(pinnedDate);
    table.open(path);
    EXPECT_EQ(table.codePage().number(), 866);
    appendRow(table, 1, "Привет", std::nullopt, std::nullopt, std::nullopt);
    table.close();

    const auto bytes = readBytes(path);
    EXPECT_EQ(bytes[29], 0x65);
    // П р и в е т in code page 866.
    EXPECT_EQ(textOf(bytes, 481 + 5, 11), "\x8F\xE0\xA8\xA2\xA5\xE2     ");
    table.open(path);
    EXPECT_EQ(table.read(1).text(table.requireField("MODE")), "Привет");
}

TEST_F(TableFormatTest, UnknownOrZeroLanguageIdMeansTheProgramCodePage) {
    for (const std::uint8_t id : {std::uint8_t{0x00}, std::uint8_t{0xF0}}) {
        const auto path = file("plain.db");
        measurement::createMeasurementTable(path, id, pinnedDate);
        DbfTable table(pinnedDate);
        table.open(path);
        EXPECT_EQ(table.codePage().number(), 1251);
    }
    EXPECT_EQ(codePageOfLanguageId(0xC9), 1251);
    EXPECT_EQ(codePageOfLanguageId(0x26), 866);
    EXPECT_EQ(codePageOfLanguageId(0x57), 1252);
    EXPECT_EQ(languageIdOfCodePage(1251), 0xC9);
    EXPECT_EQ(languageIdOfCodePage(866), 0x65);
}

TEST_F(TableFormatTest, OpenRepairsACountBeyondTheFileButNotAMissingEndByte) {
    const auto path = file("data.db");
    measurement::createMeasurementTable(path, measurement::kProgramLanguageId, pinnedDate);
    {
        DbfTable table(pinnedDate);
        table.open(path);
        for (int i = 1; i <= 3; ++i) {
            appendRow(table, i, "", i, std::nullopt, std::nullopt);
        }
    }
    auto bytes = readBytes(path);
    bytes.pop_back();  // no end-of-file byte
    bytes[1] = 99;     // an old date
    writeBytes(path, bytes);
    {
        DbfTable table(pinnedDate);
        table.open(path);
        EXPECT_EQ(table.recordCount(), 3U);
        EXPECT_EQ(table.liveCount(), 3U);
    }
    EXPECT_EQ(readBytes(path), bytes);

    for (const std::uint32_t claimed : {5U, 0xFFFFFFFFU}) {
        auto damaged = bytes;
        damaged[4] = static_cast<std::uint8_t>(claimed);
        damaged[5] = damaged[6] = damaged[7] = static_cast<std::uint8_t>(claimed >> 8);
        writeBytes(path, damaged);
        {
            DbfTable table(pinnedDate);
            table.open(path);
            EXPECT_EQ(table.recordCount(), 3U);
            EXPECT_EQ(table.rowCount(), 3U);
        }
        const auto repaired = readBytes(path);
        ASSERT_EQ(repaired.size(), 1166U);
        EXPECT_EQ(repaired[4], 3);
        EXPECT_EQ(repaired[7], 0);
        EXPECT_EQ(repaired[1], 124);  // today's date
        EXPECT_EQ(repaired.back(), 0x1A);
    }
}

// A FoxPro table (version 0x30): 32-byte descriptors, a 263-byte backlink after the terminator,
// and a binary 'I' field.
std::vector<std::uint8_t> foxProTable() {
    std::vector<std::uint8_t> bytes(32 + 3 * 32 + 1 + 263, 0);
    bytes[0] = 0x30;
    bytes[4] = 1;
    bytes[8] = static_cast<std::uint8_t>(bytes.size() & 0xFF);
    bytes[9] = static_cast<std::uint8_t>(bytes.size() >> 8);
    bytes[10] = 1 + 5 + 4 + 6;
    bytes[29] = 0x65;  // code page 866
    const Descriptor fields[] = {{"NAME", 'C', 5, 0}, {"COUNT", 'I', 4, 0}, {"Q", 'N', 6, 2}};
    for (std::size_t i = 0; i < 3; ++i) {
        std::uint8_t* d = bytes.data() + 32 + 32 * i;
        std::memcpy(d, fields[i].name, std::strlen(fields[i].name));
        d[11] = static_cast<std::uint8_t>(fields[i].type);
        d[16] = static_cast<std::uint8_t>(fields[i].width);
        d[17] = static_cast<std::uint8_t>(fields[i].decimals);
    }
    bytes[32 + 96] = 0x0D;
    // " " + "\xAF\xE0\xA8" (при in 866) + "  " + -2 as a 32-bit integer + "  1.50"
    const std::uint8_t record[] = {' ',  0xAF, 0xE0, 0xA8, ' ', ' ', 0xFE, 0xFF,
                                   0xFF, 0xFF, ' ',  ' ',  '1', '.', '5',  '0'};
    bytes.insert(bytes.end(), std::begin(record), std::end(record));
    bytes.push_back(0x1A);
    return bytes;
}

// A dBase 7 table (version 0x04): a 68-byte header and 48-byte descriptors with 32-byte names.
std::vector<std::uint8_t> dBase7Table() {
    std::vector<std::uint8_t> bytes(68 + 2 * 48 + 1, 0);
    bytes[0] = 0x04;
    bytes[4] = 1;
    bytes[8] = static_cast<std::uint8_t>(bytes.size());
    bytes[10] = 1 + 20 + 3;
    const Descriptor fields[] = {{"A_RATHER_LONG_FIELD_NAME", 'C', 20, 0}, {"n", 'N', 3, 0}};
    for (std::size_t i = 0; i < 2; ++i) {
        std::uint8_t* d = bytes.data() + 68 + 48 * i;
        std::memcpy(d, fields[i].name, std::strlen(fields[i].name));
        d[32] = static_cast<std::uint8_t>(fields[i].type);
        d[33] = static_cast<std::uint8_t>(fields[i].width);
    }
    bytes[68 + 96] = 0x0D;
    const std::string record = " long names are fine  42";
    bytes.insert(bytes.end(), record.begin(), record.end());
    bytes.push_back(0x1A);
    return bytes;
}

TEST_F(TableFormatTest, FoxProAndDBase7TablesOpenWithTheirOwnLayouts) {
    const auto path = file("other.dbf");
    writeBytes(path, foxProTable());
    {
        DbfTable table(pinnedDate);
        table.open(path);
        ASSERT_EQ(table.fields().size(), 3U);
        EXPECT_EQ(table.fields()[1].kind, FieldKind::Int32);
        const auto row = table.read(1);
        EXPECT_EQ(row.text(0), "при");
        EXPECT_EQ(row.asInteger(1), -2);
        EXPECT_EQ(row.number(2), 1.5);
        // Appending keeps the header with its backlink as it is.
        auto added = table.blankRecord();
        added.setInteger(1, 70000);
        added.setDouble(2, -1.25);
        table.append(added);
        EXPECT_EQ(table.read(2).asInteger(1), 70000);
        EXPECT_EQ(table.read(2).text(2), " -1.25");
    }
    EXPECT_EQ(readBytes(path).size(), 32U + 97 + 263 + 2 * 16 + 1);

    writeBytes(path, dBase7Table());
    DbfTable table(pinnedDate);
    table.open(path);
    ASSERT_EQ(table.fields().size(), 2U);
    EXPECT_EQ(table.fields()[0].name, "A_RATHER_LONG_FIELD_NAME");
    EXPECT_EQ(table.fields()[1].name, "N");
    EXPECT_EQ(table.read(1).text(0), "long names are fine");
    EXPECT_EQ(table.read(1).asInteger(1), 42);
}

struct Damage {
    const char* what;
    void (*apply)(std::vector<std::uint8_t>& bytes);
    const char* error;
};

const char* const kInvalid = "Invalid DBF file.";

const Damage kDamages[] = {
    {"unknown version byte", [](auto& b) { b[0] = 0x07; }, kInvalid},
    {"header length zero", [](auto& b) { b[8] = b[9] = 0; }, kInvalid},
    {"record length zero", [](auto& b) { b[10] = b[11] = 0; }, kInvalid},
    {"header length short of the descriptors", [](auto& b) { b[8] = 0xC0; }, kInvalid},
    {"header length beyond the file", [](auto& b) { b[9] = 0x40; }, kInvalid},
    {"record length not the sum of the widths", [](auto& b) { b[10] = 0xE5; }, kInvalid},
    {"missing terminator", [](auto& b) { b[480] = 0x20; }, kInvalid},
    {"empty field name", [](auto& b) { b[32 + 32] = 0; }, kInvalid},
    {"unknown type letter", [](auto& b) { b[32 + 11] = 'X'; }, kInvalid},
    {"zero-width field", [](auto& b) { b[32 + 16] = 0; }, kInvalid},
    {"truncated descriptor", [](auto& b) { b.resize(32 + 32 * 3 + 10); }, kInvalid},
    {"truncated header", [](auto& b) { b.resize(20); }, kInvalid},
    {"no fields",
     [](auto& b) {
         b.resize(34);
         b[32] = 0x0D;
         b[33] = 0x1A;
         b[8] = 33;
         b[9] = 0;
         b[10] = 1;
     },
     "Invalid field count: 0 (must be between 1 and 4095)."},
    {"5000 fields",
     [](auto& b) {
         b.resize(32);
         for (int i = 0; i < 5000; ++i) {
             std::vector<std::uint8_t> d(32, 0);
             d[0] = 'F';
             d[11] = 'C';
             d[16] = 1;
             b.insert(b.end(), d.begin(), d.end());
         }
         b.push_back(0x0D);
         b.push_back(0x1A);
     },
     "Invalid field count: 5000 (must be between 1 and 4095)."},
};

TEST_F(TableFormatTest, DamagedFilesFailWithTheirTextAndStayUntouched) {
    const auto path = file("data.db");
    measurement::createMeasurementTable(path, measurement::kProgramLanguageId, pinnedDate);
    const auto sound = readBytes(path);
    for (const auto& damage : kDamages) {
        SCOPED_TRACE(damage.what);
        auto bytes = sound;
        damage.apply(bytes);
        writeBytes(path, bytes);
        DbfTable table(pinnedDate);
        try {
            table.open(path);
            ADD_FAILURE() << "opened";
        } catch (const DbfError& error) {
            EXPECT_EQ(std::string(error.what()), damage.error);
        }
        EXPECT_FALSE(table.isOpen());
        EXPECT_EQ(readBytes(path), bytes);
    }
}

TEST_F(TableFormatTest, MissingFileIsNamedInTheError) {
    DbfTable table(pinnedDate);
    const auto path = file("absent.db");
    try {
        table.open(path);
        FAIL() << "opened a missing file";
    } catch (const DbfError& error) {
        EXPECT_EQ(std::string(error.what()), "Open: file not found: \"" + path.string() + "\".");
    }
}

}  // namespace
}  // namespace zond::dbf
