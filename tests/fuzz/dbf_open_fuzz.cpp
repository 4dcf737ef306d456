// Opens arbitrary bytes as a table file and, when that succeeds, reads every field of every row,
// sorts, appends, deletes and packs. The structure reader is also run on the bytes in memory.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "dbf/dbf_layout.h"
#include "dbf/dbf_table.h"

namespace {

using namespace zond::dbf;

const std::filesystem::path& tablePath() {
    static const std::filesystem::path path = [] {
        const auto folder = std::filesystem::temp_directory_path() /
                            ("dbf_open_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        return folder / "table.db";
    }();
    return path;
}

void readStructureInMemory(std::span<const std::uint8_t> bytes) {
    try {
        readStructure(
            [&](std::uint64_t offset, std::span<std::uint8_t> out) {
                if (offset > bytes.size() || bytes.size() - offset < out.size()) {
                    return false;
                }
                std::memcpy(out.data(), bytes.data() + offset, out.size());
                return true;
            },
            bytes.size());
    } catch (const DbfError&) {
    }
}

void exercise(DbfTable& table) {
    const int fieldCount = static_cast<int>(table.fields().size());
    for (bool more = table.first(); more; more = table.next()) {
        const auto record = table.current();
        for (int field = 0; field < fieldCount; ++field) {
            (void)record.text(field);
            (void)record.number(field);
            (void)record.isNull(field);
            (void)table.readDouble(table.currentRecord(), field);
        }
    }
    table.addSortIndex("tab1", table.fields().front().name, true);
    table.selectIndex("tab1");
    auto blank = table.blankRecord();
    (void)blank.setText(0, "Тест");
    table.append(blank);
    table.markDeleted(table.recordAt(0));
    table.pack();
    table.dropSortIndex("tab1");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    readStructureInMemory(bytes);
    {
        std::ofstream out(tablePath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    DbfTable table;
    try {
        table.open(tablePath());
        exercise(table);
    } catch (const DbfError&) {
    }
    return 0;
}
