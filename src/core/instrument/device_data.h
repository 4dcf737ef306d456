// What one transfer leaves behind: the instrument's identity and its memory image. Both live as
// long as the program (owned by the receive window / the CLI session) and are overwritten by
// every transfer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zond::instrument {

struct DeviceInfo {
    std::uint8_t instrumentType = 0;
    std::uint8_t generation = 0;
    std::string versionText;        // "18.08.09" for V1.V2.V3 = 9.8.18
    std::string versionNumberText;  // "090818" for the same bytes
    int firmwareFlag = 0;
    std::array<std::uint8_t, 3> sensorCodes{};
    std::uint8_t channelCount = 0;
};

// A 16-bit record count followed by 17-byte records, as assembled from the data block. Bytes past
// the assembled length keep what an earlier transfer left; readers must stay below it.
struct DeviceImage {
    static constexpr std::size_t kSize = 65536;
    static constexpr std::size_t kRecordSize = 17;
    static constexpr std::size_t kMaxRecords = (kSize - 2) / kRecordSize;  // 3854

    std::array<std::uint8_t, kSize> bytes{};
    std::size_t assembledLength = 0;

    std::span<const std::uint8_t> assembled() const { return {bytes.data(), assembledLength}; }
};

}  // namespace zond::instrument
