// Life of an open table: cursor, sort index, delete and pack, exclusive access.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "dbf_test_files.h"
#include "measurement/measurement_schema.h"
#include "open_table_fixture.h"

namespace zond::dbf {
namespace {

using testing::foxProTable;
using testing::OpenTableTest;
using testing::readBytes;
using testing::writeBytes;

TEST_F(OpenTableTest, CursorVisitsLiveRecordsOnly) {
    EXPECT_FALSE(table_.first());
    EXPECT_TRUE(table_.eof());
    EXPECT_EQ(table_.currentRecord(), 0U);
    for (int i = 1; i <= 5; ++i) {
        add(i, i * 1.5);
    }
    table_.markDeleted(1);
    const std::uint32_t more[] = {5, 3};
    table_.markDeleted(more);
    EXPECT_EQ(table_.recordCount(), 5U);
    EXPECT_EQ(table_.liveCount(), 2U);
    EXPECT_EQ(walk(), (std::vector<long long>{2, 4}));
    EXPECT_TRUE(table_.last());
    EXPECT_EQ(table_.currentRecord(), 4U);
    EXPECT_FALSE(table_.next());
    EXPECT_EQ(table_.currentRecord(), 4U);
    EXPECT_TRUE(table_.moveToRecord(2));
    EXPECT_FALSE(table_.moveToRecord(3));
    EXPECT_EQ(table_.rowOf(4), 1U);
    EXPECT_EQ(table_.rowOf(5), std::nullopt);
    EXPECT_EQ(table_.recordAt(0), 2U);
    EXPECT_THROW(table_.recordAt(2), DbfError);
    EXPECT_THROW(table_.read(6), DbfError);

    // Deleting marks byte 0 only; the count and the rest stay.
    const auto bytes = readBytes(path_);
    EXPECT_EQ(bytes[481], '*');
    EXPECT_EQ(bytes[481 + 228], ' ');
    EXPECT_EQ(bytes[4], 5);

    // Reopening finds the same live rows.
    table_.close();
    table_.open(path_);
    EXPECT_EQ(walk(), (std::vector<long long>{2, 4}));
}

// Reads go through a cache of blocks of records; writes must show in it at once.
TEST_F(OpenTableTest, ReadsSeeEveryWriteAcrossManyBlocks) {
    constexpr int kRows = 2000;  // several cache blocks of 287 records
    for (int i = 1; i <= kRows; ++i) {
        add(i, i * 0.5);
        EXPECT_EQ(table_.readDouble(static_cast<std::uint32_t>(i), q1_), i * 0.5);
    }
    for (std::uint32_t record = 7; record <= kRows; record += 301) {
        auto values = table_.read(record);
        values.setDouble(q1_, -1.0 * record);
        table_.update(record, values);
    }
    table_.markDeleted(1000);
    const auto sumOf = [&](DbfTable& table) {
        double sum = 0;
        for (bool more = table.first(); more; more = table.next()) {
            sum += table.readDouble(table.currentRecord(), q1_);
        }
        return sum;
    };
    double expected = 0;
    for (int i = 1; i <= kRows; ++i) {
        expected += i == 1000 ? 0.0 : ((i - 7) % 301 == 0 ? -1.0 * i : i * 0.5);
    }
    EXPECT_EQ(sumOf(table_), expected);
    EXPECT_EQ(table_.read(308).number(q1_), -308.0);
    table_.close();
    table_.open(path_);
    EXPECT_EQ(sumOf(table_), expected);
    EXPECT_EQ(table_.liveCount(), static_cast<std::size_t>(kRows - 1));
}

// Scattered reads cache short runs of records and a walk whole blocks, so one record can be
// cached twice; a write must reach every copy.
TEST_F(OpenTableTest, WritesReachEveryCachedCopyOfARecord) {
    constexpr int kRows = 2000;
    for (int i = 1; i <= kRows; ++i) {
        add(i, i * 0.5);
    }
    table_.close();
    table_.open(path_);
    // Far apart: each read caches a short run around its record.
    EXPECT_EQ(table_.readDouble(5, q1_), 2.5);
    EXPECT_EQ(table_.readDouble(1500, q1_), 750.0);
    // Reading on from the start then caches whole blocks over the run holding record 5.
    for (std::uint32_t record = 1; record <= 300; ++record) {
        EXPECT_EQ(table_.readDouble(record, q1_), record * 0.5);
    }

    auto values = table_.read(5);
    values.setDouble(q1_, -5.0);
    table_.update(5, values);
    table_.markDeleted(5);
    // Record 5 read right after a record of its run, and right after one of its block only.
    for (const std::uint32_t before : {6U, 200U, 1500U, 6U}) {
        table_.read(before);
        EXPECT_EQ(table_.readDouble(5, q1_), -5.0) << "after record " << before;
        EXPECT_TRUE(table_.read(5).deleted()) << "after record " << before;
    }
}

TEST_F(OpenTableTest, UpdateRewritesOneRecordAndLeavesTheHeader) {
    add(1, 1.0);
    add(2, 2.0);
    // An old date in the file shows whether the header is written again.
    auto bytes = readBytes(path_);
    bytes[1] = 90;
    table_.close();
    writeBytes(path_, bytes);
    table_.open(path_);

    auto record = table_.read(2);
    record.setText(comment_, "новый");
    record.setDouble(q1_, -0.5);
    table_.update(2, record);
    const auto after = readBytes(path_);
    EXPECT_EQ(after[1], 90);
    EXPECT_EQ(after.size(), bytes.size());
    EXPECT_EQ(table_.read(2).text(comment_), "новый");
    EXPECT_EQ(table_.readDouble(2, q1_), -0.5);
    EXPECT_EQ(table_.read(1).text(comment_), "");
}

TEST_F(OpenTableTest, SortIndexOrdersNumbersNumericallyAndTextByStoredBytes) {
    add(1, 10.0, "б");
    add(2, -2.5, "а");
    add(3, 9.0, "Б");
    add(4, 100.0, "b");
    add(5, 9.0, "а");

    table_.addSortIndex("tab1", "TAVIS_1", false);
    EXPECT_EQ(walk(), (std::vector<long long>{1, 2, 3, 4, 5}));  // not selected yet
    table_.selectIndex("tab1");
    EXPECT_EQ(table_.selectedIndex(), "tab1");
    // Numerically, ties in file order: 100 after 10 and 9 (a text sort would not do that).
    EXPECT_EQ(walk(), (std::vector<long long>{2, 3, 5, 1, 4}));
    table_.addSortIndex("tab1", "TAVIS_1", true);
    EXPECT_EQ(walk(), (std::vector<long long>{4, 1, 3, 5, 2}));

    // Text by the bytes of code page 1251: Latin, then upper-case Cyrillic, then lower-case.
    table_.addSortIndex("tab1", "COMMENT", false);
    EXPECT_EQ(walk(), (std::vector<long long>{4, 3, 2, 5, 1}));

    // Appends and updates take their place in the selected order; deletions leave it.
    table_.addSortIndex("tab1", "TAVIS_1", false);
    add(6, 0.0);
    EXPECT_EQ(table_.currentRecord(), 6U);
    EXPECT_EQ(walk(), (std::vector<long long>{2, 6, 3, 5, 1, 4}));
    auto record = table_.read(2);
    record.setDouble(q1_, 50.0);
    table_.update(2, record);
    EXPECT_EQ(walk(), (std::vector<long long>{6, 3, 5, 1, 2, 4}));
    table_.markDeleted(3);
    EXPECT_EQ(walk(), (std::vector<long long>{6, 5, 1, 2, 4}));
    // Deleting several at once keeps the cursor on its record.
    table_.moveToRecord(2);
    const std::uint32_t several[] = {6, 4};
    table_.markDeleted(several);
    EXPECT_EQ(table_.currentRecord(), 2U);
    EXPECT_EQ(walk(), (std::vector<long long>{5, 1, 2}));

    table_.selectIndex(std::nullopt);
    EXPECT_EQ(walk(), (std::vector<long long>{1, 2, 5}));
    EXPECT_THROW(table_.selectIndex("other"), DbfError);
}

TEST_F(OpenTableTest, IndexFileExistsExactlyWhileASortIndexDoes) {
    add(1, 1.0);
    EXPECT_FALSE(std::filesystem::exists(indexFile()));
    EXPECT_EQ(indexFlagOnDisk(), 0);

    table_.addSortIndex("tab1", "TAVIS_1", true);
    EXPECT_TRUE(std::filesystem::exists(indexFile()));
    EXPECT_EQ(indexFlagOnDisk(), 1);
    table_.dropSortIndex("tab1");
    EXPECT_FALSE(std::filesystem::exists(indexFile()));
    EXPECT_EQ(indexFlagOnDisk(), 0);

    // Closing keeps the tag; a reopened table still sorts by it while its file is there.
    table_.addSortIndex("tab1", "TAVIS_1", true);
    table_.selectIndex("tab1");
    add(2, 2.0);
    table_.close();
    EXPECT_TRUE(std::filesystem::exists(indexFile()));
    EXPECT_EQ(indexFlagOnDisk(), 1);
    table_.open(path_);
    table_.selectIndex("tab1");
    EXPECT_EQ(walk(), (std::vector<long long>{2, 1}));
    table_.close();

    // The main window deletes the index file after closing: byte 28 stays 1 on disk until the
    // next header write.
    std::filesystem::remove(indexFile());
    table_.open(path_);
    EXPECT_EQ(table_.header().productionIndex, 0);
    EXPECT_EQ(indexFlagOnDisk(), 1);
    EXPECT_THROW(table_.selectIndex("tab1"), DbfError);
    add(3, 3.0);
    EXPECT_EQ(indexFlagOnDisk(), 0);
    EXPECT_FALSE(std::filesystem::exists(indexFile()));
}

TEST_F(OpenTableTest, ClosingFlushesAClearedIndexFlagWithoutChangingTheDate) {
    add(1, 1.0);
    table_.addSortIndex("tab1", "TAVIS_1", false);
    table_.close();
    std::filesystem::remove(indexFile());
    auto bytes = readBytes(path_);
    bytes[1] = 90;
    writeBytes(path_, bytes);

    table_.open(path_);
    table_.close();
    const auto after = readBytes(path_);
    EXPECT_EQ(after[28], 0);
    EXPECT_EQ(after[1], 90);
}

TEST_F(OpenTableTest, PackKeepsSurvivorsInOrderUnderTheSameName) {
    for (int i = 1; i <= 5; ++i) {
        add(i, i);
    }
    const auto before = readBytes(path_);
    table_.moveToRecord(4);
    table_.markDeleted(2);
    table_.markDeleted(5);
    table_.pack();

    const auto bytes = readBytes(path_);
    ASSERT_EQ(bytes.size(), 481U + 3 * 228 + 1);
    EXPECT_EQ(bytes[4], 3);
    EXPECT_EQ(bytes.back(), 0x1A);
    // Structure unchanged apart from the count; survivors byte for byte in their old order.
    EXPECT_TRUE(std::equal(bytes.begin() + 8, bytes.begin() + 481, before.begin() + 8));
    for (const auto& [now, was] : {std::pair{1, 1}, std::pair{2, 3}, std::pair{3, 4}}) {
        EXPECT_TRUE(std::equal(bytes.begin() + 481 + (now - 1) * 228,
                               bytes.begin() + 481 + now * 228,
                               before.begin() + 481 + (was - 1) * 228))
            << "record " << now;
    }
    EXPECT_FALSE(std::filesystem::exists(file("data_1.db")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_),
                            std::filesystem::directory_iterator()),
              1);

