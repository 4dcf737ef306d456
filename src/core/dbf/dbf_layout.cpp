#include "dbf/dbf_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

#include "text/byte_order.h"

namespace zond::dbf {

namespace {

const char* const kInvalidFile = "Invalid DBF file.";

[[noreturn]] void invalidFile() {
    throw DbfError(kInvalidFile);
}

[[noreturn]] void invalidFieldCount(std::size_t count) {
    throw DbfError("Invalid field count: " + std::to_string(count) +
                   " (must be between 1 and 4095).");
}

// Where the descriptors sit and how they are laid out in each variant.
struct Geometry {
    std::uint64_t firstDescriptor;
    std::uint64_t descriptorSize;
    std::size_t nameLength;
    std::size_t typeAt;
    std::size_t widthAt;
    std::size_t decimalsAt;
};

constexpr Geometry kDBaseGeometry{32, 32, 11, 11, 16, 17};
constexpr Geometry kDBase7Geometry{68, 48, 32, 32, 33, 34};

std::optional<DbfVariant> variantOfVersion(std::uint8_t version) {
    if ((version & 0x07) == 3) {
        return DbfVariant::DBase;
    }
    if ((version & 0x07) == 2 || (version & 0x07) == 5 || version == 0x30 || version == 0x31) {
        return DbfVariant::FoxPro;
    }
    if ((version & 0x07) == 4) {
        return DbfVariant::DBase7;
    }
    return std::nullopt;
}

FieldKind kindOf(char type, int width, int decimals) {
    switch (type) {
        case 'C':
            return FieldKind::Text;
        case 'N':
        case 'F':
            if (decimals > 0) {
                return FieldKind::Float;
            }
            return width <= 4 ? FieldKind::SmallInt
                              : (width <= 9 ? FieldKind::Int32 : FieldKind::Int64);
        case 'D':
            return FieldKind::Date;
        case 'L':
            return FieldKind::Logical;
        case 'M':
            return FieldKind::Memo;
        default:  // 'I'
            return FieldKind::Int32;
    }
}

DbfFieldDescriptor parseDescriptor(std::span<const std::uint8_t> bytes, const Geometry& geometry,
                                   int offset) {
    DbfFieldDescriptor field;
    const std::string_view stored(reinterpret_cast<const char*>(bytes.data()), geometry.nameLength);
    field.name = stored.substr(0, stored.find('\0'));
    for (char& c : field.name) {
        c = upperAscii(c);
    }
    field.type = upperAscii(static_cast<char>(bytes[geometry.typeAt]));
    if (field.name.empty() || std::string_view("CNFDLMI").find(field.type) == std::string::npos) {
        invalidFile();
    }
    const int low = bytes[geometry.widthAt];
    const int high = bytes[geometry.decimalsAt];
    if (field.type == 'C') {
        field.width = geometry.descriptorSize == 32 ? low + 256 * high : low;
    } else {
        field.width = low;
        field.decimals = high;
    }
    if (field.width == 0 || (field.type == 'I' && field.width != 4)) {
        invalidFile();
    }
    field.offset = offset;
    field.kind = kindOf(field.type, field.width, field.decimals);
    return field;
}

// Counts the descriptors before the terminator, reading the file in chunks so that a damaged
// file costs no more memory than a sound one.
std::size_t countDescriptors(const ByteReader& read, std::uint64_t fileSize,
                             const Geometry& geometry) {
    constexpr std::uint64_t kChunk = 64 * 1024;
    std::vector<std::uint8_t> chunk;
    std::uint64_t chunkStart = 0;
    std::size_t count = 0;
    for (std::uint64_t pos = geometry.firstDescriptor;; pos += geometry.descriptorSize) {
        if (pos >= fileSize) {
            invalidFile();  // no terminator
        }
        if (chunk.empty() || pos >= chunkStart + chunk.size()) {
            chunkStart = pos;
            chunk.resize(static_cast<std::size_t>(std::min(kChunk, fileSize - pos)));
            if (!read(chunkStart, chunk)) {
                invalidFile();
            }
        }
        if (chunk[static_cast<std::size_t>(pos - chunkStart)] == kHeaderTerminator) {
            return count;
        }
        if (pos + geometry.descriptorSize > fileSize) {
            invalidFile();  // truncated descriptor
        }
        ++count;
    }
}

std::string formatFixed(double value, int decimals) {
    // The format asks for 18 significant digits at most; a double needs no more than 17 to be
    // told from every other, so it is written as it is.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, decimals);
    std::string text(buffer, result.ptr);
    if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

[[noreturn]] void doesNotFit(const DbfFieldDescriptor& field, std::string_view text) {
    throw DbfError("Value " + std::string(text) + " does not fit field \"" + field.name + "\" (" +
                   std::to_string(field.width) + " characters).");
}

void putNumberText(const DbfFieldDescriptor& field, std::string_view text,
                   std::span<std::uint8_t> out) {
    if (text.size() > out.size()) {
        doesNotFit(field, text);
    }
    if (field.kind == FieldKind::Text) {
        bytes::putLeftAligned(out, text);
    } else {
        bytes::putRightAligned(out, text);
    }
}

}  // namespace

void stampDate(DbfHeader& header, const HeaderDate& date) {
    header.year = static_cast<std::uint8_t>(std::clamp(date.year - 1900, 0, 255));
    header.month = static_cast<std::uint8_t>(date.month);
    header.day = static_cast<std::uint8_t>(date.day);
}

DbfHeader DbfHeader::parse(std::span<const std::uint8_t, kSize> bytes) {
    DbfHeader header;
    header.version = bytes[0];
    header.year = bytes[1];
    header.month = bytes[2];
    header.day = bytes[3];
    header.recordCount = bytes::readU32(&bytes[4]);
    header.headerLength = bytes::readU16(&bytes[8]);
    header.recordLength = bytes::readU16(&bytes[10]);
    std::copy_n(&bytes[12], header.reserved.size(), header.reserved.begin());
    header.productionIndex = bytes[28];
    header.languageId = bytes[29];
    return header;
}

void DbfHeader::serialize(std::span<std::uint8_t, kSize> out) const {
    std::fill(out.begin(), out.end(), 0);
    out[0] = version;
    out[1] = year;
    out[2] = month;
    out[3] = day;
    bytes::writeU32(&out[4], recordCount);
    bytes::writeU16(&out[8], headerLength);
    bytes::writeU16(&out[10], recordLength);
    std::copy(reserved.begin(), reserved.end(), &out[12]);
    out[28] = productionIndex;
    out[29] = languageId;
}

namespace {

struct LanguageRow {
    std::uint8_t id;
    int codePage;
};

// dBase language driver IDs of single-byte code pages. The first row of a code page is the ID
// written for it.
constexpr LanguageRow kLanguages[] = {
    {0xC9, 1251}, {0xC8, 1250}, {0x03, 1252}, {0x57, 1252}, {0x58, 1252}, {0x59, 1252},
    {0x65, 866},  {0x26, 866},  {0x01, 437},  {0x09, 437},  {0x0B, 437},  {0x0D, 437},
    {0x0F, 437},  {0x11, 437},  {0x15, 437},  {0x18, 437},  {0x19, 437},  {0x1B, 437},
    {0x02, 850},  {0x0A, 850},  {0x0E, 850},  {0x10, 850},  {0x12, 850},  {0x14, 850},
    {0x16, 850},  {0x1A, 850},  {0x1D, 850},  {0x25, 850},  {0x37, 850},  {0x64, 852},
    {0x1F, 852},  {0x22, 852},  {0x23, 852},  {0x40, 852},  {0x87, 852},  {0x6B, 857},
    {0x88, 857},  {0x24, 860},  {0x67, 861},  {0x6C, 863},  {0x1C, 863},  {0x66, 865},
    {0x08, 865},  {0x17, 865},  {0x6A, 737},  {0xCB, 1253}, {0xCA, 1254}, {0x7D, 1255},
    {0x7E, 1256}, {0xCC, 1257}, {0x7C, 874},  {0x50, 874},
};

}  // namespace

int codePageOfLanguageId(std::uint8_t languageId) {
    for (const auto& row : kLanguages) {
        if (row.id == languageId) {
            return row.codePage;
        }
    }
    return 0;
}

std::uint8_t languageIdOfCodePage(int codePage) {
    for (const auto& row : kLanguages) {
        if (row.codePage == codePage) {
            return row.id;
        }
    }
    return 0;
}

DbfStructure readStructure(const ByteReader& read, std::uint64_t fileSize) {
    std::array<std::uint8_t, DbfHeader::kSize> headerBytes{};
    if (fileSize < DbfHeader::kSize || !read(0, headerBytes)) {
        invalidFile();
    }
    DbfStructure structure;
    structure.header = DbfHeader::parse(headerBytes);
    const auto variant = variantOfVersion(structure.header.version);
    if (!variant) {
        invalidFile();
    }
    structure.variant = *variant;
    const DbfHeader& header = structure.header;
    if (header.headerLength == 0 || header.recordLength == 0 || header.headerLength > fileSize) {
        invalidFile();
    }
    const Geometry& geometry =
        structure.variant == DbfVariant::DBase7 ? kDBase7Geometry : kDBaseGeometry;

    const std::size_t count = countDescriptors(read, fileSize, geometry);
    if (count == 0 || count > static_cast<std::size_t>(kMaxFields)) {
        invalidFieldCount(count);
    }
    const std::uint64_t terminatorAt = geometry.firstDescriptor + count * geometry.descriptorSize;
    if (header.headerLength < terminatorAt + 1) {
        invalidFile();
    }

    std::vector<std::uint8_t> descriptors(
        static_cast<std::size_t>(terminatorAt - geometry.firstDescriptor));
    if (!read(geometry.firstDescriptor, descriptors)) {
        invalidFile();
    }
    structure.fields.reserve(count);
    int offset = 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::span<const std::uint8_t> bytes(descriptors.data() + i * geometry.descriptorSize,
                                                  geometry.descriptorSize);
        structure.fields.push_back(parseDescriptor(bytes, geometry, offset));
        offset += structure.fields.back().width;
    }
    if (offset != header.recordLength) {
        invalidFile();
    }
    return structure;
}

namespace {

struct StoredForm {
    char type = 'N';
    int width = 0;
    int decimals = 0;
};

// How a field asked for at creation is stored.
StoredForm storedFormOf(const FieldSpec& wanted) {
    if (wanted.name.empty() || wanted.name.size() > 10) {
        throw DbfError("Invalid field name \"" + wanted.name + "\".");
    }
    switch (wanted.kind) {
        case FieldKind::Text:
            if (wanted.width < 1 || wanted.width > 0xFFFF) {
                throw DbfError("Invalid width of field \"" + wanted.name + "\".");
            }
            return {'C', wanted.width, 0};
        case FieldKind::SmallInt:
            return {'N', 4, 0};
        case FieldKind::Int32:
            return {'N', 9, 0};
        case FieldKind::Int64:
            return {'N', 18, 0};
        case FieldKind::Float:
            return {'N', 18, 9};
        case FieldKind::Date:
            return {'D', 8, 0};
        case FieldKind::Logical:
            return {'L', 1, 0};
        case FieldKind::Memo:
            break;
    }
    throw DbfError("Memo fields are not supported.");
}

}  // namespace

std::vector<std::uint8_t> buildStructure(std::span<const FieldSpec> fields, std::uint8_t languageId,
                                         const HeaderDate& date) {
    if (fields.empty() || fields.size() > static_cast<std::size_t>(kMaxFields)) {
        invalidFieldCount(fields.size());
    }
    const std::size_t headerLength = DbfHeader::kSize * (1 + fields.size()) + 1;
    if (headerLength > 0xFFFF) {
        throw DbfError("Too many fields for one table.");
    }
    std::vector<std::uint8_t> out(headerLength, 0);
    std::size_t recordLength = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldSpec& wanted = fields[i];
        const StoredForm form = storedFormOf(wanted);
        std::uint8_t* descriptor = out.data() + DbfHeader::kSize * (i + 1);
        for (std::size_t c = 0; c < wanted.name.size(); ++c) {
            descriptor[c] = static_cast<std::uint8_t>(upperAscii(wanted.name[c]));
        }
        descriptor[11] = static_cast<std::uint8_t>(form.type);
        descriptor[16] = static_cast<std::uint8_t>(form.width & 0xFF);
        descriptor[17] =
            static_cast<std::uint8_t>(form.type == 'C' ? form.width >> 8 : form.decimals);
        recordLength += static_cast<std::size_t>(form.width);
    }
    if (recordLength > 0xFFFF) {
        throw DbfError("Record too long.");
    }
    out[headerLength - 1] = kHeaderTerminator;

