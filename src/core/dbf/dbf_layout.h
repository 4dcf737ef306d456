// The structure part of a table file (header, descriptors, terminator) and the encoding of field
// values: pure functions over bytes, shared by the table and its tests and fuzz target.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "dbf/dbf_table.h"

namespace zond::dbf {

inline constexpr std::uint8_t kHeaderTerminator = 0x0D;
inline constexpr std::uint8_t kEndOfFile = 0x1A;
inline constexpr std::uint8_t kLiveFlag = ' ';
inline constexpr std::uint8_t kDeletedFlag = '*';
inline constexpr int kMaxFields = 4095;

// Field and tag names are ASCII: their case is folded without the process's locale.
inline char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The variants the version byte can name; they differ in the header and descriptor layout.
enum class DbfVariant { DBase, FoxPro, DBase7 };

// Everything a record needs to encode and decode its fields.
struct RecordLayout {
    std::vector<DbfFieldDescriptor> fields;
    const text::CodePage* codePage = nullptr;
    std::size_t recordLength = 0;
};

struct DbfStructure {
    DbfVariant variant = DbfVariant::DBase;
    DbfHeader header;
    std::vector<DbfFieldDescriptor> fields;
};

// Reads exactly out.size() bytes at offset; false when the file ends first.
using ByteReader = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> out)>;

// Reads and checks the header and descriptors of a file of fileSize bytes. Throws DbfError
// ("Invalid DBF file." or the field-count text) for anything damaged. The header's record count is
// returned as stored; the caller compares it with the file size.
DbfStructure readStructure(const ByteReader& read, std::uint64_t fileSize);

// Header, descriptors and terminator of a new table, ready to be written at offset 0.
std::vector<std::uint8_t> buildStructure(std::span<const FieldSpec> fields, std::uint8_t languageId,
                                         const HeaderDate& date);

void stampDate(DbfHeader& header, const HeaderDate& date);

// Field values. Numbers read from a field: null when it is all spaces, 0 for garbage.
std::optional<double> decodeNumber(const DbfFieldDescriptor& field,
                                   std::span<const std::uint8_t> bytes);
// These throw DbfError when the value does not fit; `out` is left untouched then.
void encodeDouble(const DbfFieldDescriptor& field, double value, std::span<std::uint8_t> out);
void encodeInteger(const DbfFieldDescriptor& field, long long value, std::span<std::uint8_t> out);

bool isNumericKind(FieldKind kind);
bool isIntegerKind(FieldKind kind);

}  // namespace zond::dbf
