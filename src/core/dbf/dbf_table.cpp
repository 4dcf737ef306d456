#include "dbf/dbf_table.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <numeric>
#include <sstream>

#include "dbf/dbf_layout.h"
#include "dbf/locked_file.h"
#include "dbf/record_cache.h"

namespace zond::dbf {

namespace {

const char* const kWriteError = "Error while writing occurred. (Disk full?)";
const char* const kExclusiveRequired = "Exclusive access is required for this operation.";
const char* const kNotOpen = "Table is not open.";
// First line of the index files this module writes; other index files are left alone.
const char* const kIndexSignature = "ZOND8T-SORT-INDEX 1";

constexpr std::size_t kScanBytes = 1 << 20;

std::string quoted(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

std::filesystem::path indexPathOf(std::filesystem::path table) {
    return table.replace_extension(".mdx");
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

const text::CodePage& codePageForLanguage(std::uint8_t languageId) {
    const int number = codePageOfLanguageId(languageId);
    try {
        return text::CodePage::get(number != 0 ? number : text::CodePage::kProgramCodePage);
    } catch (const std::invalid_argument&) {
        return text::CodePage::get(text::CodePage::kProgramCodePage);
    }
}

struct SortTag {
    std::string name;
    int field = 0;
    bool descending = false;
};

}  // namespace

struct DbfTable::Impl {
    LockedFile file;
    std::filesystem::path path;
    DbfHeader header;
    std::shared_ptr<RecordLayout> layout = std::make_shared<RecordLayout>();
    bool headerDirty = false;  // the header in memory differs from the file's
    mutable RecordCache cache;

    std::vector<std::uint32_t> order;  // record numbers of the live records in display order
    std::size_t row = 0;
    bool atEof = true;

    std::vector<SortTag> tags;
    std::optional<std::size_t> selected;

    std::uint64_t offsetOf(std::uint32_t record) const {
        return header.headerLength + std::uint64_t{record - 1} * header.recordLength;
    }
    std::uint64_t endOfRecords() const {
        return header.headerLength + std::uint64_t{header.recordCount} * header.recordLength;
    }

    void requireOpen() const {
        if (!file.isOpen()) {
            throw DbfError(kNotOpen);
        }
    }

    void requireRecord(std::uint32_t record) const {
        requireOpen();
        if (record == 0 || record > header.recordCount) {
            throw DbfError("Record " + std::to_string(record) + " does not exist.");
        }
    }

    const DbfFieldDescriptor& fieldAt(int index) const {
        if (index < 0 || static_cast<std::size_t>(index) >= layout->fields.size()) {
            throw DbfError("Field index " + std::to_string(index) + " out of range.");
        }
        return layout->fields[static_cast<std::size_t>(index)];
    }

    // Header write: the 32 header bytes, with today's date when `stamp`, and the end-of-file byte
    // after the last record when `endMarker`.
    void writeHeader(bool stamp, bool endMarker) {
        if (stamp) {
            stampDate(header, today());
        }
        std::array<std::uint8_t, DbfHeader::kSize> bytes{};
        header.serialize(bytes);
        if (!file.writeAt(0, bytes) ||
            (endMarker && !file.writeAt(endOfRecords(), std::span(&kEndOfFile, 1)))) {
            throw DbfError(kWriteError);
        }
        headerDirty = false;
    }

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
                throw DbfError("Error while reading occurred.");
            }
            for (std::uint32_t i = 0; i < count; ++i) {
                visit(first + i, chunk.data() + std::size_t{i} * length);
            }
        }
    }

    std::span<const std::uint8_t> fieldOf(const std::uint8_t* record,
                                          const DbfFieldDescriptor& field) const {
        return {record + field.offset, static_cast<std::size_t>(field.width)};
    }

    // Ordering of two records under a tag; ties keep file order in both directions.
    bool numericBefore(const SortTag& tag, double a, std::uint32_t ra, double b,
                       std::uint32_t rb) const {
        if (a != b) {
            return tag.descending ? a > b : a < b;
        }
        return ra < rb;
    }

    bool textBefore(const SortTag& tag, std::span<const std::uint8_t> a, std::uint32_t ra,
                    std::span<const std::uint8_t> b, std::uint32_t rb) const {
        const int c = std::memcmp(a.data(), b.data(), a.size());
        if (c != 0) {
            return tag.descending ? c > 0 : c < 0;
        }
        return ra < rb;
    }

    bool sortsNumerically(const SortTag& tag) const {
        return isNumericKind(layout->fields[static_cast<std::size_t>(tag.field)].kind);
    }

