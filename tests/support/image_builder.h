// Memory images written byte by byte from the record layout, for tests and benchmarks.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zond::testing {

struct ImageRecordSpec {
    std::uint8_t flags = 0;  // bit 7 mode, bits 0-2 channel
    std::uint16_t tempIn = 2000;
    std::uint16_t tempExt = 0;
    std::uint8_t second = 0;
    std::uint8_t minute = 0;
    std::uint8_t hour = 12;
    std::uint8_t day = 1;
    std::uint8_t month = 1;
    std::uint8_t year = 9;
    std::array<std::uint16_t, 3> flux{};
};

inline void appendWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// The record count (the number of records unless given) followed by 17 bytes per record.
inline std::vector<std::uint8_t> buildImage(std::span<const ImageRecordSpec> records,
                                            std::optional<std::uint16_t> count = std::nullopt) {
    std::vector<std::uint8_t> image;
    appendWord(image, count.value_or(static_cast<std::uint16_t>(records.size())));
    for (const auto& r : records) {
        image.push_back(r.flags);
        appendWord(image, r.tempIn);
        appendWord(image, r.tempExt);
        image.insert(image.end(), {r.second, r.minute, r.hour, r.day, r.month, r.year});
        for (const auto flux : r.flux) {
            appendWord(image, flux);
        }
    }
    return image;
}

// `count` records one minute apart from 01.01.2009 00:00:00 on, flux raws 0, 1, 2 ... in q1.
inline std::vector<ImageRecordSpec> minuteRecords(std::size_t count) {
    std::vector<ImageRecordSpec> records(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto& r = records[i];
        r.minute = static_cast<std::uint8_t>(i % 60);
        r.hour = static_cast<std::uint8_t>(i / 60 % 24);
        r.day = static_cast<std::uint8_t>(1 + i / (60 * 24));
        r.flux = {static_cast<std::uint16_t>(i), 0, 0};
    }
    return records;
}

}  // namespace zond::testing
