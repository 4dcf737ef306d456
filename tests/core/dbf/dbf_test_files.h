// Files for the table-module tests: a private folder per test, whole-file reads and writes, and
// a pinned header date.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dbf/dbf_table.h"

namespace zond::testing {

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::string textOf(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t n) {
    return {reinterpret_cast<const char*>(bytes.data()) + at, n};
}

// Every test gets an empty folder of its own, and a date source for header writes dated 15.03.2024.
class TableFolderTest : public ::testing::Test {
  protected:
    static dbf::HeaderDate pinnedDate() { return {2024, 3, 15}; }

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("zond-dbf-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" +
                   info->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }

    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path file(const std::string& name) const { return folder_ / name; }

    std::filesystem::path folder_;
};

}  // namespace zond::testing
