// An open measurement table in a folder of its own, with helpers to add and walk rows.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "dbf_test_files.h"
#include "measurement/measurement_schema.h"

namespace zond::testing {

class OpenTableTest : public TableFolderTest {
  protected:
    void SetUp() override {
        TableFolderTest::SetUp();
        path_ = file("data.db");
        measurement::createMeasurementTable(path_, measurement::kProgramLanguageId, pinnedDate);
        table_.open(path_);
        n_ = table_.requireField("N");
        q1_ = table_.requireField("TAVIS_1");
        comment_ = table_.requireField("COMMENT");
    }

    void TearDown() override {
        table_.close();
        TableFolderTest::TearDown();
    }

    std::uint32_t add(int n, double q1, const std::string& comment = {}) {
        auto record = table_.blankRecord();
        record.setInteger(n_, n);
        record.setDouble(q1_, q1);
        record.setText(comment_, comment);
        return table_.append(record);
    }

    // N of the rows in display order, walked with the cursor.
    std::vector<long long> walk() {
        std::vector<long long> seen;
        for (bool more = table_.first(); more; more = table_.next()) {
            seen.push_back(table_.current().asInteger(n_));
        }
        EXPECT_TRUE(table_.eof());
        return seen;
    }

    std::filesystem::path indexFile() const { return file("data.mdx"); }
    std::uint8_t indexFlagOnDisk() const { return readBytes(path_).at(28); }

    std::filesystem::path path_;
    dbf::DbfTable table_{pinnedDate};
    int n_ = -1;
    int q1_ = -1;
    int comment_ = -1;
};

}  // namespace zond::testing
