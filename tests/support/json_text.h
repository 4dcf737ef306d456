// A UTF-8 text as a JSON string, for files of expected values that Python checks read.
#pragma once

#include <string>
#include <string_view>

namespace zond::testing {

// Quotes and escapes `text`; control characters do not occur in the texts written this way.
inline std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

}  // namespace zond::testing
