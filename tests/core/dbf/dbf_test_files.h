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

// A FoxPro table (version 0x30) with its own flags in bytes 12-27 and 28, and one record.
inline std::vector<std::uint8_t> foxProTable(std::uint32_t countInHeader) {
    std::vector<std::uint8_t> bytes(32, 0);
    bytes[0] = 0x30;
    bytes[1] = 120;
    bytes[2] = 5;
    bytes[3] = 6;
    bytes[4] = static_cast<std::uint8_t>(countInHeader);
    bytes[8] = 0x48;  // header length 328: 32 + one descriptor + 0x0D + 263-byte backlink
    bytes[9] = 0x01;
    bytes[10] = 6;  // record length: flag and NAME
    for (int i = 12; i < 28; ++i) {
        bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    bytes[28] = 0x03;  // FoxPro: has a structural index and a memo
    bytes[29] = 0x03;
    const std::uint8_t field[32] = {'N', 'A', 'M', 'E', 0, 0, 0, 0, 0, 0, 0, 'C', 1, 0, 0, 0, 5};
    bytes.insert(bytes.end(), field, field + 32);
    bytes.push_back(0x0D);
    bytes.resize(328, 0);
    for (const char ch : std::string(" abcde")) {
        bytes.push_back(static_cast<std::uint8_t>(ch));
    }
    bytes.push_back(0x1A);
    return bytes;
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
