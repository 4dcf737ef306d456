// Single-byte code pages at the borders of the program. Inside, text is UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zond::text {

struct EncodedText {
    std::string bytes;
    // True when some character had no place in the code page and was stored as '?'.
    bool lossy = false;
};

class CodePage {
  public:
    // The program's own code page: what the instrument's texts and every table it writes use.
    static constexpr int kProgramCodePage = 1251;

    // Tables are built once per code page and shared; throws std::invalid_argument for a code
    // page the system cannot convert or that is not single-byte.
    static const CodePage& get(int number);

    int number() const { return number_; }

    std::string decode(std::string_view bytes) const;
    EncodedText encode(std::string_view utf8) const;
    // Writes the text into a fixed-width field: cut at the field's end, padded with spaces.
    // Returns false when some character had no place in the code page (stored as '?').
    bool encodeField(std::string_view utf8, std::span<std::uint8_t> field) const;
    bool canEncode(char32_t ch) const { return byteOf(ch).has_value(); }

  private:
    explicit CodePage(int number);

    std::optional<unsigned char> byteOf(char32_t ch) const;
    // Calls put(byte) for each character of the text, '?' for one the page lacks; returns
    // false when there was such a character.
    template <typename Put>
    bool encodeEach(std::string_view utf8, Put&& put) const;

    int number_;
    std::array<char32_t, 256> forward_{};
    // Upper-half bytes by code point: a table for the alphabets below U+0500 (Latin-1, Greek,
    // Cyrillic), where a text's letters are, and the rest (dashes, quotes, signs) in a list
    // sorted by code point.
    static constexpr char32_t kAlphabetsEnd = 0x500;
    std::array<unsigned char, kAlphabetsEnd> alphabetBytes_{};  // 0 where the page has none
    std::vector<std::pair<char32_t, unsigned char>> otherBytes_;
};

// Splits UTF-8 into code points; malformed bytes become U+FFFD.
std::u32string toUtf32(std::string_view utf8);
std::string toUtf8(std::u32string_view text);
void appendUtf8(std::string& out, char32_t ch);

// Characters a UTF-8 text takes in a single-byte code page (one per code point).
std::size_t characterCount(std::string_view utf8);

// UTF-16LE bytes of a UTF-8 text, as workbooks store strings.
std::u16string toUtf16(std::string_view utf8);

}  // namespace zond::text
