// File names inside the program are UTF-8 text on every system. These turn
// such a name into a std::filesystem::path and back without going through the
// system's narrow code page (on Windows that would be the ANSI code page, and
// a name such as "Tabelle °C.txt" would be mangled or not found).
#pragma once

#include <filesystem>
#include <string>

namespace qv {

// The path named by the UTF-8 text `name`.
inline std::filesystem::path pathFromUtf8(const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

// The path as UTF-8 text.
inline std::string utf8Name(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace qv
