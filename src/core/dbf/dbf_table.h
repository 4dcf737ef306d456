// dBase IV table files: the measurement tables of the program live in these.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "text/codepage.h"

namespace zond::dbf {

// Errors carry the text the user sees.
class DbfError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class FieldKind { Text, SmallInt, Int32, Int64, Float, Date, Logical, Memo };

// A field as asked for when a table is created.
struct FieldSpec {
    std::string name;
    FieldKind kind = FieldKind::Text;
    int width = 0;  // characters, for text fields only
};

struct DbfFieldDescriptor {
    std::string name;  // upper case
    char type = 'C';
    int width = 0;
    int decimals = 0;
    int offset = 0;  // inside the record; the deletion flag is byte 0
    FieldKind kind = FieldKind::Text;
};

struct DbfHeader {
    static constexpr std::size_t kSize = 32;

    std::uint8_t version = 0x03;
    std::uint8_t year = 0;  // minus 1900
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint32_t recordCount = 0;
    std::uint16_t headerLength = 0;
    std::uint16_t recordLength = 0;
    // Bytes 12-27: zero in the dBase tables written here, flags of their own in other variants.
    std::array<std::uint8_t, 16> reserved{};
    std::uint8_t productionIndex = 0;
    std::uint8_t languageId = 0;

    static DbfHeader parse(std::span<const std::uint8_t, kSize> bytes);
    void serialize(std::span<std::uint8_t, kSize> out) const;
};

// The date stamped into the header by every header write.
struct HeaderDate {
    int year = 1900;
    int month = 1;
    int day = 1;
};

// Where a table takes "today" from for its header writes; tests pin it.
using HeaderDateSource = std::function<HeaderDate()>;

// The local date: the source a table uses unless given another.
HeaderDate localDate();

// Language driver IDs: which single-byte code page a table's text is in.
int codePageOfLanguageId(std::uint8_t languageId);  // 0 when the ID names none we know
std::uint8_t languageIdOfCodePage(int codePage);    // the ID we write for that code page

class DbfTable;
struct RecordLayout;

enum class OpenMode {
    ReadWrite,  // exclusive: every operation
    ReadOnly,   // shared with other readers: repairs stay in memory, the file is never written
};

// The records a pack took out, as they were before they were marked deleted, with their record
// numbers before the pack: what undoing the deletion puts back.
struct RemovedRecords {
    std::uint32_t countBefore = 0;  // records in the file before the pack
    std::size_t recordLength = 0;
    std::vector<std::uint32_t> positions;  // ascending
    std::vector<std::uint8_t> bytes;       // recordLength bytes per position, in the same order

    bool empty() const { return positions.empty(); }
};

// The raw bytes of one record with typed access through the table's field list. Values are
// encoded and decoded in the table's code page; text in and out is UTF-8.
class DbfRecord {
  public:
    DbfRecord() = default;

    bool deleted() const { return !bytes_.empty() && bytes_[0] == '*'; }
    std::span<const std::uint8_t> bytes() const { return bytes_; }

    bool isNull(int field) const;
    std::string text(int field) const;              // trailing spaces removed
    std::optional<double> number(int field) const;  // null for an empty field; 0 for garbage
    double asDouble(int field) const { return number(field).value_or(0.0); }
    long long asInteger(int field) const;

    // Setters throw DbfError when the value does not fit its field; nothing is changed then.
    // setText returns false when a character had no place in the code page (stored as '?').
    bool setText(int field, std::string_view utf8);
    void setInteger(int field, long long value);
    void setDouble(int field, double value);
    void setNull(int field);

  private:
    friend class DbfTable;
    DbfRecord(std::shared_ptr<const RecordLayout> layout, std::vector<std::uint8_t> bytes)
        : layout_(std::move(layout)), bytes_(std::move(bytes)) {}

    const DbfFieldDescriptor& field(int index) const;
    std::span<std::uint8_t> fieldBytes(const DbfFieldDescriptor& descriptor);
    std::span<const std::uint8_t> fieldBytes(const DbfFieldDescriptor& descriptor) const;

