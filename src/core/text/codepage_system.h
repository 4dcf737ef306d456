// What the code-page tables need from the operating system: the characters of the bytes 0x80 to
// 0xFF of a single-byte code page. POSIX systems ask iconv, Windows its own conversion tables.
#pragma once

#include <array>
#include <optional>

namespace zond::text {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Byte 0x80 + i maps to element i; a byte the code page leaves undefined maps to U+FFFD.
using UpperHalf = std::array<char32_t, 128>;

// Nothing when the system cannot convert the code page or it is not single-byte.
std::optional<UpperHalf> systemUpperHalf(int codePage);

}  // namespace zond::text