    // Still open, renumbered, on the same row, and still held exclusively.
    EXPECT_EQ(table_.recordCount(), 3U);
    EXPECT_EQ(table_.currentRecord(), 3U);
    EXPECT_EQ(walk(), (std::vector<long long>{1, 3, 4}));
    add(6, 6.0);
    EXPECT_EQ(readBytes(path_).size(), 481U + 4 * 228 + 1);
    DbfTable second;
    EXPECT_THROW(second.open(path_), DbfError);
}

TEST_F(OpenTableTest, PackTakesTheFirstFreeNameAndNeedsAnOpenTable) {
    add(1, 1.0);
    writeBytes(file("data_1.db"), {1, 2, 3});
    table_.markDeleted(1);
    table_.pack();
    EXPECT_EQ(readBytes(file("data_1.db")), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(file("data_2.db")));
    EXPECT_EQ(readBytes(path_).size(), 482U);

    table_.close();
    try {
        table_.pack();
        FAIL() << "packed a closed table";
    } catch (const DbfError& error) {
        EXPECT_EQ(std::string(error.what()), "Exclusive access is required for this operation.");
    }
}

// Russian users name folders and tables in Cyrillic: such a table is created, held against a
// second open, packed under its own name and opened again.
TEST_F(OpenTableTest, CyrillicNamesWorkThroughCreateOpenLockAndPack) {
    const auto folder = folder_ / std::filesystem::path(u8"Замеры");
    std::filesystem::create_directory(folder);
    const auto path = folder / std::filesystem::path(u8"объект №1.db");
    measurement::createMeasurementTable(path, measurement::kProgramLanguageId, pinnedDate);
    DbfTable table(pinnedDate);
    table.open(path);
    const int n = table.requireField("N");
    for (int i = 1; i <= 3; ++i) {
        auto record = table.blankRecord();
        record.setInteger(n, i);
        table.append(record);
    }
    DbfTable second;
    try {
        second.open(path);
        FAIL() << "opened twice";
    } catch (const DbfError& error) {
        const std::string text = error.what();
        EXPECT_TRUE(text.starts_with("Open: file is in use by another program: \"")) << text;
        const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
        EXPECT_TRUE(text.ends_with("Замеры" + std::string(1, separator) + "объект №1.db\"."))
            << text;
    }

    table.markDeleted(2);
    table.pack();
    std::vector<std::filesystem::path> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename());
    }
    EXPECT_EQ(names, std::vector{std::filesystem::path(u8"объект №1.db")});
    EXPECT_THROW(second.open(path), DbfError);

    table.close();
    second.open(path);
    EXPECT_EQ(second.recordCount(), 2U);
    EXPECT_EQ(second.read(2).asInteger(n), 3);
}

