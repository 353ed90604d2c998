#include "platform/serial_port.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace qv {

namespace {

std::string trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// A whole number of at most seven digits, nothing else.
bool whole(const std::string& s, int& out) {
    if (s.empty() || s.size() > 7 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    out = std::stoi(s);
    return true;
}

}  // namespace

LineSettings parseLineSettings(const std::string& settings, const std::function<bool(int)>& baudUsable) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        auto comma = settings.find(',', start);
        parts.push_back(trim(settings.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    auto invalid = [&](const std::string& what) {
        return SerialError(SerialError::InvalidSetting, "Invalid property value: " + what + " in \"" + settings + "\"");
    };
    if (parts.size() != 4) throw invalid("line settings must read baud,parity,data bits,stop bits");
    LineSettings line;
    if (!whole(parts[0], line.baud) || !baudUsable(line.baud)) throw invalid("baud rate " + parts[0]);
    if (parts[1].size() != 1 || std::string("NnEeOo").find(parts[1][0]) == std::string::npos)
        throw invalid("parity " + parts[1]);
    line.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(parts[1][0])));
    if (!whole(parts[2], line.dataBits) || line.dataBits < 5 || line.dataBits > 8) throw invalid("data bits " + parts[2]);
    if (!whole(parts[3], line.stopBits) || line.stopBits < 1 || line.stopBits > 2) throw invalid("stop bits " + parts[3]);
    return line;
}

}  // namespace qv
