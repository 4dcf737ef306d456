// Decoding of the instrument's memory image: raw numbers to temperatures and heat fluxes, codes to
// names, date and time bytes to the texts stored in the measurement table. Everything works on a
// byte span, so a saved image decodes exactly as a fresh one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "instrument/device_data.h"

namespace zond::instrument {

// A code outside its table (a sensor code above 6).
class RangeCheckError : public std::runtime_error {
  public:
    RangeCheckError() : std::runtime_error("Range check error") {}
};

// A date and time text pair that names no real moment.
class InvalidDateTimeError : public std::runtime_error {
  public:
    explicit InvalidDateTimeError(std::string_view dateTimeText)
        : std::runtime_error("'" + std::string(dateTimeText) + "' is not a valid date and time") {}
};

// Offsets inside one 17-byte image record.
namespace record_offset {
inline constexpr std::size_t kFlags = 0;
inline constexpr std::size_t kTempIn = 1;
inline constexpr std::size_t kTempExt = 3;
inline constexpr std::size_t kSecond = 5;
inline constexpr std::size_t kMinute = 6;
inline constexpr std::size_t kHour = 7;
inline constexpr std::size_t kDay = 8;
inline constexpr std::size_t kMonth = 9;
inline constexpr std::size_t kYear = 10;
inline constexpr std::size_t kFlux1 = 11;
inline constexpr std::size_t kFlux2 = 13;
inline constexpr std::size_t kFlux3 = 15;
}  // namespace record_offset

// Temperature raw value the instrument stores for a reading beyond its range.
inline constexpr std::uint16_t kTemperatureOverRange = 0x7D01;

// Little-endian word at `position`; throws std::out_of_range past the span.
std::uint16_t ReadWord(std::span<const std::uint8_t> image, std::size_t position);

// Hundredths to tenths, halves rounded up: 1234 -> 12.3, 1235 -> 12.4.
double roundTenths(std::uint16_t hundredths);

double decodeTemperature(std::span<const std::uint8_t> image, std::size_t position);
double decodeFlux(std::span<const std::uint8_t> image, std::size_t position, long version);

// Texts of the sensor codes 0 ... 6 (RangeCheckError above) and of the mode bit.
std::string_view sensorName(unsigned code);
std::string_view modeName(unsigned modeBit);

// Newer firmware reports the 10X52 sensor as code 2; map it to its own code 6. Idempotent.
void applySensorSubstitution(DeviceInfo& info);

// versionNumberText read as a decimal number ("090818" -> 90818); it selects the flux scaling.
long versionNumber(const DeviceInfo& info);

// One sensor name, or the three channels' names joined by "/".
std::string typeText(const DeviceInfo& info);

std::string timeText(std::uint8_t hour, std::uint8_t minute, std::uint8_t second);
std::string dateText(std::uint8_t day, std::uint8_t month, std::uint8_t year);
std::string temperatureText(double celsius, char decimalSeparator);

// Seconds since the start of day 1 (1 January of year 1, proleptic Gregorian) of "dd.mm.yyyy" (or
// "dd.mm.yy", a year of 2000-2099) and "hh:mm:ss"; InvalidDateTimeError for a text that is no real
// date and time.
std::int64_t TimeStampSeconds(std::string_view dateText, std::string_view timeText);
// TimeStampSeconds(dateText(day, month, year), timeText(hour, minute, second)), without making
// the texts.
std::int64_t timeStampOf(std::uint8_t day, std::uint8_t month, std::uint8_t year, std::uint8_t hour,
                         std::uint8_t minute, std::uint8_t second);

}  // namespace zond::instrument
