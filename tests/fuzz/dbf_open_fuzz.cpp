// Opens arbitrary bytes as a table file and, when that succeeds, reads every field of every row,
// sorts, appends, deletes and packs. The structure reader is also run on the bytes in memory.
// The table's bytes live in a memfd, reached through a link in a folder of memory, where the sort
// index and the packed copy that are written beside a table go.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "dbf/dbf_layout.h"
#include "dbf/dbf_table.h"
#include "memory_file.h"

namespace {

using namespace zond::dbf;

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

// libFuzzer may end the process without running exit handlers, so each run first clears the
// folders of runs that are gone.
void removeStaleFolders(const std::filesystem::path& base, std::string_view prefix) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(base, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix) && ::kill(std::atoi(name.c_str() + prefix.size()), 0) != 0 &&
            errno == ESRCH) {
            std::filesystem::remove_all(entry.path(), ignored);
        }
    }
}

std::filesystem::path linkFolder() {
    const std::filesystem::path memory = "/dev/shm";
    const auto base =
        std::filesystem::is_directory(memory) ? memory : std::filesystem::temp_directory_path();
    constexpr std::string_view kPrefix = "dbf_open_fuzz_";
    removeStaleFolders(base, kPrefix);
    const auto folder = base / (std::string(kPrefix) + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder;
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
    static const MemoryFile file("dbf_open_fuzz");
    static const std::filesystem::path link = linkFolder() / "table.db";
    file.fill(bytes);
    std::filesystem::remove(link);  // a pack renames its copy over the link
    std::filesystem::create_symlink(file.path(), link);
    DbfTable table;
    try {
        table.open(link);
        exercise(table);
    } catch (const DbfError&) {
    }
    return 0;
}
