// The code-page tables from iconv.
#include <iconv.h>

#include <string>

#include "text/codepage_system.h"

namespace zond::text {

namespace {

// One byte through iconv, so an undefined byte costs only its own entry.
char32_t decodeByte(iconv_t cd, unsigned char byte) {
    char in[1] = {static_cast<char>(byte)};
    char32_t out[2] = {};
    char* inPtr = in;
    auto* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof(out);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
        outLeft != sizeof(out) - sizeof(char32_t)) {
        return kReplacementCharacter;
    }
    return out[0];
}

}  // namespace

std::optional<UpperHalf> systemUpperHalf(int codePage) {
    iconv_t cd = iconv_open("UTF-32LE", ("CP" + std::to_string(codePage)).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    UpperHalf upper{};
    for (std::size_t i = 0; i < upper.size(); ++i) {
        upper[i] = decodeByte(cd, static_cast<unsigned char>(0x80 + i));
    }
    iconv_close(cd);
    return upper;
}

}  // namespace zond::text
