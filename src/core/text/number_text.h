// Number texts shown to the user and stored in files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zond::text {

// Shortest text that reads back as the same double, '.' as decimal point, no exponent.
std::string roundTripText(double value);

// The general form shown to users: the shortest text with at most 15 significant digits, no
// exponent, no decimal part for whole numbers, and the given decimal separator.
std::string generalNumberText(double value, char decimalSeparator);

// Fixed number of decimals, rounded half away from zero, with the given decimal separator.
std::string fixedNumberText(double value, int decimals, char decimalSeparator);

// Parses a decimal number with '.' or the given separator as decimal point; surrounding spaces
// are allowed. Returns nothing for an empty or malformed text.
std::optional<double> parseNumber(std::string_view text, char decimalSeparator = '.');

// The separator of number texts from the locale's decimal and group separators: the decimal one
// when it is a single ASCII character (tables hold single bytes); otherwise '.', or ',' where '.'
// groups the digits.
char decimalSeparatorFromLocale(std::u16string_view decimal, std::u16string_view group);

// Libraries that write machine formats (xlsx XML, PDF operators) print their numbers with printf,
// which follows the C library's numeric locale: it stays "C" for the whole process, so no writer
// can put the user's decimal comma into a file. Numbers shown to people take their separator
// from the functions above or from QLocale, which do not read it. Call at start-up after anything
// that sets the locale from the environment (Qt's application object does).
void keepMachineNumberLocale();

}  // namespace zond::text
