// File names in the program's texts: UTF-8 on every system. (On Windows a path's narrow string
// is not reliably UTF-8, and a narrow string made into a path is read in the ANSI code page.)
#pragma once

#include <filesystem>
#include <string>

namespace zond::text {

inline std::string pathText(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return {utf8.begin(), utf8.end()};
}

inline std::filesystem::path pathFromText(const std::string& text) {
    return std::u8string(text.begin(), text.end());
}

}  // namespace zond::text
