// A test fixture with its own measurement table in the temporary folder: created and opened before
// each case, removed after it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"

namespace zond::testing {

class MeasurementTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                (std::string(test->test_suite_name()) + "_" + test->name() + "_" +
                 std::to_string(::getpid()) + ".db");
        measurement::createMeasurementTable(path_);
        fields_ = measurement::openMeasurementTable(table_, path_);
    }
    void TearDown() override {
        table_.close();
        std::filesystem::remove(path_);
    }

    std::filesystem::path path_;
    dbf::DbfTable table_;
    measurement::MeasurementFieldIndexes fields_;
};

}  // namespace zond::testing
