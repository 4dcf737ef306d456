// A workbook with one text cell, saved into a folder of its own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "xls/biff8_writer.h"
#include "xls/cell_value.h"
#include "xls/workbook.h"

namespace zond::xls::testing {

namespace fs = std::filesystem;

class SaveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("xls-save-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        book_.addWorksheet().range(0, 0, 0, 0).setValue(std::string("данные"));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string saveError(const fs::path& path) {
        try {
            Biff8Writer().save(book_, path);
        } catch (const XlsError& e) {
            return e.what();
        }
        return "saved";
    }

    static std::string contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::size_t filesInDir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
    Workbook book_;
};

}  // namespace zond::xls::testing
