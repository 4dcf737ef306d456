// Value types of the workbook model: colours, fonts, borders, the formatting of a range and its
// cell value.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>

namespace zond::xls {

// Failures of the workbook library; what() is the text the user sees.
class XlsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A platform colour value: red in the low byte, then green, then blue. A value with the top bit
// set names a system colour by the index in its low byte.
using Colour = std::uint32_t;
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWindowText = 0xFF000008;

constexpr bool isSystemColour(Colour colour) {
    return (colour & 0x80000000u) != 0;
}
// The RGB value a colour shows as; system colours take the classic Windows scheme, so the
// window-text colour is black.
Colour resolveColour(Colour colour);

enum FontStyle : std::uint8_t {
    kBold = 0x01,
    kItalic = 0x02,
    kUnderline = 0x04,
    kStrikeOut = 0x08,
};

struct Font {
    std::string name = "Arial";
    int size = 10;  // points; the height in twips follows from it
    Colour colour = kBlack;
    std::uint8_t style = 0;    // FontStyle bits
    std::uint8_t charset = 1;  // default character set
    std::uint8_t pitch = 0;    // pitch-and-family byte; 0 is the default pitch

    bool operator==(const Font&) const = default;
};

struct Border {
    Colour colour = kBlack;
    std::uint8_t lineStyle = 0;  // BIFF8 line style code 0 (none) to 13
    std::uint8_t weight = 0;

    bool operator==(const Border&) const = default;
};

enum class BorderEdge { DiagonalDown, DiagonalUp, Bottom, Left, Right, Top };

struct Borders {
    std::array<Border, 6> edges{};  // in BorderEdge order

    Border& operator[](BorderEdge edge) { return edges[static_cast<int>(edge)]; }
    const Border& operator[](BorderEdge edge) const { return edges[static_cast<int>(edge)]; }
    bool operator==(const Borders&) const = default;
};

enum class HorizontalAlignment : std::uint8_t {
    General,
    Left,
    Centre,
    Right,
    Fill,
    Justify,
    CentreAcrossSelection
};
enum class VerticalAlignment : std::uint8_t { Top, Centre, Bottom, Justify };

// Everything of a range but its rectangle and value.
struct RangeFormat {
    Borders borders;
    Font font;
    HorizontalAlignment horizontal = HorizontalAlignment::General;
    VerticalAlignment vertical = VerticalAlignment::Bottom;
    bool wrapText = false;
    std::uint8_t rotation = 0;
    std::string numberFormat;  // empty: General
    std::uint8_t fillPattern = 0;
    Colour patternForeground = kBlack;
    Colour patternBackground = kBlack;

    bool operator==(const RangeFormat&) const = default;
};

// An amount of money in ten-thousandths.
struct Currency {
    std::int64_t tenThousandths = 0;
    bool operator==(const Currency&) const = default;
};

// Days since 30 December 1899; the fraction is the time of day.
struct DateTime {
    double days = 0;
    bool operator==(const DateTime&) const = default;
};

// A cell value: empty, integer (byte, 16 or 32 bits), floating-point, currency, text (UTF-8),
// date or boolean.
using CellValue =
    std::variant<std::monostate, std::int32_t, double, Currency, std::string, DateTime, bool>;

// How the writer stores a range: numbers as NUMBER records, everything else as text.
enum class CellKind { Number, Text };

CellKind cellKindOf(const CellValue& value);
// The number of a value of kind Number.
double numberOf(const CellValue& value);
// The text form of a value of kind Text: empty for an empty value, "dd.mm.yyyy" (plus
// " hh:mm:ss" when the time is not midnight) for a date, "True"/"False" for a boolean.
std::string textOf(const CellValue& value);

}  // namespace zond::xls
