// The characters on the line between the host and the instrument: commands, markers, and numbers
// sent as encoded hex digits ('0' ... '9', ':' ... '?'), low nibble first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zond::instrument::wire {

inline constexpr char kIdentify = 'V';     // host: send the identification header
inline constexpr char kRequestData = 'N';  // host: send the data block
inline constexpr char kBlockStart = 'S';   // instrument: the data block begins
inline constexpr char kBlockEnd = 'P';     // instrument: the data block ends
inline constexpr char kRestart = 'Z';      // instrument: identify again
inline constexpr char kDigitBase = '0';

inline constexpr std::size_t kHeaderLength = 16;
inline constexpr std::size_t kCountLength = 4;  // the record count: one encoded word

// Header positions.
inline constexpr std::size_t kTypeAt = 0;
inline constexpr std::size_t kGenerationAt = 2;
inline constexpr std::size_t kVersionAt = 3;  // V1, V2, V3: three encoded bytes
inline constexpr std::size_t kSensorAt = 10;  // three encoded bytes
inline constexpr std::uint8_t kExpectedType = 5;
inline constexpr std::uint8_t kExpectedGeneration = 5;

// Two characters, low nibble first; RangeCheckError when the value leaves 0 ... 255.
std::uint8_t DecodeBytePair(char low, char high);
// Four characters: two encoded bytes, low byte first.
std::uint16_t DecodeWord(const char* characters);

// The instrument's side: one byte as two encoded digits, low nibble first.
void appendEncodedByte(std::string& out, std::uint8_t value);

}  // namespace zond::instrument::wire
