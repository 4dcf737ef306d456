// A table's file operations: create, open and close, records read, written and deleted, and
// pack.
#include "dbf/dbf_table.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <utility>

#include "dbf/dbf_layout.h"
#include "dbf/dbf_table_impl.h"
#include "dbf/locked_file.h"
#include "dbf/pending_table.h"
#include "fileio/temporary_name.h"
#include "text/path_text.h"

namespace zond::dbf {

namespace {

const char* const kExclusiveRequired = "Exclusive access is required for this operation.";
const char* const kNotOpen = "Table is not open.";
const char* const kReadOnly = "Table is open for reading only.";
constexpr std::uint64_t kStructureReadBytes = 4096;

const text::CodePage& codePageForLanguage(std::uint8_t languageId) {
    const int number = codePageOfLanguageId(languageId);
    try {
        return text::CodePage::get(number != 0 ? number : text::CodePage::kProgramCodePage);
    } catch (const std::invalid_argument&) {
        return text::CodePage::get(text::CodePage::kProgramCodePage);
    }
}

}  // namespace

std::string quoted(const std::filesystem::path& path) {
    return "\"" + text::pathText(path) + "\"";
}

std::string inUseMessage(std::string_view operation, const std::filesystem::path& path) {
    return std::string(operation) + ": file is in use by another program: " + quoted(path) + ".";
}

LockedFile holdForReplacing(const std::filesystem::path& target) {
    LockedFile file;
    switch (file.open(target, false)) {
        case LockedFile::Status::Ok:
        case LockedFile::Status::NotFound:
            return file;
        case LockedFile::Status::InUse:
            throw DbfError(inUseMessage("Create", target));
        case LockedFile::Status::Failed:
            break;
    }
    throw DbfError("Create: cannot replace file " + quoted(target) + ".");
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return x == y || upperAscii(x) == upperAscii(y);
           });
}

void DbfTable::Impl::requireOpen() const {
    if (!file.isOpen()) {
        throw DbfError(kNotOpen);
    }
}

void DbfTable::Impl::requireWritable() const {
    requireOpen();
    if (readOnly) {
        throw DbfError(kReadOnly);
    }
}

void DbfTable::Impl::requireRecord(std::uint32_t record) const {
    requireOpen();
    if (record == 0 || record > header.recordCount) {
        throw DbfError("Record " + std::to_string(record) + " does not exist.");
    }
}

const DbfFieldDescriptor& DbfTable::Impl::fieldAt(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= layout->fields.size()) {
        throw DbfError("Field index " + std::to_string(index) + " out of range.");
    }
    return layout->fields[static_cast<std::size_t>(index)];
}

void DbfTable::Impl::writeHeader(bool stamp, bool endMarker) {
    requireWritable();
    if (stamp) {
        stampDate(header, headerDate());
    }
    std::array<std::uint8_t, DbfHeader::kSize> bytes{};
    header.serialize(bytes);
    if (!file.writeAt(0, bytes) ||
        (endMarker && !file.writeAt(endOfRecords(), std::span(&kEndOfFile, 1)))) {
        throw DbfError(kWriteError);
    }
    headerDirty = false;
}

DbfTable::DbfTable(HeaderDateSource headerDate)
    : impl_(std::make_unique<Impl>(std::move(headerDate))) {}

DbfTable::~DbfTable() {
    try {
        impl_->closeFile();
    } catch (const DbfError&) {
        // Nothing more can be done for the header bytes of a table being destroyed.
    }
}

void DbfTable::create(const std::filesystem::path& path, std::span<const FieldSpec> fields,
                      std::uint8_t languageId, const HeaderDateSource& headerDate) {
    std::vector<std::uint8_t> bytes = buildStructure(fields, languageId, headerDate());
    bytes.push_back(kEndOfFile);
    LockedFile file;
    switch (file.open(path, true)) {
        case LockedFile::Status::Ok:
            break;
        case LockedFile::Status::InUse:
            throw DbfError(inUseMessage("Create", path));
        default:
            throw DbfError("Create: cannot create file " + quoted(path) + ".");
    }
    if (!file.truncate(0) || !file.writeAt(0, bytes)) {
        file.close();
        removeFile(path);
        throw DbfError(kWriteError);
    }
}

