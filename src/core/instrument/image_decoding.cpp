#include "instrument/image_decoding.h"

#include <array>
#include <charconv>
#include <iterator>
#include <optional>

#include "text/byte_order.h"
#include "text/number_text.h"

namespace zond::instrument {

namespace {

constexpr std::array<std::string_view, 7> kSensorNames = {"НЕТ",   "диам. 27 мм", "12X80", "20X80",
                                                          "40X80", "110X110",     "10X52"};
constexpr std::array<std::string_view, 2> kModeNames = {"Оперативный", "Наблюдения"};

constexpr double kLowestTemperature = -40.0;
constexpr double kHighestTemperature = 320.0;

// A date or time part as the texts show it: `fallback` when the instrument's value is out of range.
int shownPart(unsigned value, unsigned low, unsigned high, int fallback) {
    return value < low || value > high ? fallback : static_cast<int>(value);
}

// Two decimal digits and the separator after them (none after the last part).
char* putPart(char* out, int value, char separator = '\0') {
    *out++ = static_cast<char>('0' + value / 10);
    *out++ = static_cast<char>('0' + value % 10);
    if (separator != '\0') {
        *out++ = separator;
    }
    return out;
}

// Reads "a<sep>b<sep>c", each part one to four decimal digits.
std::optional<std::array<int, 3>> splitThree(std::string_view text, char separator) {
    std::array<int, 3> parts{};
    const char* cursor = text.data();
    const char* const end = text.data() + text.size();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (cursor == end || *cursor != separator) {
                return std::nullopt;
            }
            ++cursor;
        }
        const char* const start = cursor;
        const auto [next, error] = std::from_chars(cursor, end, parts[i]);
        if (error != std::errc{} || next - start > 4 || *start == '-') {
            return std::nullopt;
        }
        cursor = next;
    }
    if (cursor != end) {
        return std::nullopt;
    }
    return parts;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// Day number of a valid date, 1 January of year 1 being day 1.
std::int64_t dayNumber(int year, int month, int day) {
    // Count from 1 March so the leap day ends the counting year.
    const std::int64_t y = month <= 2 ? year - 1 : year;
    const std::int64_t shiftedMonth = (month + 9) % 12;  // March = 0
    const std::int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    const std::int64_t daysBeforeYear = 365 * y + y / 4 - y / 100 + y / 400;
    // 306 days from 1 March of year 0 to 1 January of year 1, which is day 1.
    return daysBeforeYear + dayOfYear - 306 + 1;
}

// Seconds since the start of day 1 of a real date and time; nothing for any other.
std::optional<std::int64_t> momentSeconds(int year, int month, int day, int hour, int minute,
                                          int second) {
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    return dayNumber(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace

std::uint16_t ReadWord(std::span<const std::uint8_t> image, std::size_t position) {
    if (position >= image.size() || image.size() - position < 2) {
        throw std::out_of_range("image word beyond the assembled bytes");
    }
    return bytes::readU16(image.data() + position);
}

double roundTenths(std::uint16_t hundredths) {
    return static_cast<double>((static_cast<unsigned>(hundredths) + 5) / 10) / 10.0;
}

double decodeTemperature(std::span<const std::uint8_t> image, std::size_t position) {
    const std::uint16_t raw = ReadWord(image, position);
    if (raw == kTemperatureOverRange) {
        return 3200.1;
    }
    if (raw & 0x8000) {
        return -roundTenths(static_cast<std::uint16_t>(65536 - raw));
    }
    return roundTenths(raw);
}

double decodeFlux(std::span<const std::uint8_t> image, std::size_t position, long version) {
    const std::uint16_t raw = ReadWord(image, position);
    if (version <= 70514) {
        return roundTenths(raw);  // hundredths
    }
    if (version == 90818) {
        return raw / 10.0;  // tenths
    }
    return raw;
}

std::string_view sensorName(unsigned code) {
    if (code >= kSensorNames.size()) {
        throw RangeCheckError();
    }
    return kSensorNames[code];
}

std::string_view modeName(unsigned modeBit) {
    if (modeBit >= kModeNames.size()) {
        throw RangeCheckError();
    }
    return kModeNames[modeBit];
}

void applySensorSubstitution(DeviceInfo& info) {
    if (info.firmwareFlag <= 8) {
        return;
    }
    for (auto& code : info.sensorCodes) {
        if (code == 2) {
            code = 6;
        }
    }
}

long versionNumber(const DeviceInfo& info) {
    const std::string& text = info.versionNumberText;
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        throw std::runtime_error("'" + text + "' is not a valid integer value");
    }
    return value;
}

std::string typeText(const DeviceInfo& info) {
    const auto& codes = info.sensorCodes;
    if (codes[1] == 0 && codes[2] == 0) {
        return std::string(sensorName(codes[0]));
    }
    std::string text;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (i > 0) {
            text += '/';
        }
        text += sensorName(codes[i]);
    }
    return text;
}

std::string timeText(std::uint8_t hour, std::uint8_t minute, std::uint8_t second) {
    char text[8];
    char* out = putPart(text, shownPart(hour, 0, 23, 0), ':');
    out = putPart(out, shownPart(minute, 0, 59, 0), ':');
    out = putPart(out, shownPart(second, 0, 59, 0));
    return {text, out};
}

std::string dateText(std::uint8_t day, std::uint8_t month, std::uint8_t year) {
    char text[10];
    char* out = putPart(text, shownPart(day, 1, 31, 1), '.');
    out = putPart(out, shownPart(month, 1, 12, 1), '.');
    out = std::to_chars(out, std::end(text), 2000 + year).ptr;  // 2000 to 2255: four digits
    return {text, out};
}

std::string temperatureText(double celsius, char decimalSeparator) {
    if (celsius < kLowestTemperature) {
        return text::generalNumberText(kLowestTemperature, decimalSeparator);
    }
    if (celsius > kHighestTemperature) {
        return ">320.0";
    }
    return text::generalNumberText(celsius, decimalSeparator);
}

std::int64_t TimeStampSeconds(std::string_view dateText, std::string_view timeText) {
    const auto date = splitThree(dateText, '.');
    const auto time = splitThree(timeText, ':');
    const auto invalid = [&] {
        return InvalidDateTimeError(std::string(dateText) + " " + std::string(timeText));
    };
    if (!date || !time) {
        throw invalid();
    }
    auto [day, month, year] = *date;
    // "dd.mm.yy", as other programs write it: the years of this century, as DateText writes them.
    if (dateText.size() - dateText.rfind('.') <= 3) {
        year += 2000;
    }
    const auto [hour, minute, second] = *time;
    if (const auto seconds = momentSeconds(year, month, day, hour, minute, second)) {
        return *seconds;
    }
    throw invalid();
}

std::int64_t timeStampOf(std::uint8_t day, std::uint8_t month, std::uint8_t year, std::uint8_t hour,
                         std::uint8_t minute, std::uint8_t second) {
    if (const auto seconds = momentSeconds(
            2000 + year, shownPart(month, 1, 12, 1), shownPart(day, 1, 31, 1),
            shownPart(hour, 0, 23, 0), shownPart(minute, 0, 59, 0), shownPart(second, 0, 59, 0))) {
        return *seconds;
    }
    throw InvalidDateTimeError(dateText(day, month, year) + " " + timeText(hour, minute, second));
}

}  // namespace zond::instrument
