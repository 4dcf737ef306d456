#include "instrument/image_decoding.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

using namespace zond::instrument;

namespace {

// A word stored little-endian at offset 0 of a two-byte span.
std::vector<std::uint8_t> word(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

double temperature(std::uint16_t raw) {
    return decodeTemperature(word(raw), 0);
}
std::string rawTemperatureText(std::uint16_t raw, char separator = ',') {
    return temperatureText(temperature(raw), separator);
}

DeviceInfo infoWithCodes(std::uint8_t c1, std::uint8_t c2, std::uint8_t c3, int firmware = 27) {
    DeviceInfo info;
    info.sensorCodes = {c1, c2, c3};
    info.firmwareFlag = firmware;
    info.versionNumberText = "090818";
    return info;
}

}  // namespace

TEST(ImageDecoding, ReadWordIsLittleEndianAndStaysInsideTheSpan) {
    const std::vector<std::uint8_t> bytes = {0x01, 0x02, 0x03};
    EXPECT_EQ(ReadWord(bytes, 0), 0x0201);
    EXPECT_EQ(ReadWord(bytes, 1), 0x0302);
    EXPECT_THROW(ReadWord(bytes, 2), std::out_of_range);
    EXPECT_THROW(ReadWord(bytes, 3), std::out_of_range);
    EXPECT_THROW(ReadWord({}, 0), std::out_of_range);
}

TEST(ImageDecoding, RoundTenthsRoundsHalvesUp) {
    EXPECT_DOUBLE_EQ(roundTenths(1234), 12.3);
    EXPECT_DOUBLE_EQ(roundTenths(1235), 12.4);
    EXPECT_DOUBLE_EQ(roundTenths(4), 0.0);
    EXPECT_DOUBLE_EQ(roundTenths(5), 0.1);
    EXPECT_DOUBLE_EQ(roundTenths(65535), 655.4);  // no 16-bit wrap in the +5
}

TEST(ImageDecoding, TemperatureSignAndMarker) {
    EXPECT_DOUBLE_EQ(temperature(2345), 23.5);
    EXPECT_DOUBLE_EQ(temperature(63191), -23.5);  // -2345
    EXPECT_DOUBLE_EQ(temperature(0x8000), -327.7);
    EXPECT_DOUBLE_EQ(temperature(65531), -0.1);  // -0.05 rounds away
    for (std::uint16_t raw : {65532, 65535, 1, 4}) {
        EXPECT_EQ(temperature(raw), 0.0) << raw;  // -0.04 ... 0.04
    }
    EXPECT_DOUBLE_EQ(temperature(0x7D01), 3200.1);
    EXPECT_DOUBLE_EQ(temperature(0x7D00), 320.0);
    EXPECT_DOUBLE_EQ(temperature(0x7D02), 320.0);  // 32002 hundredths, not the marker
}

TEST(ImageDecoding, TemperatureTextLimitsAndSeparator) {
    EXPECT_EQ(rawTemperatureText(2345), "23,5");
    EXPECT_EQ(rawTemperatureText(2345, '.'), "23.5");
    EXPECT_EQ(rawTemperatureText(2000), "20");
    EXPECT_EQ(rawTemperatureText(65536 - 4000), "-40");  // exactly -40.0
    EXPECT_EQ(rawTemperatureText(65536 - 4005), "-40");  // -40.1 is clamped
    EXPECT_EQ(rawTemperatureText(65536 - 4500), "-40");
    EXPECT_EQ(rawTemperatureText(65536 - 3990), "-39,9");
    EXPECT_EQ(rawTemperatureText(65532), "0");  // -0.04 shows no minus sign
    EXPECT_EQ(rawTemperatureText(32000), "320");
    EXPECT_EQ(rawTemperatureText(32004), "320");     // 320.0 after rounding
    EXPECT_EQ(rawTemperatureText(32005), ">320.0");  // 320.1, always with a full stop
    EXPECT_EQ(rawTemperatureText(0x7D01), ">320.0");
}

TEST(ImageDecoding, FluxScalingFollowsTheVersion) {
    const auto raw = word(1234);
    EXPECT_DOUBLE_EQ(decodeFlux(raw, 0, 70514), 12.3);
    EXPECT_DOUBLE_EQ(decodeFlux(raw, 0, 61201), 12.3);
    EXPECT_DOUBLE_EQ(decodeFlux(raw, 0, 90818), 123.4);
    EXPECT_DOUBLE_EQ(decodeFlux(raw, 0, 70515), 1234.0);
    EXPECT_DOUBLE_EQ(decodeFlux(raw, 0, 90819), 1234.0);
    EXPECT_DOUBLE_EQ(decodeFlux(word(65535), 0, 90818), 6553.5);  // unsigned
    EXPECT_DOUBLE_EQ(decodeFlux(word(65535), 0, 100101), 65535.0);
}

TEST(ImageDecoding, SensorAndModeNames) {
    EXPECT_EQ(sensorName(0), "НЕТ");
    EXPECT_EQ(sensorName(1), "диам. 27 мм");
    EXPECT_EQ(sensorName(5), "110X110");
    EXPECT_EQ(sensorName(6), "10X52");
    try {
        sensorName(7);
        FAIL() << "code 7 has no name";
    } catch (const RangeCheckError& error) {
        EXPECT_STREQ(error.what(), "Range check error");
    }
    EXPECT_EQ(modeName(0), "Оперативный");
    EXPECT_EQ(modeName(1), "Наблюдения");
}

TEST(ImageDecoding, SensorSubstitutionDependsOnFirmwareAndIsIdempotent) {
    auto info = infoWithCodes(1, 2, 0, 27);
    applySensorSubstitution(info);
    applySensorSubstitution(info);
    EXPECT_EQ(info.sensorCodes, (std::array<std::uint8_t, 3>{1, 6, 0}));
    EXPECT_EQ(typeText(info), "диам. 27 мм/10X52/НЕТ");

    auto old = infoWithCodes(2, 2, 2, 8);
    applySensorSubstitution(old);
    EXPECT_EQ(typeText(old), "12X80/12X80/12X80");
}

TEST(ImageDecoding, TypeTextOneOrThreeNames) {
    EXPECT_EQ(typeText(infoWithCodes(3, 3, 0)), "20X80/20X80/НЕТ");
    EXPECT_EQ(typeText(infoWithCodes(1, 0, 0)), "диам. 27 мм");
    EXPECT_EQ(typeText(infoWithCodes(0, 0, 4)), "НЕТ/НЕТ/40X80");
    EXPECT_EQ(typeText(infoWithCodes(1, 1, 1)), "диам. 27 мм/диам. 27 мм/диам. 27 мм");
    EXPECT_THROW(typeText(infoWithCodes(7, 0, 0)), RangeCheckError);
    EXPECT_THROW(typeText(infoWithCodes(1, 0, 9)), RangeCheckError);
}

TEST(ImageDecoding, VersionNumberReadsTheDigits) {
    auto info = infoWithCodes(1, 0, 0);
    EXPECT_EQ(versionNumber(info), 90818);
    info.versionNumberText = "070514";
    EXPECT_EQ(versionNumber(info), 70514);
    info.versionNumberText = "";
    EXPECT_THROW(versionNumber(info), std::runtime_error);
}

TEST(ImageDecoding, TimeTextReplacesOutOfRangeParts) {
    EXPECT_EQ(timeText(12, 15, 30), "12:15:30");
    EXPECT_EQ(timeText(0, 0, 0), "00:00:00");
    EXPECT_EQ(timeText(23, 59, 59), "23:59:59");
    EXPECT_EQ(timeText(25, 61, 9), "00:00:09");
    EXPECT_EQ(timeText(24, 10, 5), "00:10:05");
    EXPECT_EQ(timeText(7, 60, 60), "07:00:00");
    EXPECT_EQ(timeText(255, 255, 255), "00:00:00");
}

TEST(ImageDecoding, DateTextReplacesOutOfRangeDayAndMonth) {
    EXPECT_EQ(dateText(18, 8, 9), "18.08.2009");
    EXPECT_EQ(dateText(0, 13, 10), "01.01.2010");
    EXPECT_EQ(dateText(0, 0, 9), "01.01.2009");
    EXPECT_EQ(dateText(32, 12, 0), "01.12.2000");
    EXPECT_EQ(dateText(31, 4, 9), "31.04.2009");  // not checked against the month
    EXPECT_EQ(dateText(1, 1, 255), "01.01.2255");
}

TEST(ImageDecoding, TimeStampSecondsCountsFromDayOne) {
    // Day 733637 of the calendar, 12 h 15 min 30 s into it.
    EXPECT_EQ(TimeStampSeconds("18.08.2009", "12:15:30"), 733637LL * 86400 + 44130);
    EXPECT_EQ(TimeStampSeconds("18.08.2009", "12:15:30"), 63386280930LL);
    EXPECT_EQ(TimeStampSeconds("01.01.0001", "00:00:00"), 86400);
    // Consecutive seconds across a year end and across a leap day.
    EXPECT_EQ(
        TimeStampSeconds("01.01.2010", "00:00:00") - TimeStampSeconds("31.12.2009", "23:59:59"), 1);
    EXPECT_EQ(
        TimeStampSeconds("01.03.2008", "00:00:00") - TimeStampSeconds("28.02.2008", "00:00:00"),
        2 * 86400);
    EXPECT_EQ(
        TimeStampSeconds("01.03.2009", "00:00:00") - TimeStampSeconds("28.02.2009", "00:00:00"),
        86400);
    EXPECT_EQ(
        TimeStampSeconds("01.01.2001", "00:00:00") - TimeStampSeconds("01.01.2000", "00:00:00"),
        366 * 86400);
}

TEST(ImageDecoding, TimeStampSecondsRejectsImpossibleMoments) {
    try {
        TimeStampSeconds("31.04.2009", "12:15:30");
        FAIL() << "31 April accepted";
    } catch (const InvalidDateTimeError& error) {
        EXPECT_STREQ(error.what(), "'31.04.2009 12:15:30' is not a valid date and time");
    }
    EXPECT_THROW(TimeStampSeconds("29.02.2009", "00:00:00"), InvalidDateTimeError);
    EXPECT_THROW(TimeStampSeconds("29.02.2100", "00:00:00"), InvalidDateTimeError);
    EXPECT_NO_THROW(TimeStampSeconds("29.02.2000", "00:00:00"));
    EXPECT_THROW(TimeStampSeconds("18.08.2009", "24:00:00"), InvalidDateTimeError);
    EXPECT_THROW(TimeStampSeconds("18.08.2009", "12:60:00"), InvalidDateTimeError);
    EXPECT_THROW(TimeStampSeconds("", ""), InvalidDateTimeError);
    EXPECT_THROW(TimeStampSeconds("18.08.2009", "12:15"), InvalidDateTimeError);
    EXPECT_THROW(TimeStampSeconds("18-08-2009", "12:15:30"), InvalidDateTimeError);
    EXPECT_THROW(TimeStampSeconds("18.08.-2009", "12:15:30"), InvalidDateTimeError);
    EXPECT_THROW(TimeStampSeconds("18.08.2009x", "12:15:30"), InvalidDateTimeError);
}

// A record's moment straight from its bytes is the moment its texts show, out-of-range parts
// and impossible dates (31 April, 29 February 2009) included.
TEST(ImageDecoding, TimeStampOfBytesMatchesItsTexts) {
    const auto secondsOfTexts = [](auto... bytes) -> std::optional<std::int64_t> {
        const auto [day, month, year, hour, minute, second] = std::array{bytes...};
        try {
            return TimeStampSeconds(dateText(day, month, year), timeText(hour, minute, second));
        } catch (const InvalidDateTimeError&) {
            return std::nullopt;
        }
    };
    int impossible = 0;
    for (const std::uint8_t day : {0, 1, 28, 29, 30, 31, 32, 255}) {
        for (const std::uint8_t month : {0, 1, 2, 4, 12, 13}) {
            for (const std::uint8_t year : {0, 8, 9, 100, 255}) {
                for (const std::uint8_t time : {0, 23, 24, 59, 60, 255}) {
                    const auto expected = secondsOfTexts(day, month, year, time, time, time);
                    if (expected) {
                        EXPECT_EQ(timeStampOf(day, month, year, time, time, time), *expected);
                    } else {
                        ++impossible;
                        EXPECT_THROW(timeStampOf(day, month, year, time, time, time),
                                     InvalidDateTimeError);
                    }
                }
            }
        }
    }
    EXPECT_GT(impossible, 0);
}

TEST(ImageDecoding, SampleRecordDecodes) {
    const std::vector<std::uint8_t> record = {0x80, 0x29, 0x09, 0x9C, 0xFF, 30, 15,   12, 18,
                                              8,    9,    0xD2, 0x04, 0,    0,  0x7B, 0};
    namespace at = record_offset;
    EXPECT_EQ(modeName(record[at::kFlags] >> 7), "Наблюдения");
    EXPECT_EQ(record[at::kFlags] & 7, 0);
    EXPECT_DOUBLE_EQ(decodeTemperature(record, at::kTempIn), 23.5);
    EXPECT_DOUBLE_EQ(decodeTemperature(record, at::kTempExt), -1.0);
    EXPECT_EQ(timeText(record[at::kHour], record[at::kMinute], record[at::kSecond]), "12:15:30");
    EXPECT_EQ(dateText(record[at::kDay], record[at::kMonth], record[at::kYear]), "18.08.2009");
    EXPECT_DOUBLE_EQ(decodeFlux(record, at::kFlux1, 90819), 1234);
    EXPECT_DOUBLE_EQ(decodeFlux(record, at::kFlux2, 90819), 0);
    EXPECT_DOUBLE_EQ(decodeFlux(record, at::kFlux3, 90819), 123);
}