    std::vector<std::uint32_t> fileOrder() const {
        std::vector<std::uint32_t> records;
        records.reserve(header.recordCount);
        scanRecords(file, [&](std::uint32_t record, const std::uint8_t* bytes) {
            if (bytes[0] != kDeletedFlag) {
                records.push_back(record);
            }
        });
        return records;
    }

    std::vector<std::uint32_t> sortedOrder(const SortTag& tag) const {
        const auto& field = layout->fields[static_cast<std::size_t>(tag.field)];
        std::vector<std::uint32_t> records;
        if (sortsNumerically(tag)) {
            std::vector<std::pair<double, std::uint32_t>> keys;
            keys.reserve(header.recordCount);
            scanRecords(file, [&](std::uint32_t record, const std::uint8_t* bytes) {
                if (bytes[0] != kDeletedFlag) {
                    keys.emplace_back(decodeNumber(field, fieldOf(bytes, field)).value_or(0.0),
                                      record);
                }
            });
            std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
                return numericBefore(tag, a.first, a.second, b.first, b.second);
            });
            records.reserve(keys.size());
            for (const auto& key : keys) {
                records.push_back(key.second);
            }
            return records;
        }
        // Text keys side by side in one buffer, compared as stored bytes.
        const std::size_t width = static_cast<std::size_t>(field.width);
        std::vector<std::uint8_t> keys;
        scanRecords(file, [&](std::uint32_t record, const std::uint8_t* bytes) {
            if (bytes[0] != kDeletedFlag) {
                const auto key = fieldOf(bytes, field);
                keys.insert(keys.end(), key.begin(), key.end());
                records.push_back(record);
            }
        });
        std::vector<std::uint32_t> positions(records.size());
        std::iota(positions.begin(), positions.end(), 0U);
        const auto keyAt = [&](std::uint32_t i) {
            return std::span<const std::uint8_t>(keys.data() + std::size_t{i} * width, width);
        };
        std::sort(positions.begin(), positions.end(), [&](std::uint32_t a, std::uint32_t b) {
            return textBefore(tag, keyAt(a), records[a], keyAt(b), records[b]);
        });
        std::vector<std::uint32_t> sorted;
        sorted.reserve(positions.size());
        for (const auto i : positions) {
            sorted.push_back(records[i]);
        }
        return sorted;
    }

    // Where a live record belongs in the current order.
    std::size_t placeOf(std::uint32_t record) const {
        if (!selected) {
            return static_cast<std::size_t>(std::lower_bound(order.begin(), order.end(), record) -
                                            order.begin());
        }
        const SortTag& tag = tags[*selected];
        const auto& field = layout->fields[static_cast<std::size_t>(tag.field)];
        const auto* bytes = cache.record(record, header.recordCount);
        if (sortsNumerically(tag)) {
            const double key = decodeNumber(field, fieldOf(bytes, field)).value_or(0.0);
            return static_cast<std::size_t>(
                std::lower_bound(order.begin(), order.end(), record,
                                 [&](std::uint32_t other, std::uint32_t) {
                                     const auto* o = cache.record(other, header.recordCount);
                                     const double otherKey =
                                         decodeNumber(field, fieldOf(o, field)).value_or(0.0);
                                     return numericBefore(tag, otherKey, other, key, record);
                                 }) -
                order.begin());
        }
        const auto span = fieldOf(bytes, field);
        const std::vector<std::uint8_t> key(span.begin(), span.end());
        return static_cast<std::size_t>(
            std::lower_bound(order.begin(), order.end(), record,
                             [&](std::uint32_t other, std::uint32_t) {
                                 const auto* o = cache.record(other, header.recordCount);
                                 return textBefore(tag, fieldOf(o, field), other, key, record);
                             }) -
            order.begin());
    }

    std::optional<std::size_t> rowOf(std::uint32_t record) const {
        if (!selected) {
            const auto it = std::lower_bound(order.begin(), order.end(), record);
            if (it != order.end() && *it == record) {
                return static_cast<std::size_t>(it - order.begin());
            }
            return std::nullopt;
        }
        const auto it = std::find(order.begin(), order.end(), record);
        if (it == order.end()) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(it - order.begin());
    }

    std::size_t insertIntoOrder(std::uint32_t record) {
        const std::size_t at = placeOf(record);
        order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), record);
        if (at <= row && order.size() > 1) {
            ++row;  // stay on the same record
        }
        return at;
    }

    void removeFromOrder(std::uint32_t record) {
        const auto at = rowOf(record);
        if (!at) {
            return;
        }
        order.erase(order.begin() + static_cast<std::ptrdiff_t>(*at));
        if (*at < row) {
            --row;
        }
        clampCursor();
    }

    // Removes the records flagged in `gone` (indexed by record number) from the order in one
    // pass, staying on the same row where its record survives.
    void removeFromOrder(const std::vector<bool>& gone) {
        std::size_t kept = 0;
        std::size_t removedBeforeRow = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (!gone[order[i]]) {
                order[kept++] = order[i];
            } else if (i < row) {
                ++removedBeforeRow;
            }
        }
        order.resize(kept);
        row -= removedBeforeRow;
        clampCursor();
    }

    void clampCursor() {
        if (order.empty()) {
            row = 0;
            atEof = true;
        } else if (row >= order.size()) {
            row = order.size() - 1;
        }
    }

    // Recomputes the display order, staying on the same record where it survives.
    void rebuildOrder(std::optional<std::uint32_t> keep) {
        order = selected ? sortedOrder(tags[*selected]) : fileOrder();
        row = 0;
        atEof = order.empty();
        if (keep) {
            if (const auto at = rowOf(*keep)) {
                row = *at;
            }
        }
    }

    std::optional<std::uint32_t> currentRecord() const {
        if (order.empty()) {
            return std::nullopt;
        }
        return order[std::min(row, order.size() - 1)];
    }

    void writeIndexFile() {
        const auto indexPath = indexPathOf(path);
        if (tags.empty()) {
            std::error_code ignored;
            std::filesystem::remove(indexPath, ignored);
            return;
        }
        std::ofstream out(indexPath, std::ios::binary | std::ios::trunc);
        out << kIndexSignature << '\n';
        for (const auto& tag : tags) {
            out << tag.name << ' ' << layout->fields[static_cast<std::size_t>(tag.field)].name
                << ' ' << (tag.descending ? "DESC" : "ASC") << '\n';
        }
        out.close();
        if (!out) {
            throw DbfError(kWriteError);
        }
    }

    // Tags of an index file this module wrote earlier; anything else gives none.
    std::vector<SortTag> readIndexFile() const {
        std::ifstream in(indexPathOf(path), std::ios::binary);
        std::string line;
        if (!std::getline(in, line) || line != kIndexSignature) {
            return {};
        }
        std::vector<SortTag> found;
        while (std::getline(in, line) && found.size() < 64) {
            std::istringstream words(line);
            std::string name;
            std::string fieldName;
            std::string direction;
            if (!(words >> name >> fieldName >> direction)) {
                return {};
            }
            const auto field = std::find_if(
                layout->fields.begin(), layout->fields.end(),
                [&](const DbfFieldDescriptor& f) { return sameName(f.name, fieldName); });
            if (field == layout->fields.end() || (direction != "ASC" && direction != "DESC")) {
                return {};
            }
            found.push_back(
                {name, static_cast<int>(field - layout->fields.begin()), direction == "DESC"});
        }
        return found;
    }

    std::optional<std::size_t> tagIndex(std::string_view name) const {
        for (std::size_t i = 0; i < tags.size(); ++i) {
            if (sameName(tags[i].name, name)) {
                return i;
            }
        }
        return std::nullopt;
    }
};

