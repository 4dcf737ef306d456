// Test helpers: a workbook stream split into its records, and bytes written as hex text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zond::xls::testing {

struct Record {
    std::uint16_t number = 0;
    std::vector<std::uint8_t> data;
    std::uint32_t position = 0;  // of the record header in the stream
};

inline std::vector<Record> splitRecords(const std::vector<std::uint8_t>& stream) {
    std::vector<Record> records;
    std::size_t at = 0;
    while (at + 4 <= stream.size()) {
        Record r;
        r.position = static_cast<std::uint32_t>(at);
        r.number = static_cast<std::uint16_t>(stream[at] | (stream[at + 1] << 8));
        const std::size_t length = stream[at + 2] | (stream[at + 3] << 8);
        r.data.assign(stream.begin() + static_cast<std::ptrdiff_t>(at + 4),
                      stream.begin() + static_cast<std::ptrdiff_t>(at + 4 + length));
        at += 4 + length;
        records.push_back(std::move(r));
    }
    return records;
}

// "01 0a ff" -> {0x01, 0x0A, 0xFF}
inline std::vector<std::uint8_t> hex(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

// Little-endian UTF-16 of an ASCII or Cyrillic text given as UTF-16 already.
inline std::vector<std::uint8_t> utf16le(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

inline std::uint16_t u16At(const std::vector<std::uint8_t>& data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
}

inline std::uint32_t u32At(const std::vector<std::uint8_t>& data, std::size_t at) {
    return static_cast<std::uint32_t>(u16At(data, at)) |
           (static_cast<std::uint32_t>(u16At(data, at + 2)) << 16);
}

}  // namespace zond::xls::testing