void DbfTable::open(const std::filesystem::path& requested, OpenMode mode) {
    const std::filesystem::path path = requested;  // may be this table's own path()
    close();
    Impl& s = *impl_;
    s.readOnly = mode == OpenMode::ReadOnly;
    switch (s.readOnly ? s.file.openShared(path) : s.file.open(path, false)) {
        case LockedFile::Status::Ok:
            break;
        case LockedFile::Status::NotFound:
            throw DbfError("Open: file not found: " + quoted(path) + ".");
        case LockedFile::Status::InUse:
            throw DbfError(inUseMessage("Open", path));
        case LockedFile::Status::Failed:
            throw DbfError("Open: cannot open file " + quoted(path) + ".");
    }
    try {
        const std::uint64_t fileSize = s.file.size();
        // The structure is read from the file's first bytes, taken in one read: a header with
        // its field descriptors is rarely longer.
        std::vector<std::uint8_t> start(
            static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kStructureReadBytes)));
        if (!s.file.readAt(0, start)) {
            throw DbfError(kReadError);
        }
        DbfStructure structure = readStructure(
            [&](std::uint64_t offset, std::span<std::uint8_t> out) {
                if (offset <= start.size() && out.size() <= start.size() - offset) {
                    std::copy_n(start.begin() + static_cast<std::ptrdiff_t>(offset), out.size(),
                                out.begin());
                    return true;
                }
                return s.file.readAt(offset, out);
            },
            fileSize);
        s.path = path;
        s.header = structure.header;
        s.variant = structure.variant;
        if (s.variant == DbfVariant::DBase) {
            s.header.reserved.fill(0);  // written as zero by every header write of a dBase table
        }
        auto layout = std::make_shared<RecordLayout>();
        layout->fields = std::move(structure.fields);
        layout->codePage = &codePageForLanguage(s.header.languageId);
        layout->recordLength = s.header.recordLength;
        s.layout = std::move(layout);
        s.cache.reset(&s.file, s.header.headerLength, s.header.recordLength);

        s.loadSortTags();
        const std::uint64_t records = (fileSize - s.header.headerLength) / s.header.recordLength;
        if (records != s.header.recordCount) {
            s.header.recordCount = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(records, std::numeric_limits<std::uint32_t>::max()));
            if (!s.readOnly) {
                s.writeHeader(true, true);
            }
        }
        s.rebuildOrder(std::nullopt);
    } catch (...) {
        s.headerDirty = false;
        close();
        throw;
    }
}

void DbfTable::Impl::closeFile() {
    if (!file.isOpen()) {
        return;
    }
    std::optional<DbfError> failure;
    if (headerDirty && !readOnly) {
        try {
            writeHeader(false, false);
        } catch (const DbfError& error) {
            failure = error;
        }
    }
    file.close();
    if (failure) {
        throw *failure;
    }
}

void DbfTable::close() {
    Impl& s = *impl_;
    if (!s.file.isOpen()) {
        return;
    }
    std::optional<DbfError> failure;
    try {
        s.closeFile();
    } catch (const DbfError& error) {
        failure = error;
    }
    impl_ = std::make_unique<Impl>(std::move(s.headerDate));
    if (failure) {
        throw *failure;
    }
}

bool DbfTable::isOpen() const {
    return impl_->file.isOpen();
}
const std::filesystem::path& DbfTable::path() const {
    return impl_->path;
}
const HeaderDateSource& DbfTable::headerDateSource() const {
    return impl_->headerDate;
}
const DbfHeader& DbfTable::header() const {
    return impl_->header;
}
const std::vector<DbfFieldDescriptor>& DbfTable::fields() const {
    return impl_->layout->fields;
}

