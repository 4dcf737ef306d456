#include "text/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

using namespace zond::text;

TEST(NumberText, GeneralFormUsesSeparatorAndDropsWholeDecimals) {
    EXPECT_EQ(generalNumberText(20.0, ','), "20");
    EXPECT_EQ(generalNumberText(20.3, ','), "20,3");
    EXPECT_EQ(generalNumberText(-39.9, '.'), "-39.9");
    EXPECT_EQ(generalNumberText(0.1 + 0.2, '.'), "0.3");  // 15 significant digits
    EXPECT_EQ(generalNumberText(1e-7, '.'), "0.0000001");
    EXPECT_EQ(generalNumberText(123456789012345678.0, '.'), "123456789012346000");
}

// The general form is the value printf gives with "%.15g", read back and written shortest.
TEST(NumberText, GeneralFormEqualsFifteenDigitsReadBack) {
    const auto viaPrintf = [](double value) {
        char digits[64];
        std::snprintf(digits, sizeof(digits), "%.15g", value);
        char text[512];
        const double rounded = std::strtod(digits, nullptr) + 0.0;
        return std::string(
            text, std::to_chars(text, text + sizeof(text), rounded, std::chars_format::fixed).ptr);
    };
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-9, 19);
    for (int i = 0; i < 20000; ++i) {
        const double tenths =
            (i - 400) / 10.0;  // temperatures and fluxes as the instrument sends them
        const double any = (i % 2 ? -1 : 1) * mantissa(random) * std::pow(10.0, exponent(random));
        EXPECT_EQ(generalNumberText(tenths, '.'), viaPrintf(tenths));
        EXPECT_EQ(generalNumberText(any, '.'), viaPrintf(any));
    }
}

TEST(NumberText, RoundTripIsShortestAndExact) {
    EXPECT_EQ(roundTripText(12.5), "12.5");
    EXPECT_EQ(roundTripText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(roundTripText(-0.0), "0");
    EXPECT_EQ(roundTripText(7), "7");
}

TEST(NumberText, FixedRoundsHalfAwayFromZero) {
    EXPECT_EQ(fixedNumberText(12.46, 1, ','), "12,5");
    EXPECT_EQ(fixedNumberText(12.25, 1, '.'), "12.3");
    EXPECT_EQ(fixedNumberText(-3.25, 1, '.'), "-3.3");
    EXPECT_EQ(fixedNumberText(-0.04, 1, '.'), "0.0");
    EXPECT_EQ(fixedNumberText(12.5, 9, '.'), "12.500000000");
}

TEST(NumberText, ParsesWithEitherSeparator) {
    EXPECT_EQ(parseNumber("  12.5 "), 12.5);
    EXPECT_EQ(parseNumber("23,5", ','), 23.5);
    EXPECT_EQ(parseNumber("-40"), -40.0);
    EXPECT_FALSE(parseNumber(">320.0").has_value());
    EXPECT_FALSE(parseNumber("   ").has_value());
    EXPECT_FALSE(parseNumber("1.2.3").has_value());
}

TEST(NumberText, SeparatorOutsideASCIIFallsBackToOneThatDoesNotGroup) {
    EXPECT_EQ(decimalSeparatorFromLocale(u",", u"\u00A0"), ',');
    EXPECT_EQ(decimalSeparatorFromLocale(u".", u","), '.');
    EXPECT_EQ(decimalSeparatorFromLocale(u"\u066B", u"\u066C"), '.');  // Arabic
    EXPECT_EQ(decimalSeparatorFromLocale(u"\u066B", u"."), ',');
    EXPECT_EQ(decimalSeparatorFromLocale(u"", u""), '.');
}
