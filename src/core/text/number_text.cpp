#include "text/number_text.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <system_error>
#include <utility>

namespace zond::text {

namespace {

std::string withSeparator(std::string text, char decimalSeparator) {
    if (const auto dot = text.find('.'); dot != std::string::npos) {
        text[dot] = decimalSeparator;
    }
    return text;
}

// The value rounded to 15 significant digits, as "%.15g" and reading back would give it.
double toFifteenDigits(double value) {
    char buffer[64];
    const auto text =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general, 15);
    double rounded = value;
    std::from_chars(buffer, text.ptr, rounded);
    return rounded;
}

// Digits of a plain decimal text without its leading and trailing zeros.
std::size_t significantDigits(std::string_view text) {
    const auto first = text.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return 0;
    }
    const auto last = text.find_last_of("123456789");
    const bool pointBetween = text.find('.', first) < last;
    return last - first + 1 - (pointBetween ? 1 : 0);
}

std::string fixedShortest(double value) {
    char buffer[512];
    // + 0.0 turns a negative zero into zero, which users never want to see as "-0".
    const auto result =
        std::to_chars(buffer, buffer + sizeof(buffer), value + 0.0, std::chars_format::fixed);
    return {buffer, result.ptr};
}

}  // namespace

std::string roundTripText(double value) {
    return fixedShortest(value);
}

std::string generalNumberText(double value, char decimalSeparator) {
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    }
    // A shortest text of 15 significant digits or fewer is already what rounding to 15 digits
    // gives (the value is within half an ulp of it, far less than half a unit of the 15th
    // digit), so the rounding, the costly part, is needed only for longer ones.
    std::string text = fixedShortest(value);
    if (text.size() > 15 && significantDigits(text) > 15) {
        text = fixedShortest(toFifteenDigits(value));
    }
    return withSeparator(std::move(text), decimalSeparator);
}

std::string fixedNumberText(double value, int decimals, char decimalSeparator) {
    // Round half away from zero on the decimal text, as users expect (12.25 -> 12.3), not on the
    // binary value that printf would round.
    const double scale = std::pow(10.0, decimals);
    const double scaled = toFifteenDigits(value * scale);
    // Adding +0.0 turns a negative zero into zero, so -0.04 shows as "0.0", not "-0.0".
    const double rounded = std::round(scaled) / scale + 0.0;
    char buffer[512];
    const auto text =
        std::to_chars(buffer, buffer + sizeof(buffer), rounded, std::chars_format::fixed, decimals);
    return withSeparator({buffer, text.ptr}, decimalSeparator);
}

std::optional<double> parseNumber(std::string_view text, char decimalSeparator) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::string normalized(text);
    if (decimalSeparator != '.') {
        if (const auto sep = normalized.find(decimalSeparator); sep != std::string::npos) {
            normalized[sep] = '.';
        }
    }
    std::string_view digits = normalized;
    if (digits.starts_with('+')) {
        digits.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                              std::chars_format::fixed);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

char decimalSeparatorFromLocale(std::u16string_view decimal, std::u16string_view group) {
    if (decimal.size() == 1 && decimal[0] > u' ' && decimal[0] < 0x7F) {
        return static_cast<char>(decimal[0]);
    }
    return group == u"." ? ',' : '.';
}

void keepMachineNumberLocale() {
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace zond::text
