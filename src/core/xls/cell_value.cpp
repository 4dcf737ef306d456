#include "xls/cell_value.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "xls/xls_constants.h"

namespace zond::xls {

namespace {

// The classic Windows colour scheme, by system colour index (scroll bar … tool-tip background).
constexpr std::array<Colour, 25> kClassicSystemColours = {
    rgb(0xC0, 0xC0, 0xC0), rgb(0x00, 0x80, 0x80), rgb(0x00, 0x00, 0x80), rgb(0x80, 0x80, 0x80),
    rgb(0xC0, 0xC0, 0xC0), rgb(0xFF, 0xFF, 0xFF), rgb(0x00, 0x00, 0x00), rgb(0x00, 0x00, 0x00),
    rgb(0x00, 0x00, 0x00), rgb(0xFF, 0xFF, 0xFF), rgb(0xC0, 0xC0, 0xC0), rgb(0xC0, 0xC0, 0xC0),
    rgb(0x80, 0x80, 0x80), rgb(0x00, 0x00, 0x80), rgb(0xFF, 0xFF, 0xFF), rgb(0xC0, 0xC0, 0xC0),
    rgb(0x80, 0x80, 0x80), rgb(0x80, 0x80, 0x80), rgb(0x00, 0x00, 0x00), rgb(0xC0, 0xC0, 0xC0),
    rgb(0xFF, 0xFF, 0xFF), rgb(0x00, 0x00, 0x00), rgb(0xC0, 0xC0, 0xC0), rgb(0x00, 0x00, 0x00),
    rgb(0xFF, 0xFF, 0xE1),
};

std::string dateText(double serial) {
    using namespace std::chrono;
    const double whole = std::trunc(serial);
    const auto fraction = std::fabs(serial - whole);
    constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};
    const year_month_day date{kEpoch + days{static_cast<long long>(whole)}};
    char text[32];
    std::snprintf(text, sizeof text, "%02u.%02u.%04d", static_cast<unsigned>(date.day()),
                  static_cast<unsigned>(date.month()), static_cast<int>(date.year()));
    std::string result = text;
    const auto seconds = static_cast<long long>(std::llround(fraction * 86400.0)) % 86400;
    if (seconds != 0) {
        std::snprintf(text, sizeof text, " %02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
        result += text;
    }
    return result;
}

}  // namespace

Colour resolveColour(Colour colour) {
    if (!isSystemColour(colour)) {
        return colour & 0xFFFFFF;
    }
    const auto index = colour & 0xFF;
    return index < kClassicSystemColours.size() ? kClassicSystemColours[index] : kBlack;
}

CellKind cellKindOf(const CellValue& value) {
    const bool number = std::holds_alternative<std::int32_t>(value) ||
                        std::holds_alternative<double>(value) ||
                        std::holds_alternative<Currency>(value);
    return number ? CellKind::Number : CellKind::Text;
}

double numberOf(const CellValue& value) {
    if (const auto* i = std::get_if<std::int32_t>(&value)) {
        return *i;
    }
    if (const auto* d = std::get_if<double>(&value)) {
        return *d;
    }
    if (const auto* c = std::get_if<Currency>(&value)) {
        return static_cast<double>(c->tenThousandths) / 10000.0;
    }
    return 0.0;
}

std::string textOf(const CellValue& value) {
    if (const auto* s = std::get_if<std::string>(&value)) {
        return *s;
    }
    if (const auto* d = std::get_if<DateTime>(&value)) {
        return dateText(d->days);
    }
    if (const auto* b = std::get_if<bool>(&value)) {
        return *b ? "True" : "False";
    }
    return {};
}

}  // namespace zond::xls
