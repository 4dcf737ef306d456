// Opens arbitrary bytes as a table file and, when that succeeds, reads every field of every row
// and makes the edits the input's first byte asks for: bit 0 a sort index, bit 1 an appended row,
// bit 2 a deletion and pack (each writes files, so not every run pays for all of them). The rest
// of the input is the file. The table's bytes live in a memfd, reached through a link in a folder
// of memory, where the sort index and the packed copy that are written beside a table go.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "dbf/dbf_table.h"
#include "memory_file.h"

namespace {

using namespace zond::dbf;

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

enum Edit : std::uint8_t { kSort = 1, kAppend = 2, kPack = 4 };

void exercise(DbfTable& table, std::uint8_t edits) {
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
    if (edits & kSort) {
        table.addSortIndex("tab1", table.fields().front().name, true);
        table.selectIndex("tab1");
    }
    if (edits & kAppend) {
        auto blank = table.blankRecord();
        (void)blank.setText(0, "Тест");
        table.append(blank);
    }
    if (edits & kPack) {
        if (table.rowCount() > 0) {
            table.markDeleted(table.recordAt(0));
        }
        table.pack();
    }
    if (edits & kSort) {
        table.dropSortIndex("tab1");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    static const MemoryFile file("dbf_open_fuzz");
    static const std::filesystem::path link = linkFolder() / "table.db";
    static bool linked = false;
    file.fill(std::span(data + 1, size - 1));
    if (!linked) {
        std::filesystem::remove(link);
        std::filesystem::create_symlink(file.path(), link);
        linked = true;
    }
    DbfTable table;
    try {
        table.open(link);
        linked = (data[0] & kPack) == 0;  // a pack renames its copy over the link
        exercise(table, data[0]);
    } catch (const DbfError&) {
    }
    return 0;
}
