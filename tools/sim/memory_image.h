// Memory images the emulator serves: generated from plausible readings, or read from a file.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zond::sim {

struct GeneratorSettings {
    std::size_t records = 100;
    std::chrono::sys_seconds start{};  // the first record's date and time
    std::chrono::seconds interval{600};
    std::uint32_t seed = 1;
    long versionNumber = 90818;                    // selects how fluxes are scaled
    std::array<std::uint8_t, 3> sensors{1, 0, 0};  // channels with code 0 have no flux
    // Logging-mode readings of a wall of this thermal resistance (m²·K/W) instead.
    std::optional<double> wallResistance;
    double wallCapacity = 0;  // J/(m²·K); above 0 the flux comes from a layered wall model
    double warming = 0;       // K/day added to the outside temperature of the wall readings
};

// The 16-bit count and `records` 17-byte records with ascending times, inside and outside
// temperatures that follow the day, and fluxes that follow their difference.
std::vector<std::uint8_t> generateImage(const GeneratorSettings& settings);

// Records that `days` days at `interval` take; the memory must hold them.
std::size_t recordsForDays(unsigned days, std::chrono::seconds interval);

// "dd.mm.yyyy hh:mm:ss" with a year from 2000 to 2255; throws std::invalid_argument.
std::chrono::sys_seconds parseStartTime(const std::string& text);

}  // namespace zond::sim
