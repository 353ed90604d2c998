#include "platform/files.h"

#include <system_error>

#include "platform/file_names.h"

namespace qv {

std::string FileSystem::fullPath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(pathFromUtf8(path), ec);
    return ec ? path : utf8Name(full.lexically_normal());
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    // Windows editors start a UTF-8 text with a byte-order mark.
    const size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (size_t i = start; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace qv
