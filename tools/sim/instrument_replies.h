// What the emulated instrument sends: the identification header and the data block, with the
// faults the tests provoke.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace zond::sim {

enum class Fault { None, Silent, Zap, BadHeader, BadData, NoEnd, Noise, Oversize };

// Throws std::invalid_argument for an unknown name.
Fault parseFault(const std::string& name);

struct Identity {
    std::uint8_t type = 5;
    std::uint8_t generation = 5;                    // sent as the character '0' + generation
    std::array<std::uint8_t, 3> version{9, 8, 18};  // V1, V2, V3
    std::array<std::uint8_t, 3> sensors{1, 0, 0};
};

// Characters sent before the header and before 'S' under Fault::Noise; none is a marker.
inline constexpr std::string_view kNoise = "~#\r\n";
// Data characters Fault::Oversize sends beyond the count: more than the receiver holds.
inline constexpr std::size_t kOversizeCharacters = 262144 + 4096;

std::string headerReply(const Identity& identity, Fault fault);

// 'S', the image as encoded bytes (its first two bytes are the record count), 'P'. With `zap`
// the block breaks off halfway with 'Z'.
std::string dataReply(std::span<const std::uint8_t> image, Fault fault, bool zap);

}  // namespace zond::sim
