#include "text/codepage.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "text/byte_order.h"
#include "text/codepage_system.h"

namespace zond::text {

namespace {

// Every code page here keeps ASCII as it is, and most texts are nothing else. Eight bytes at a
// time, since this runs for every text field read or written.
bool isAscii(std::string_view text) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    std::uint64_t bits = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, 8);
        bits |= word;
    }
    if (i < text.size()) {
        std::uint64_t tail = 0;
        std::memcpy(&tail, text.data() + i, text.size() - i);
        bits |= tail;
    }
    return (bits & kHighBits) == 0;
}

// Calls visit(code point) for each character of UTF-8 text; a malformed sequence is one
// replacement character.
template <typename Visit>
void forEachCodePoint(std::string_view utf8, Visit&& visit) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        // Two bytes (Latin-1, Greek, Cyrillic) are most of what is not ASCII: decoded at once.
        if ((lead & 0xE0) == 0xC0 && i + 1 < utf8.size() &&
            (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            visit(static_cast<char32_t>(((lead & 0x1F) << 6) |
                                        (static_cast<unsigned char>(utf8[i + 1]) & 0x3F)));
            i += 2;
            continue;
        }
        int extra = 0;
        char32_t ch = 0;
        if (lead < 0x80) {
            ch = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            ch = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            ch = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            ch = lead & 0x07;
        } else {
            visit(kReplacementCharacter);
            ++i;
            continue;
        }
        if (i + static_cast<std::size_t>(extra) >= utf8.size()) {
            visit(kReplacementCharacter);
            break;
        }
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((cont & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            ch = (ch << 6) | (cont & 0x3F);
        }
        if (!valid) {
            visit(kReplacementCharacter);
            ++i;
            continue;
        }
        visit(ch);
        i += static_cast<std::size_t>(extra) + 1;
    }
}

}  // namespace
CodePage::CodePage(int number) : number_(number) {
    const std::optional<UpperHalf> upper = systemUpperHalf(number);
    if (!upper) {
        throw std::invalid_argument("Unsupported code page " + std::to_string(number));
    }
    for (int b = 0; b < 256; ++b) {
        const char32_t ch = b < 0x80 ? static_cast<char32_t>(b) : (*upper)[b - 0x80];
        forward_[b] = ch;
        if (b < 0x80 || ch == kReplacementCharacter) {
            continue;
        }
        // A character with two bytes takes the first.
        if (ch >= kAlphabetsEnd) {
            otherBytes_.emplace_back(ch, static_cast<unsigned char>(b));
        } else if (alphabetBytes_[ch] == 0) {
            alphabetBytes_[ch] = static_cast<unsigned char>(b);
        }
    }
    std::stable_sort(otherBytes_.begin(), otherBytes_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

std::optional<unsigned char> CodePage::byteOf(char32_t ch) const {
    if (ch < 0x80) {
        return static_cast<unsigned char>(ch);
    }
    if (ch < kAlphabetsEnd) {
        const unsigned char b = alphabetBytes_[ch];
        return b != 0 ? std::optional(b) : std::nullopt;
    }
    const auto found =
        std::lower_bound(otherBytes_.begin(), otherBytes_.end(), ch,
                         [](const auto& entry, char32_t c) { return entry.first < c; });
    return found != otherBytes_.end() && found->first == ch ? std::optional(found->second)
                                                            : std::nullopt;
}

const CodePage& CodePage::get(int number) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<CodePage>> pages;
    const std::lock_guard lock(mutex);
    auto& slot = pages[number];
    if (!slot) {
        slot.reset(new CodePage(number));
    }
    return *slot;
}

std::string CodePage::decode(std::string_view bytes) const {
    if (isAscii(bytes)) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            appendUtf8(out, forward_[b]);
        }
    }
    return out;
}

template <typename Put>
bool CodePage::encodeEach(std::string_view utf8, Put&& put) const {
    bool exact = true;
    forEachCodePoint(utf8, [&](char32_t ch) {
        if (const auto b = byteOf(ch)) {
            put(*b);
        } else {
            put(static_cast<unsigned char>('?'));
            exact = false;
        }
    });
    return exact;
}

EncodedText CodePage::encode(std::string_view utf8) const {
    EncodedText result;
    if (isAscii(utf8)) {
        result.bytes = utf8;
        return result;
    }
    result.bytes.reserve(characterCount(utf8));  // a short text stays in the string itself
    result.lossy =
        !encodeEach(utf8, [&](unsigned char b) { result.bytes.push_back(static_cast<char>(b)); });
    return result;
}

bool CodePage::encodeField(std::string_view utf8, std::span<std::uint8_t> field) const {
    if (isAscii(utf8)) {
        bytes::putLeftAligned(field, utf8);
        return true;
    }
    std::size_t filled = 0;
    const bool exact = encodeEach(utf8, [&](unsigned char b) {
        if (filled < field.size()) {
            field[filled++] = b;
        }
    });
    std::fill(field.begin() + static_cast<std::ptrdiff_t>(filled), field.end(),
              static_cast<std::uint8_t>(' '));
    return exact;
}

void appendUtf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else if (ch < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (ch >> 18)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
}

std::u32string toUtf32(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    forEachCodePoint(utf8, [&](char32_t ch) { out.push_back(ch); });
    return out;
}

std::string toUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char32_t ch : text) {
        appendUtf8(out, ch);
    }
    return out;
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    forEachCodePoint(utf8, [&](char32_t ch) {
        if (ch < 0x10000) {
            out.push_back(static_cast<char16_t>(ch));
        } else {
            const char32_t v = ch - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        }
    });
    return out;
}

}  // namespace zond::text