int DbfTable::fieldIndex(std::string_view name) const {
    const auto& fields = impl_->layout->fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (sameName(fields[i].name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int DbfTable::requireField(std::string_view name) const {
    const int index = fieldIndex(name);
    if (index < 0) {
        throw DbfError("Field \"" + std::string(name) + "\" not found.");
    }
    return index;
}

const text::CodePage& DbfTable::codePage() const {
    const auto* page = impl_->layout->codePage;
    return page != nullptr ? *page : text::CodePage::get(text::CodePage::kProgramCodePage);
}

std::uint32_t DbfTable::recordCount() const {
    return impl_->header.recordCount;
}

DbfRecord DbfTable::read(std::uint32_t record) const {
    const Impl& s = *impl_;
    s.requireRecord(record);
    const auto* bytes = s.cache.record(record, s.header.recordCount);
    return DbfRecord(s.layout, std::vector<std::uint8_t>(bytes, bytes + s.header.recordLength));
}

double DbfTable::readDouble(std::uint32_t record, int field) const {
    const Impl& s = *impl_;
    s.requireRecord(record);
    const auto& descriptor = s.fieldAt(field);
    const auto* bytes = s.cache.record(record, s.header.recordCount);
    return decodeNumber(descriptor, s.fieldOf(bytes, descriptor)).value_or(0.0);
}

std::span<const std::uint8_t> DbfTable::recordBytes(std::uint32_t record) const {
    const Impl& s = *impl_;
    s.requireRecord(record);
    return {s.cache.record(record, s.header.recordCount), s.header.recordLength};
}

DbfRecord DbfTable::blankRecord() const {
    const Impl& s = *impl_;
    s.requireOpen();
    return DbfRecord(s.layout, std::vector<std::uint8_t>(s.header.recordLength, kLiveFlag));
}

namespace {

void requireSameLayout(const DbfRecord& record, std::size_t recordLength) {
    if (record.bytes().size() != recordLength) {
        throw DbfError("The record does not belong to this table.");
    }
}

}  // namespace

std::uint32_t DbfTable::append(const DbfRecord& record) {
    return append(std::span(&record, 1));
}

std::uint32_t DbfTable::append(std::span<const DbfRecord> records) {
    Impl& s = *impl_;
    s.requireWritable();
    std::vector<std::uint8_t> bytes;
    bytes.reserve(records.size() * s.header.recordLength + 1);
    for (const DbfRecord& record : records) {
        requireSameLayout(record, s.header.recordLength);
        bytes.insert(bytes.end(), record.bytes().begin(), record.bytes().end());
    }
    return s.appendRecords(std::move(bytes));
}

std::uint32_t DbfTable::appendRecordBytes(std::span<const std::uint8_t> records) {
    Impl& s = *impl_;
    s.requireWritable();
    if (records.size() % s.header.recordLength != 0) {
        throw DbfError("The records do not belong to this table.");
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(records.size() + 1);
    bytes.assign(records.begin(), records.end());
    return s.appendRecords(std::move(bytes));
}

std::uint32_t DbfTable::Impl::appendRecords(std::vector<std::uint8_t> bytes) {
    const std::size_t length = header.recordLength;
    const std::size_t count = bytes.size() / length;
    const std::uint32_t first = header.recordCount + 1;
    if (count > std::numeric_limits<std::uint32_t>::max() - header.recordCount) {
        throw DbfError(kWriteError);
    }
    if (count == 0) {
        return header.recordCount;
    }
    for (std::size_t at = 0; at < bytes.size(); at += length) {
        bytes[at] = kLiveFlag;
    }
    bytes.push_back(kEndOfFile);

    const std::uint32_t last = first + static_cast<std::uint32_t>(count - 1);
    const DbfHeader before = header;
    // The records (with the end-of-file byte) go in before the count that announces them, and a
    // rollback puts the count back before it cuts the file: whichever write fails, the count on
    // disk never names a record that is not all there.
    try {
        if (!file.writeAt(offsetOf(first), bytes)) {
            throw DbfError(kWriteError);
        }
        header.recordCount = last;
        writeHeader(true, false);
    } catch (const DbfError&) {
        header = before;
        try {
            writeHeader(false, true);
            if (file.size() > endOfRecords() + 1) {
                file.truncate(endOfRecords() + 1);
            }
        } catch (const DbfError&) {
            // The count on disk is repaired from the file size at the next open.
        }
        throw;
    }
    for (std::uint32_t record = first; record <= last; ++record) {
        row = insertIntoOrder(record);
    }
    atEof = false;
    return last;
}

void DbfTable::update(std::uint32_t record, const DbfRecord& values) {
    Impl& s = *impl_;
    s.requireRecord(record);
    s.requireWritable();
    requireSameLayout(values, s.header.recordLength);
    const auto fields = values.bytes().subspan(1);
    if (!s.file.writeAt(s.offsetOf(record) + 1, fields)) {
        throw DbfError(kWriteError);
    }
    s.cache.patch(record, 1, fields);
    if (s.selected && s.rowOf(record)) {
        const bool wasCurrent = s.currentRecord() == record && !s.atEof;
        s.removeFromOrder(record);
        const std::size_t at = s.insertIntoOrder(record);
        if (wasCurrent) {
            s.row = at;
            s.atEof = false;
        }
    }
}

void DbfTable::markDeleted(std::uint32_t record) {
    markDeleted(std::span(&record, 1));
}

void DbfTable::markDeleted(std::span<const std::uint32_t> records) {
    Impl& s = *impl_;
    for (const auto record : records) {
        s.requireRecord(record);
    }
    s.requireWritable();
    std::vector<bool> gone(std::size_t{s.header.recordCount} + 1);
    struct Marked {
        std::uint32_t record;
        std::uint8_t before;
        bool noted;  // its flag before went into flagsBeforeMark here
    };
    std::vector<Marked> marked;
    const std::span<const std::uint8_t> flag(&kDeletedFlag, 1);
    try {
        for (const auto record : records) {
            const std::uint8_t before = s.cache.record(record, s.header.recordCount)[0];
            if (!s.file.writeAt(s.offsetOf(record), flag)) {
                throw DbfError(kWriteError);
            }
            marked.push_back(
                {record, before, s.flagsBeforeMark.try_emplace(record, before).second});
            s.cache.patch(record, 0, flag);
            gone[record] = true;
        }
    } catch (const DbfError&) {
        // All or nothing: the rows marked before the failure get their flags back; one that
        // cannot be written back stays deleted and leaves the order.
        for (const auto& [record, before, noted] : marked) {
            const std::span<const std::uint8_t> back(&before, 1);
            if (s.file.writeAt(s.offsetOf(record), back)) {
                s.cache.patch(record, 0, back);
                if (noted) {
                    s.flagsBeforeMark.erase(record);
                }
                gone[record] = false;
            }
        }
        s.removeFromOrder(gone);
        throw;
    }
    s.removeFromOrder(gone);
}

void DbfTable::Impl::replaceFile(const std::function<void(const RecordSink&)>& fill) {
    // The copy is built beside the table under a temporary name and renamed over it only when
    // complete and on disk, so the table's name never holds a partial file. A copy a killed run
    // left is removed first.
    removeLeftovers(path);
    std::filesystem::path copyPath;
    LockedFile copy;
    for (int attempt = 0;; ++attempt) {
        copyPath = fileio::temporaryPath(path);
        // Only a clean-up by another run probing the new file is tried again.
        const auto status = copy.open(copyPath, true, true);
        if (status == LockedFile::Status::Ok) {
            break;
        }
        if (status != LockedFile::Status::InUse || attempt == 10) {
            throw DbfError(kWriteError);
        }
    }

    DbfHeader copied = header;
    try {
        std::vector<std::uint8_t> structure(header.headerLength);
        if (!file.readAt(0, structure)) {
            throw DbfError(kReadError);
        }
        std::vector<std::uint8_t> buffer;
        // A small table gets a small buffer, not a whole scan's worth.
        const std::uint64_t tableBytes =
            (std::uint64_t{header.recordCount} + 1) * header.recordLength;
        buffer.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(kScanBytes, tableBytes)) +
                       header.recordLength);
        std::uint64_t writeAt = header.headerLength;
        std::uint32_t count = 0;
        const auto flush = [&] {
            if (!copy.writeAt(writeAt, buffer)) {
                throw DbfError(kWriteError);
            }
            writeAt += buffer.size();
            buffer.clear();
        };
        fill([&](const std::uint8_t* record) {
            ++count;
            buffer.insert(buffer.end(), record, record + header.recordLength);
            if (buffer.size() >= kScanBytes) {
                flush();
            }
        });
        buffer.push_back(kEndOfFile);
        flush();

        copied.recordCount = count;
        stampDate(copied, headerDate());
        copied.serialize(std::span<std::uint8_t, DbfHeader::kSize>(structure.data(), 32));
        if (!copy.writeAt(0, structure) || !copy.sync()) {
            throw DbfError(kWriteError);
        }
        if (!copy.renameOver(file)) {
            throw DbfError(kWriteError);
        }
    } catch (...) {
        copy.close();
        removeFile(copyPath);
        throw;
    }
    file = std::move(copy);
    header = copied;
    headerDirty = false;
    flagsBeforeMark.clear();
    cache.reset(&file, header.headerLength, header.recordLength);
}

RemovedRecords DbfTable::pack() {
    return removeRecords({});
}

RemovedRecords DbfTable::removeRecords(std::span<const std::uint32_t> records) {
    Impl& s = *impl_;
    if (!s.file.isOpen()) {
        throw DbfError(kExclusiveRequired);
    }
    s.requireWritable();
    std::vector<bool> remove(std::size_t{s.header.recordCount} + 1);
    for (const auto record : records) {
        s.requireRecord(record);
        remove[record] = true;
    }
    const std::optional<std::uint32_t> current = s.currentRecord();
    std::optional<std::uint32_t> currentAfter;
    RemovedRecords removed;
    removed.countBefore = s.header.recordCount;
    removed.recordLength = s.header.recordLength;
    const auto flags = s.flagsBeforeMark;  // replaceFile clears them
    s.replaceFile([&](const Impl::RecordSink& keep) {
        std::uint32_t live = 0;
        s.scanRecords(s.file, [&](std::uint32_t record, const std::uint8_t* bytes) {
            if (bytes[0] != kDeletedFlag && !remove[record]) {
                currentAfter = record == current ? std::optional(live + 1) : currentAfter;
                ++live;
                keep(bytes);
                return;
            }
            removed.positions.push_back(record);
            const auto at =
                removed.bytes.insert(removed.bytes.end(), bytes, bytes + s.header.recordLength);
            const auto flag = flags.find(record);
            *at = flag != flags.end() ? flag->second : bytes[0];
        });
    });
    s.rebuildOrder(currentAfter);
    return removed;
}

void DbfTable::restoreRemoved(const RemovedRecords& removed) {
    Impl& s = *impl_;
    s.requireWritable();
    if (removed.recordLength != s.header.recordLength ||
        removed.bytes.size() != removed.positions.size() * removed.recordLength ||
        removed.countBefore != s.header.recordCount + removed.positions.size()) {
        throw DbfError("The removed records do not belong to this table.");
    }
    const std::optional<std::uint32_t> current = s.currentRecord();
    std::optional<std::uint32_t> currentAfter;
    s.replaceFile([&](const Impl::RecordSink& add) {
        std::size_t next = 0;
        std::uint32_t position = 0;
        // Removed records go in wherever the next position is theirs.
        const auto addRemovedDue = [&] {
            for (; next < removed.positions.size() && removed.positions[next] <= position + 1;
                 ++next) {
                add(removed.bytes.data() + next * removed.recordLength);
                ++position;
            }
        };
        s.scanRecords(s.file, [&](std::uint32_t record, const std::uint8_t* bytes) {
            addRemovedDue();
            ++position;
            currentAfter = record == current ? std::optional(position) : currentAfter;
            add(bytes);
        });
        addRemovedDue();
    });
    s.rebuildOrder(currentAfter);
}

void DbfTable::sync() {
    Impl& s = *impl_;
    s.requireWritable();
    if (s.headerDirty) {
        s.writeHeader(false, false);
    }
    if (!s.file.syncData()) {
        throw DbfError(kWriteError);
    }
}

void DbfTable::moveTo(const std::filesystem::path& target) {
    Impl& s = *impl_;
    sync();
    // One that another program has open stays, as that program's work would otherwise go on in
    // a file no name reaches.
    LockedFile old = holdForReplacing(target);
    if (!(old.isOpen() ? s.file.renameOver(old) : s.file.renameTo(target))) {
        throw DbfError(kWriteError);
    }
    s.path = target;
}

}  // namespace zond::dbf