TEST_F(OpenTableTest, ReadersShareATableAndKeepWritersOut) {
    add(1, 1.0);
    table_.close();
    DbfTable reader;
    DbfTable another;
    reader.open(path_, OpenMode::ReadOnly);
    another.open(path_, OpenMode::ReadOnly);
    EXPECT_EQ(another.read(1).asInteger(n_), 1);
    EXPECT_THROW(table_.open(path_), DbfError);
    EXPECT_THROW(another.append(another.blankRecord()), DbfError);
    reader.close();
    another.close();
    table_.open(path_);
    EXPECT_THROW(reader.open(path_, OpenMode::ReadOnly), DbfError);
}

TEST_F(OpenTableTest, RemovedRecordsGoBackToTheirPlacesByteForByte) {
    for (int i = 1; i <= 7; ++i) {
        add(i, i * 0.5, "row " + std::to_string(i));
    }
    table_.close();
    const auto before = readBytes(path_);
    table_.open(path_);
    const std::uint32_t scattered[] = {6, 2, 3};
    table_.markDeleted(scattered);
    const RemovedRecords removed = table_.pack();
    EXPECT_EQ(removed.positions, (std::vector<std::uint32_t>{2, 3, 6}));
    EXPECT_EQ(walk(), (std::vector<long long>{1, 4, 5, 7}));

    table_.restoreRemoved(removed);
    EXPECT_EQ(walk(), (std::vector<long long>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(readBytes(path_), before);                     // the header date is pinned
    EXPECT_THROW(table_.restoreRemoved(removed), DbfError);  // once only: the count changed
}

TEST_F(OpenTableTest, AnotherFormatsHeaderFlagsSurviveOpenAndRepair) {
    table_.close();
    const auto foxPro = file("fox.dbf");
    writeBytes(foxPro, foxProTable(3));  // a wrong count: repaired on open
    DbfTable reader(pinnedDate);
    reader.open(foxPro, OpenMode::ReadOnly);
    EXPECT_EQ(reader.recordCount(), 1U);
    EXPECT_EQ(reader.read(1).text(0), "abcde");
    reader.close();
    EXPECT_EQ(readBytes(foxPro), foxProTable(3));  // looking changes nothing

    DbfTable writer(pinnedDate);
    writer.open(foxPro);
    writer.close();
    auto expected = foxProTable(1);
    expected[1] = 124;  // the repair's header write: 15.03.2024
    expected[2] = 3;
    expected[3] = 15;
    EXPECT_EQ(readBytes(foxPro), expected);
}

}  // namespace
}  // namespace zond::dbf
