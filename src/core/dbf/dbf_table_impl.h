// The state of an open table, shared by the parts of DbfTable: file operations (dbf_table.cpp),
// display order and cursor (dbf_display_order.cpp) and the sort index (dbf_sort_index.cpp).
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dbf/dbf_layout.h"
#include "dbf/dbf_table.h"
#include "dbf/locked_file.h"
#include "dbf/record_cache.h"

namespace zond::dbf {

inline constexpr const char* kWriteError = "Error while writing occurred. (Disk full?)";
inline constexpr const char* kReadError = "Error while reading occurred.";

inline constexpr std::size_t kScanBytes = 1 << 20;

// A path as the table's messages show it: in double quotes.
std::string quoted(const std::filesystem::path& path);
// "OPERATION: file is in use by another program: "PATH"."
std::string inUseMessage(std::string_view operation, const std::filesystem::path& path);
// The file a new table is to replace, held so that no other program opens it meanwhile (closed
// when there is none). Throws DbfError when another program has it open or it cannot be opened
// for writing (a folder, a read-only file): such a file is not replaced.
LockedFile holdForReplacing(const std::filesystem::path& target);

// Field and tag names compare without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b);

struct SortTag {
    std::string name;
    int field = 0;
    bool descending = false;
};

struct DbfTable::Impl {
    explicit Impl(HeaderDateSource date) : headerDate(std::move(date)) {}

    HeaderDateSource headerDate;
    LockedFile file;
    std::filesystem::path path;
    DbfHeader header;
    std::shared_ptr<RecordLayout> layout = std::make_shared<RecordLayout>();
    bool headerDirty = false;  // the header in memory differs from the file's
    bool readOnly = false;
    DbfVariant variant = DbfVariant::DBase;
    // Deletion flags of records as they were before markDeleted, until the next pack.
    std::unordered_map<std::uint32_t, std::uint8_t> flagsBeforeMark;
    mutable RecordCache cache;

    std::vector<std::uint32_t> order;  // record numbers of the live records in display order
    std::size_t row = 0;
    bool atEof = true;

    std::vector<SortTag> tags;
    std::optional<std::size_t> selected;

    // File access.
    std::uint64_t offsetOf(std::uint32_t record) const {
        return header.headerLength + std::uint64_t{record - 1} * header.recordLength;
    }
    std::uint64_t endOfRecords() const {
        return header.headerLength + std::uint64_t{header.recordCount} * header.recordLength;
    }

    void requireOpen() const;
    void requireWritable() const;
    void requireRecord(std::uint32_t record) const;
    const DbfFieldDescriptor& fieldAt(int index) const;

    // Header write: the 32 header bytes, with today's date when `stamp`, and the end-of-file byte
    // after the last record when `endMarker`.
    void writeHeader(bool stamp, bool endMarker);
    // Appends whole records given as their bytes (each record's flag is set live here), in one
    // write with the end-of-file byte, then the count. Returns the number of the last.
    std::uint32_t appendRecords(std::vector<std::uint8_t> bytes);
    // Writes a header still pending and closes the file; a failed header write is thrown after
    // the file is closed.
    void closeFile();

    // Calls visit(record, bytes) for every record in file order, reading about a MiB at a time.
    template <typename Visit>
    void scanRecords(const LockedFile& source, Visit&& visit) const {
        const std::size_t length = header.recordLength;
        const std::uint32_t perChunk =
            static_cast<std::uint32_t>(std::max<std::size_t>(1, kScanBytes / length));
        std::vector<std::uint8_t> chunk;
        for (std::uint32_t first = 1; first <= header.recordCount; first += perChunk) {
            const std::uint32_t count = std::min(perChunk, header.recordCount - first + 1);
            chunk.resize(std::size_t{count} * length);
            if (!source.readAt(offsetOf(first), chunk)) {
                throw DbfError(kReadError);
            }
            for (std::uint32_t i = 0; i < count; ++i) {
                visit(first + i, chunk.data() + std::size_t{i} * length);
            }
        }
    }

    // Builds a new file for the table beside it from the header and descriptors and the records
    // `fill` hands to its sink, and renames it over the table when complete and on disk; the table
    // then reads the new file.
    using RecordSink = std::function<void(const std::uint8_t* record)>;
    void replaceFile(const std::function<void(const RecordSink&)>& fill);

    std::span<const std::uint8_t> fieldOf(const std::uint8_t* record,
                                          const DbfFieldDescriptor& field) const {
        return {record + field.offset, static_cast<std::size_t>(field.width)};
    }

    // Display order and cursor.
    std::vector<std::uint32_t> fileOrder() const;
    // Where a live record belongs in the current order.
    std::size_t placeOf(std::uint32_t record) const;
    std::optional<std::size_t> rowOf(std::uint32_t record) const;
    std::size_t insertIntoOrder(std::uint32_t record);
    void removeFromOrder(std::uint32_t record);
    // Removes the records flagged in `gone` (indexed by record number) from the order in one
    // pass, staying on the same row where its record survives.
    void removeFromOrder(const std::vector<bool>& gone);
    void clampCursor();
    // Recomputes the display order, staying on the same record where it survives.
    void rebuildOrder(std::optional<std::uint32_t> keep);
    std::optional<std::uint32_t> currentRecord() const;

    // Sort index.
    std::vector<std::uint32_t> sortedOrder(const SortTag& tag) const;
    // Where a live record belongs in the order of `tag`.
    std::size_t sortedPlaceOf(const SortTag& tag, std::uint32_t record) const;
    // At open: the tags of the index file the header announces.
    void loadSortTags();
    void writeIndexFile();
    // Tags of an index file this module wrote earlier; anything else gives none.
    std::vector<SortTag> readIndexFile() const;
    std::optional<std::size_t> tagIndex(std::string_view name) const;
};

}  // namespace zond::dbf
