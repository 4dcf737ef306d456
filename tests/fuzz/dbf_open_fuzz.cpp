// Opens arbitrary bytes as a table file and, when that succeeds, reads every field of every row
// and makes the edits the input's first byte asks for: bit 0 a sort index, bit 1 an appended row,
// bit 2 a deletion and pack. The rest of the input is the file. The table layer keeps its files
// in memory here, the sort index and the packed copy beside the table included.
#include <cstddef>
#include <cstdint>
#include <span>

#include "dbf/dbf_table.h"
#include "dbf/memory_files.h"

namespace {

using namespace zond::dbf;

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
    static const std::filesystem::path path = "/fuzz/table.db";
    putMemoryFile(path, std::span(data + 1, size - 1));
    DbfTable table;
    try {
        table.open(path);
        exercise(table, data[0]);
    } catch (const DbfError&) {
    }
    return 0;
}
