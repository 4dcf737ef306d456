#include "instrument/wire_format.h"

#include "instrument/image_decoding.h"

namespace zond::instrument::wire {

namespace {

int digitValue(char c) {
    return static_cast<unsigned char>(c) - kDigitBase;
}

}  // namespace

std::uint8_t DecodeBytePair(char low, char high) {
    // Only the result is checked, as the instrument's protocol defines it: a character outside the
    // digits may still give a value in range.
    const int value = digitValue(high) * 16 + digitValue(low);
    if (value < 0 || value > 255) {
        throw RangeCheckError();
    }
    return static_cast<std::uint8_t>(value);
}

std::uint16_t DecodeWord(const char* characters) {
    const std::uint8_t low = DecodeBytePair(characters[0], characters[1]);
    const std::uint8_t high = DecodeBytePair(characters[2], characters[3]);
    return static_cast<std::uint16_t>(low + 256 * high);
}

void appendEncodedByte(std::string& out, std::uint8_t value) {
    out.push_back(static_cast<char>(kDigitBase + (value & 0x0F)));
    out.push_back(static_cast<char>(kDigitBase + (value >> 4)));
}

}  // namespace zond::instrument::wire
