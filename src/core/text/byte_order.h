// Little-endian numbers and fixed-width fields, shared by every reader and writer of binary
// formats (table files, the instrument image, workbooks).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace zond::bytes {

inline std::uint16_t readU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t readU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void writeU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void writeU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

inline void appendU8(std::vector<std::uint8_t>& out, std::uint8_t v) {
    out.push_back(v);
}

inline void appendU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void appendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

// IEEE 754 double in little-endian byte order.
inline void appendF64(std::vector<std::uint8_t>& out, double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
}

inline void appendBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Fixed-width text field: left-aligned, cut to the width, padded with `pad`.
inline void putLeftAligned(std::span<std::uint8_t> field, std::string_view text, char pad = ' ') {
    const std::size_t n = std::min(field.size(), text.size());
    if (n > 0) {  // an empty view may have no data pointer at all
        std::memcpy(field.data(), text.data(), n);
    }
    std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(),
              static_cast<std::uint8_t>(pad));
}

// Fixed-width numeric field: right-aligned, padded on the left with `pad`. The caller makes sure
// the text fits.
inline void putRightAligned(std::span<std::uint8_t> field, std::string_view text, char pad = ' ') {
    const std::size_t n = std::min(field.size(), text.size());
    const std::size_t start = field.size() - n;
    std::fill(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(start),
              static_cast<std::uint8_t>(pad));
    std::memcpy(field.data() + start, text.data(), n);
}

inline std::string_view asText(std::span<const std::uint8_t> field) {
    return {reinterpret_cast<const char*>(field.data()), field.size()};
}

}  // namespace zond::bytes
