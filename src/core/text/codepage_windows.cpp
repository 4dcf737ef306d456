// The code-page tables from Windows' own conversion (MultiByteToWideChar), no iconv needed.
#include <windows.h>

#include "text/codepage_system.h"

namespace zond::text {

namespace {

// MB_ERR_INVALID_CHARS makes an undefined byte fail instead of turning into a best-fit guess;
// some bytes a code page leaves undefined (0x98 in 1251) come back as the C1 control of the same
// value instead, which no code page defines them as.
char32_t decodeByte(UINT codePage, unsigned char byte) {
    const char in = static_cast<char>(byte);
    wchar_t out[2] = {};
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &in, 1, out, 2);
    if (n != 1 || (byte < 0xA0 && out[0] == byte)) {
        return kReplacementCharacter;
    }
    return static_cast<char32_t>(out[0]);
}

}  // namespace

std::optional<UpperHalf> systemUpperHalf(int codePage) {
    CPINFO info{};
    if (codePage <= 0 || !GetCPInfo(static_cast<UINT>(codePage), &info) || info.MaxCharSize != 1) {
        return std::nullopt;
    }
    UpperHalf upper{};
    for (std::size_t i = 0; i < upper.size(); ++i) {
        upper[i] = decodeByte(static_cast<UINT>(codePage), static_cast<unsigned char>(0x80 + i));
    }
    return upper;
}

}  // namespace zond::text