    // Shared with the table, so a record stays usable after the table is closed.
    std::shared_ptr<const RecordLayout> layout_;
    std::vector<std::uint8_t> bytes_;
};

// One table file, opened exclusively. Rows are addressed by their record number (1-based
// position in the file) and, for display, by their position in the current order: file order or
// the order of the selected sort index, live records only. The order is a compact list of record
// numbers; records are read on demand.
class DbfTable {
  public:
    explicit DbfTable(HeaderDateSource headerDate = localDate);
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    // Writes a new empty table (replacing a file of that name) and closes it.
    static void create(const std::filesystem::path& path, std::span<const FieldSpec> fields,
                       std::uint8_t languageId, const HeaderDateSource& headerDate = localDate);

    void open(const std::filesystem::path& path, OpenMode mode = OpenMode::ReadWrite);
    void close();
    bool isOpen() const;
    const std::filesystem::path& path() const;
    const HeaderDateSource& headerDateSource() const;

    const DbfHeader& header() const;
    const std::vector<DbfFieldDescriptor>& fields() const;
    int fieldIndex(std::string_view name) const;    // case-insensitive; -1 when absent
    int requireField(std::string_view name) const;  // throws DbfError when absent
    const text::CodePage& codePage() const;

    // Records in the file, deleted ones included (the header's count).
    std::uint32_t recordCount() const;
    // Live records, counted by walking them.
    std::size_t liveCount() const;

    // Display order.
    std::size_t rowCount() const;
    std::uint32_t recordAt(std::size_t row) const;
    std::optional<std::size_t> rowOf(std::uint32_t record) const;

    DbfRecord read(std::uint32_t record) const;
    // Reads one field of many records cheaply (for statistics and sorting).
    double readDouble(std::uint32_t record, int field) const;
    // The raw bytes of a record (deletion flag first, fields at their descriptors' offsets),
    // valid until the next read: for walks that decode a few fields of every row themselves.
    std::span<const std::uint8_t> recordBytes(std::uint32_t record) const;

    // Cursor over the display order.
    bool first();
    bool next();
    bool last();
    bool eof() const;
    bool moveToRecord(std::uint32_t record);
    std::uint32_t currentRecord() const;
    DbfRecord current() const { return read(currentRecord()); }

    DbfRecord blankRecord() const;
    // Returns the new record's number; the cursor moves to it.
    std::uint32_t append(const DbfRecord& record);
    // Many records at once, in one write of their bytes and one of the count: all of them are
    // added or (on an error) none. Returns the number of the last; the cursor moves to it.
    std::uint32_t append(std::span<const DbfRecord> records);
    // The same for records given as their bytes one after another (as DbfRecord::bytes() holds
    // them), so a caller can gather many rows without a record object for each.
    std::uint32_t appendRecordBytes(std::span<const std::uint8_t> records);
    void update(std::uint32_t record, const DbfRecord& values);
    void markDeleted(std::uint32_t record);
    // Many records at once: the display order is compacted once instead of once per record.
    void markDeleted(std::span<const std::uint32_t> records);
    // Removes the deleted records physically: a complete copy is renamed over the file.
    RemovedRecords pack();
    // Deletes the records and packs in one file replacement, so a failure or a crash leaves the
    // table as it was or without them, never with some of them marked.
    RemovedRecords removeRecords(std::span<const std::uint32_t> records);
    // Puts the records a pack removed back at their former positions, byte for byte, the same
    // way. Throws DbfError when the table changed its record count since.
    void restoreRemoved(const RemovedRecords& removed);

    // Writes pending header bytes and flushes the records to disk.
    void sync();
    // Renames the open table's file (syncing it first) over `target`, for a table built under
    // another name. Throws DbfError, and keeps both files, when another program has the target
    // open or it cannot be opened for writing.
    void moveTo(const std::filesystem::path& target);

    // The transient sort index ("tab1" in the program) kept in an ".mdx" file beside the table.
    void addSortIndex(std::string_view tag, std::string_view field, bool descending);
    void dropSortIndex(std::string_view tag);
    void selectIndex(std::optional<std::string_view> tag);
    std::optional<std::string> selectedIndex() const;
    void rebuildIndexes();
    void refresh();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zond::dbf