DbfTable::DbfTable() : impl_(std::make_unique<Impl>()) {}

DbfTable::~DbfTable() {
    try {
        close();
    } catch (const DbfError&) {
        // Nothing more can be done for the header bytes of a table being destroyed.
    }
}

void DbfTable::create(const std::filesystem::path& path, std::span<const FieldSpec> fields,
                      std::uint8_t languageId) {
    std::vector<std::uint8_t> bytes = buildStructure(fields, languageId, today());
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

        if (s.header.productionIndex != 0) {
            std::error_code ignored;
            if (!std::filesystem::exists(indexPathOf(path), ignored)) {
                // The index went away with the last close; the flag follows at the next write.
                s.header.productionIndex = 0;
                s.headerDirty = true;
            } else {
                s.tags = s.readIndexFile();
            }
        }
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
    impl_ = std::make_unique<Impl>();
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
std::size_t DbfTable::liveCount() const {
    return impl_->order.size();
}
std::size_t DbfTable::rowCount() const {
    return impl_->order.size();
}

std::uint32_t DbfTable::recordAt(std::size_t row) const {
    if (row >= impl_->order.size()) {
        throw DbfError("Row " + std::to_string(row) + " out of range.");
    }
    return impl_->order[row];
}

std::optional<std::size_t> DbfTable::rowOf(std::uint32_t record) const {
    return impl_->rowOf(record);
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

bool DbfTable::first() {
    Impl& s = *impl_;
    s.row = 0;
    s.atEof = s.order.empty();
    return !s.atEof;
}

bool DbfTable::next() {
    Impl& s = *impl_;
    if (!s.atEof && s.row + 1 < s.order.size()) {
        ++s.row;
        return true;
    }
    s.atEof = true;
    return false;
}

bool DbfTable::last() {
    Impl& s = *impl_;
    s.atEof = s.order.empty();
    s.row = s.atEof ? 0 : s.order.size() - 1;
    return !s.atEof;
}

bool DbfTable::eof() const {
    return impl_->atEof;
}

bool DbfTable::moveToRecord(std::uint32_t record) {
    Impl& s = *impl_;
    const auto at = s.rowOf(record);
    if (!at) {
        return false;
    }
    s.row = *at;
    s.atEof = false;
    return true;
}

std::uint32_t DbfTable::currentRecord() const {
    return impl_->currentRecord().value_or(0);
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
    const std::string stem = s.path.stem().string();
    const std::string extension = s.path.extension().string();
    std::filesystem::path packedPath;
    LockedFile packed;
    for (int n = 1;; ++n) {
        packedPath = folder / (stem + "_" + std::to_string(n) + extension);
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
            throw DbfError("Error while reading occurred.");
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
        stampDate(header, today());
        header.serialize(std::span<std::uint8_t, DbfHeader::kSize>(structure.data(), 32));
        if (!packed.writeAt(0, structure) || !packed.sync()) {
            throw DbfError(kWriteError);
        }
        std::error_code renameError;
        std::filesystem::rename(packedPath, s.path, renameError);
        if (renameError) {
            throw DbfError(kWriteError);
        }
    } catch (...) {
        packed.close();
        std::error_code ignored;
        std::filesystem::remove(packedPath, ignored);
        throw;
    }
    syncFolder(folder);
    s.file = std::move(packed);  // the old handle goes, and its locks with the old file
    s.header = header;
    s.headerDirty = false;
    s.cache.reset(&s.file, s.header.headerLength, s.header.recordLength);
    s.rebuildOrder(currentAfter);
}

void DbfTable::addSortIndex(std::string_view tag, std::string_view field, bool descending) {
    Impl& s = *impl_;
    s.requireOpen();
    SortTag added{std::string(tag), requireField(field), descending};
    const auto before = s.tags;
    if (const auto at = s.tagIndex(tag)) {
        s.tags[*at] = added;
    } else {
        s.tags.push_back(added);
    }
    try {
        s.writeIndexFile();
    } catch (const DbfError&) {
        s.tags = before;
        throw;
    }
    s.header.productionIndex = 1;
    s.writeHeader(true, true);
    if (s.selected && sameName(s.tags[*s.selected].name, tag)) {
        s.rebuildOrder(s.currentRecord());
    }
}

void DbfTable::dropSortIndex(std::string_view tag) {
    Impl& s = *impl_;
    s.requireOpen();
    const auto at = s.tagIndex(tag);
    if (!at) {
        return;
    }
    const bool wasSelected = s.selected == at;
    if (s.selected && *s.selected > *at) {
        s.selected = *s.selected - 1;
    } else if (wasSelected) {
        s.selected.reset();
    }
    s.tags.erase(s.tags.begin() + static_cast<std::ptrdiff_t>(*at));
    s.writeIndexFile();
    if (s.tags.empty()) {
        s.header.productionIndex = 0;
        s.writeHeader(true, true);
    }
    if (wasSelected) {
        s.rebuildOrder(s.currentRecord());
    }
}

void DbfTable::selectIndex(std::optional<std::string_view> tag) {
    Impl& s = *impl_;
    s.requireOpen();
    if (!tag || tag->empty()) {
        s.selected.reset();
    } else if (const auto at = s.tagIndex(*tag)) {
        s.selected = at;
    } else {
        throw DbfError("Index tag \"" + std::string(*tag) + "\" not found.");
    }
    s.rebuildOrder(s.currentRecord());
}

std::optional<std::string> DbfTable::selectedIndex() const {
    const Impl& s = *impl_;
    if (!s.selected) {
        return std::nullopt;
    }
    return s.tags[*s.selected].name;
}

void DbfTable::rebuildIndexes() {
    Impl& s = *impl_;
    s.requireOpen();
    s.rebuildOrder(s.currentRecord());
}

void DbfTable::refresh() {
    Impl& s = *impl_;
    s.requireOpen();
    s.cache.invalidate();
    s.rebuildOrder(s.currentRecord());
}

}  // namespace zond::dbf
