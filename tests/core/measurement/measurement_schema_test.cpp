// Opening measurement tables: fields bound by name and kind, and the language of new tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "dbf/locked_file.h"
#include "dbf/pending_table.h"
#include "dbf_test_files.h"
#include "measurement/measurement_schema.h"

namespace zond::measurement {
namespace {

using dbf::DbfError;
using dbf::DbfTable;
using dbf::FieldKind;
using dbf::FieldSpec;

class MeasurementSchemaTest : public testing::TableFolderTest {
  protected:
    // The measurement fields with one changed (or left out when `kind` is empty).
    std::vector<FieldSpec> fieldsWith(const std::string& name, std::optional<FieldKind> kind,
                                      int width = 0) {
        std::vector<FieldSpec> fields;
        for (const auto& field : measurementFields()) {
            if (field.name != name) {
                fields.push_back(field);
            } else if (kind) {
                fields.push_back({field.name, *kind, width});
            }
        }
        return fields;
    }

    std::string openError(const std::vector<FieldSpec>& fields) {
        const auto path = file("t.db");
        DbfTable::create(path, fields, kProgramLanguageId);
        DbfTable table;
        try {
            openMeasurementTable(table, path);
        } catch (const DbfError& error) {
            EXPECT_FALSE(table.isOpen());
            table.open(path);  // the failed open let go of the file
            return error.what();
        }
        return {};
    }
};

TEST_F(MeasurementSchemaTest, FieldsAreBoundByNameInAnyOrder) {
    const auto path = file("t.db");
    createMeasurementTable(path);
    DbfTable table;
    const auto bound = openMeasurementTable(table, path);
    EXPECT_EQ(bound.n, 0);
    EXPECT_EQ(bound.tavis1, 8);
    EXPECT_EQ(bound.comment, 13);
    table.close();

    std::vector<FieldSpec> reversed(measurementFields().rbegin(), measurementFields().rend());
    reversed[0] = {"comment", FieldKind::Text, 80};  // lower case, other width
    reversed[13] = {"N", FieldKind::Int64, 0};       // any integer kind will do
    DbfTable::create(path, reversed, kProgramLanguageId);
    const auto rebound = openMeasurementTable(table, path);
    EXPECT_EQ(rebound.comment, 0);
    EXPECT_EQ(rebound.n, 13);
    EXPECT_EQ(rebound.tavis(), (std::array<int, 3>{5, 4, 3}));
}

TEST_F(MeasurementSchemaTest, MissingOrIncompatibleFieldsFailTheOpen) {
    EXPECT_EQ(openError(fieldsWith("COMMENT", std::nullopt)), "Field \"COMMENT\" not found.");
    EXPECT_EQ(openError(fieldsWith("TAVIS_2", FieldKind::Int64)),
              "Field \"TAVIS_2\" has an incompatible type.");
    EXPECT_EQ(openError(fieldsWith("MODE", FieldKind::SmallInt)),
              "Field \"MODE\" has an incompatible type.");
    EXPECT_EQ(openError(fieldsWith("CHANNEL", FieldKind::Text, 4)),
              "Field \"CHANNEL\" has an incompatible type.");
    EXPECT_EQ(openError(fieldsWith("EN_CH", FieldKind::Int32)), "");
}

TEST_F(MeasurementSchemaTest, NewTablesTakeTheLanguageOfTheTableOpenedLast) {
    NewTableLanguage language;
    EXPECT_EQ(language.id(), 0xC9);
    const auto path = file("t.db");
    // Code page 1252 (0x57, 0x03) cannot hold the program's Russian texts: 1251 instead.
    for (const auto& [opened, next] :
         {std::pair{0x26, 0x26}, std::pair{0x00, 0xC9}, std::pair{0x57, 0xC9},
          std::pair{0x65, 0x65}, std::pair{0x03, 0xC9}, std::pair{0xF0, 0xC9}}) {
        createMeasurementTable(path, static_cast<std::uint8_t>(opened));
        DbfTable table;
        openMeasurementTable(table, path);
        language.noteOpened(table);
        EXPECT_EQ(language.id(), next) << "after a table with ID " << opened;
    }
}

TEST_F(MeasurementSchemaTest, FailedCreateLeavesTheOldTableAndNoPartialFile) {
    const auto path = file("t.db");
    createMeasurementTable(path);
    DbfTable table;
    openMeasurementTable(table, path);
    table.append(table.blankRecord());
    table.close();
    const auto before = testing::readBytes(path);
    try {
        createMeasurementTable(table, path, kProgramLanguageId, [&](const auto&) {
            table.append(table.blankRecord());
            throw DbfError("transfer broke");
        });
        FAIL() << "the failure was lost";
    } catch (const DbfError& error) {
        EXPECT_STREQ(error.what(), "transfer broke");
    }
    EXPECT_FALSE(table.isOpen());
    EXPECT_EQ(testing::readBytes(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);

    // Complete: in place under the name, still open, and the old table is gone.
    createMeasurementTable(table, path, kProgramLanguageId,
                           [&](const auto&) { table.append(table.blankRecord()); });
    EXPECT_EQ(table.path(), path);
    table.append(table.blankRecord());
    table.close();
    EXPECT_EQ(testing::readBytes(path).size(), 481U + 2 * 228 + 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(MeasurementSchemaTest, PartialFileOfAKilledCreateIsRemovedByTheNextOne) {
    const auto path = file("t.db");
    const auto abandoned = file(dbf::partialNamePrefix(path) + "99999-1.tmp");
    const auto held = file(dbf::partialNamePrefix(path) + "99998-1.tmp");
    testing::writeBytes(abandoned, {1, 2, 3});
    testing::writeBytes(held, {4, 5, 6});
    dbf::LockedFile lock;  // a create still running holds its file locked
    ASSERT_EQ(lock.open(held, false), dbf::LockedFile::Status::Ok);

    createMeasurementTable(path);
    EXPECT_FALSE(std::filesystem::exists(abandoned));
    EXPECT_TRUE(std::filesystem::exists(held));
    EXPECT_EQ(testing::readBytes(path).size(), 482U);
}

// A table another program has open is not replaced under it, whether it is held when the new one
// is asked for or only by the time it is complete; a target that cannot be written is named as
// the user gave it, before any transfer.
TEST_F(MeasurementSchemaTest, NewTableNeverReplacesATableInUse) {
    const auto path = file("t.db");
    createMeasurementTable(path);
    const auto before = testing::readBytes(path);
    DbfTable other;
    other.open(path);
    EXPECT_THROW(checkNewTableTarget(path), DbfError);
    other.close();

    DbfTable table;
    try {
        createMeasurementTable(table, path, kProgramLanguageId, [&](const auto&) {
            table.append(table.blankRecord());
            other.open(path);
        });
        FAIL() << "a table in use was replaced";
    } catch (const DbfError& error) {
        EXPECT_NE(std::string(error.what()).find("in use"), std::string::npos) << error.what();
    }
    other.close();
    EXPECT_EQ(testing::readBytes(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);

    for (const auto& target : {file("missing/t.db"), folder_}) {
        try {
            checkNewTableTarget(target);
            FAIL() << "accepted " << target;
        } catch (const DbfError& error) {
            EXPECT_EQ(std::string(error.what()).find(".partial-"), std::string::npos)
                << error.what();
        }
    }
}

}  // namespace
}  // namespace zond::measurement
