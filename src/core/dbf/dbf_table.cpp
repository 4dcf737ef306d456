// A table's file operations: create, open and close, records read, written and deleted, and
// pack.
#include "dbf/dbf_table.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <string>

#include "dbf/dbf_layout.h"
#include "dbf/dbf_table_impl.h"
#include "dbf/locked_file.h"
#include "text/path_text.h"

namespace zond::dbf {

namespace {

const char* const kExclusiveRequired = "Exclusive access is required for this operation.";
const char* const kNotOpen = "Table is not open.";

std::string quoted(const std::filesystem::path& path) {
    return "\"" + text::pathText(path) + "\"";
}

const text::CodePage& codePageForLanguage(std::uint8_t languageId) {
    const int number = codePageOfLanguageId(languageId);
    try {
        return text::CodePage::get(number != 0 ? number : text::CodePage::kProgramCodePage);
    } catch (const std::invalid_argument&) {
        return text::CodePage::get(text::CodePage::kProgramCodePage);
    }
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

void DbfTable::Impl::requireOpen() const {
    if (!file.isOpen()) {
        throw DbfError(kNotOpen);
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
        close();
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
            throw DbfError("Create: file is in use by another program: " + quoted(path) + ".");
        default:
            throw DbfError("Create: cannot create file " + quoted(path) + ".");
    }
    if (!file.truncate(0) || !file.writeAt(0, bytes)) {
        file.close();
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        throw DbfError(kWriteError);
    }
}

void DbfTable::open(const std::filesystem::path& requested) {
    const std::filesystem::path path = requested;  // may be this table's own path()
    close();
    Impl& s = *impl_;
    switch (s.file.open(path, false)) {
        case LockedFile::Status::Ok:
            break;
        case LockedFile::Status::NotFound:
            throw DbfError("Open: file not found: " + quoted(path) + ".");
        case LockedFile::Status::InUse:
            throw DbfError("Open: file is in use by another program: " + quoted(path) + ".");
        case LockedFile::Status::Failed:
            throw DbfError("Open: cannot open file " + quoted(path) + ".");
    }
    try {
        const std::uint64_t fileSize = s.file.size();
        DbfStructure structure =
            readStructure([&](std::uint64_t offset,
                              std::span<std::uint8_t> out) { return s.file.readAt(offset, out); },
                          fileSize);
        s.path = path;
        s.header = structure.header;
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
            s.writeHeader(true, true);
        }
        s.rebuildOrder(std::nullopt);
    } catch (...) {
        s.headerDirty = false;
        close();
        throw;
    }
}

void DbfTable::close() {
    Impl& s = *impl_;
    if (!s.file.isOpen()) {
        return;
    }
    std::optional<DbfError> failure;
    if (s.headerDirty) {
        try {
            s.writeHeader(false, false);
        } catch (const DbfError& error) {
            failure = error;
        }
    }
    s.file.close();
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
    Impl& s = *impl_;
    s.requireOpen();
    requireSameLayout(record, s.header.recordLength);
    if (s.header.recordCount == std::numeric_limits<std::uint32_t>::max()) {
        throw DbfError(kWriteError);
    }
    std::vector<std::uint8_t> bytes(record.bytes().begin(), record.bytes().end());
    bytes[0] = kLiveFlag;
    bytes.push_back(kEndOfFile);

    const std::uint32_t number = s.header.recordCount + 1;
    const DbfHeader before = s.header;
    try {
        s.header.recordCount = number;
        s.writeHeader(true, false);  // the record's own write puts the end-of-file byte
        if (!s.file.writeAt(s.offsetOf(number), bytes)) {
            throw DbfError(kWriteError);
        }
    } catch (const DbfError&) {
        // Put the count, the end-of-file byte and the length back as they were; what a partial
        // write left behind them goes.
        s.header = before;
        try {
            s.writeHeader(false, true);
            if (s.file.size() > s.endOfRecords() + 1) {
                s.file.truncate(s.endOfRecords() + 1);
            }
        } catch (const DbfError&) {
            // The count on disk is repaired from the file size at the next open.
        }
        throw;
    }
    s.row = s.insertIntoOrder(number);
    s.atEof = false;
    return number;
}

void DbfTable::update(std::uint32_t record, const DbfRecord& values) {
    Impl& s = *impl_;
    s.requireRecord(record);
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
    Impl& s = *impl_;
    s.requireRecord(record);
    const std::span<const std::uint8_t> flag(&kDeletedFlag, 1);
    if (!s.file.writeAt(s.offsetOf(record), flag)) {
        throw DbfError(kWriteError);
    }
    s.cache.patch(record, 0, flag);
    s.removeFromOrder(record);
}

void DbfTable::markDeleted(std::span<const std::uint32_t> records) {
    Impl& s = *impl_;
    for (const auto record : records) {
        s.requireRecord(record);
    }
    std::vector<bool> gone(std::size_t{s.header.recordCount} + 1);
    const std::span<const std::uint8_t> flag(&kDeletedFlag, 1);
    try {
        for (const auto record : records) {
            if (!s.file.writeAt(s.offsetOf(record), flag)) {
                throw DbfError(kWriteError);
            }
            s.cache.patch(record, 0, flag);
            gone[record] = true;
        }
    } catch (const DbfError&) {
        s.removeFromOrder(gone);  // the ones marked before the failure
        throw;
    }
    s.removeFromOrder(gone);
}

void DbfTable::pack() {
    Impl& s = *impl_;
    if (!s.file.isOpen()) {
        throw DbfError(kExclusiveRequired);
    }
    // The packed copy is built beside the table under the first free name and renamed over it
    // only when complete and on disk, so the table's name never holds a partial file.
    const auto folder = s.path.parent_path();
    std::filesystem::path packedPath;
    LockedFile packed;
    for (int n = 1;; ++n) {
        // Built from path pieces: a narrow name would lose its Cyrillic letters on Windows.
        std::filesystem::path packedName = s.path.stem();
        packedName += "_" + std::to_string(n);
        packedName += s.path.extension();
        packedPath = folder / packedName;
        std::error_code ignored;
        if (std::filesystem::exists(packedPath, ignored)) {
            continue;
        }
        if (packed.open(packedPath, true, true) != LockedFile::Status::Ok) {
            throw DbfError(kWriteError);
        }
        break;
    }

    const std::optional<std::uint32_t> current = s.currentRecord();
    std::optional<std::uint32_t> currentAfter;
    DbfHeader header = s.header;
    try {
        std::vector<std::uint8_t> structure(s.header.headerLength);
        if (!s.file.readAt(0, structure)) {
            throw DbfError(kReadError);
        }
        std::vector<std::uint8_t> buffer;
        buffer.reserve(kScanBytes + s.header.recordLength);
        std::uint64_t writeAt = s.header.headerLength;
        std::uint32_t live = 0;
        const auto flush = [&] {
            if (!packed.writeAt(writeAt, buffer)) {
                throw DbfError(kWriteError);
            }
            writeAt += buffer.size();
            buffer.clear();
        };
        s.scanRecords(s.file, [&](std::uint32_t record, const std::uint8_t* bytes) {
            if (bytes[0] == kDeletedFlag) {
                return;
            }
            ++live;
            if (record == current) {
                currentAfter = live;
            }
            buffer.insert(buffer.end(), bytes, bytes + s.header.recordLength);
            if (buffer.size() >= kScanBytes) {
                flush();
            }
        });
        buffer.push_back(kEndOfFile);
        flush();

        header.recordCount = live;
        stampDate(header, s.headerDate());
        header.serialize(std::span<std::uint8_t, DbfHeader::kSize>(structure.data(), 32));
        if (!packed.writeAt(0, structure) || !packed.sync()) {
            throw DbfError(kWriteError);
        }
        if (!packed.renameOver(s.file)) {
            throw DbfError(kWriteError);
        }
    } catch (...) {
        packed.close();
        std::error_code ignored;
        std::filesystem::remove(packedPath, ignored);
        throw;
    }
    s.file = std::move(packed);
    s.header = header;
    s.headerDirty = false;
    s.cache.reset(&s.file, s.header.headerLength, s.header.recordLength);
    s.rebuildOrder(currentAfter);
}

}  // namespace zond::dbf