    DbfHeader header;
    header.headerLength = static_cast<std::uint16_t>(headerLength);
    header.recordLength = static_cast<std::uint16_t>(recordLength);
    header.languageId = languageId;
    stampDate(header, date);
    header.serialize(std::span<std::uint8_t, DbfHeader::kSize>(out.data(), DbfHeader::kSize));
    return out;
}

namespace {

// Kinds as bits, so a kind is tested against a set at once: this runs for every value written.
constexpr unsigned bitOf(FieldKind kind) {
    return 1U << static_cast<unsigned>(kind);
}
constexpr unsigned kIntegerKinds =
    bitOf(FieldKind::SmallInt) | bitOf(FieldKind::Int32) | bitOf(FieldKind::Int64);
constexpr unsigned kNumericKinds = kIntegerKinds | bitOf(FieldKind::Float);

}  // namespace

bool isIntegerKind(FieldKind kind) {
    return (bitOf(kind) & kIntegerKinds) != 0;
}

bool isNumericKind(FieldKind kind) {
    return (bitOf(kind) & kNumericKinds) != 0;
}

std::optional<double> decodeNumber(const DbfFieldDescriptor& field,
                                   std::span<const std::uint8_t> bytes) {
    if (field.type == 'I') {
        return static_cast<double>(static_cast<std::int32_t>(bytes::readU32(bytes.data())));
    }
    std::string_view text = bytes::asText(bytes);
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return 0.0;
    }
    return value;
}

