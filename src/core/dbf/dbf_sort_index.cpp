// The transient sort index: its tags, the order they give, and the ".mdx" file that keeps them
// beside the table.
#include <algorithm>
#include <cstring>
#include <numeric>
#include <sstream>

#include "dbf/dbf_table.h"
#include "dbf/dbf_table_impl.h"
#include "dbf/locked_file.h"

namespace zond::dbf {

namespace {

// First line of the index files this module writes; other index files are left alone.
const char* const kIndexSignature = "ZOND8T-SORT-INDEX 1";

std::filesystem::path indexPathOf(std::filesystem::path table) {
    return table.replace_extension(".mdx");
}

// Ordering of two records under a tag; ties keep file order in both directions.
bool numericBefore(const SortTag& tag, double a, std::uint32_t ra, double b, std::uint32_t rb) {
    if (a != b) {
        return tag.descending ? a > b : a < b;
    }
    return ra < rb;
}

bool textBefore(const SortTag& tag, std::span<const std::uint8_t> a, std::uint32_t ra,
                std::span<const std::uint8_t> b, std::uint32_t rb) {
    const int c = std::memcmp(a.data(), b.data(), a.size());
    if (c != 0) {
        return tag.descending ? c > 0 : c < 0;
    }
    return ra < rb;
}

}  // namespace

std::vector<std::uint32_t> DbfTable::Impl::sortedOrder(const SortTag& tag) const {
    const auto& field = layout->fields[static_cast<std::size_t>(tag.field)];
    std::vector<std::uint32_t> records;
    if (isNumericKind(field.kind)) {
        std::vector<std::pair<double, std::uint32_t>> keys;
        keys.reserve(header.recordCount);
        scanRecords(file, [&](std::uint32_t record, const std::uint8_t* bytes) {
            if (bytes[0] != kDeletedFlag) {
                keys.emplace_back(decodeNumber(field, fieldOf(bytes, field)).value_or(0.0), record);
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

std::size_t DbfTable::Impl::sortedPlaceOf(const SortTag& tag, std::uint32_t record) const {
    const auto& field = layout->fields[static_cast<std::size_t>(tag.field)];
    const auto* bytes = cache.record(record, header.recordCount);
    if (isNumericKind(field.kind)) {
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

void DbfTable::Impl::loadSortTags() {
    // Byte 28 is the production-index flag of dBase tables only; other variants keep theirs.
    if (header.productionIndex == 0 || variant != DbfVariant::DBase) {
        return;
    }
    if (!fileExists(indexPathOf(path))) {
        // The index went away with the last close; the flag follows at the next write.
        header.productionIndex = 0;
        headerDirty = true;
    } else {
        tags = readIndexFile();
    }
}

void DbfTable::Impl::writeIndexFile() {
    requireWritable();
    const auto indexPath = indexPathOf(path);
    if (tags.empty()) {
        removeFile(indexPath);
        return;
    }
    std::string text = std::string(kIndexSignature) + '\n';
    for (const auto& tag : tags) {
        text += tag.name + ' ' + layout->fields[static_cast<std::size_t>(tag.field)].name + ' ' +
                (tag.descending ? "DESC" : "ASC") + '\n';
    }
    LockedFile out;
    if (out.open(indexPath, true) != LockedFile::Status::Ok ||
        !out.writeAt(0, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}) ||
        !out.truncate(text.size())) {
        throw DbfError(kWriteError);
    }
}

std::vector<SortTag> DbfTable::Impl::readIndexFile() const {
    LockedFile file;
    if (file.openShared(indexPathOf(path)) != LockedFile::Status::Ok) {
        return {};
    }
    // A few dozen bytes are ours; anything much longer is some other program's index.
    std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), 64 * 1024)),
                     '\0');
    if (!file.readAt(0, {reinterpret_cast<std::uint8_t*>(text.data()), text.size()})) {
        return {};
    }
    std::istringstream in(text);
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
        const auto field =
            std::find_if(layout->fields.begin(), layout->fields.end(),
                         [&](const DbfFieldDescriptor& f) { return sameName(f.name, fieldName); });
        if (field == layout->fields.end() || (direction != "ASC" && direction != "DESC")) {
            return {};
        }
        found.push_back(
            {name, static_cast<int>(field - layout->fields.begin()), direction == "DESC"});
    }
    return found;
}

std::optional<std::size_t> DbfTable::Impl::tagIndex(std::string_view name) const {
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (sameName(tags[i].name, name)) {
            return i;
        }
    }
    return std::nullopt;
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

}  // namespace zond::dbf