void encodeDouble(const DbfFieldDescriptor& field, double value, std::span<std::uint8_t> out) {
    if (!std::isfinite(value)) {
        throw DbfError("Value does not fit field \"" + field.name + "\": not a finite number.");
    }
    if (field.kind == FieldKind::Float) {
        putNumberText(field, formatFixed(value, field.decimals), out);
    } else if (isIntegerKind(field.kind)) {
        if (std::fabs(value) >= 9.2e18) {
            doesNotFit(field, formatFixed(value, 0));
        }
        encodeInteger(field, std::llround(value), out);
    } else if (field.kind == FieldKind::Text) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
        putNumberText(field, std::string_view(buffer, result.ptr), out);
    } else {
        throw DbfError("Field \"" + field.name + "\" does not hold numbers.");
    }
}

void encodeInteger(const DbfFieldDescriptor& field, long long value, std::span<std::uint8_t> out) {
    if (field.type == 'I') {
        if (value < INT32_MIN || value > INT32_MAX) {
            doesNotFit(field, std::to_string(value));
        }
        bytes::writeU32(out.data(), static_cast<std::uint32_t>(static_cast<std::int32_t>(value)));
    } else if (field.kind == FieldKind::Float) {
        encodeDouble(field, static_cast<double>(value), out);
    } else if (isIntegerKind(field.kind) || field.kind == FieldKind::Text) {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
        putNumberText(field, std::string_view(buffer, result.ptr), out);
    } else {
        throw DbfError("Field \"" + field.name + "\" does not hold numbers.");
    }
}

}  // namespace zond::dbf
