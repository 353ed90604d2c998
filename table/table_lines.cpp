#include "table/table_lines.h"

#include <cstdio>

#include "common/numbers.h"

namespace qv::table {

bool isHeaderLine(std::string_view line) { return !line.empty() && line.front() == '*'; }

std::string_view trimLeadingBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string_view trimBlanks(std::string_view text) {
    text = trimLeadingBlanks(text);
    size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

LineKind classifyLine(std::string_view line) {
    if (isHeaderLine(line)) return LineKind::Header;
    return trimBlanks(line).empty() ? LineKind::Empty : LineKind::Data;
}

bool isWellFormedDataLine(std::string_view line) {
    std::string_view t = trimBlanks(line);
    if (t.size() < MinDataLineLength || t.size() > MaxDataLineLength) return false;
    int runs = 0;
    for (size_t i = 0; i < t.size(); ++i)
        if (t[i] == ' ' && (i == 0 || t[i - 1] != ' ')) ++runs;
    return runs == 1;
}

DataFields splitDataLine(std::string_view line) {
    std::string_view t = trimLeadingBlanks(line);
    size_t blank = t.find(' ');
    if (blank == std::string_view::npos) return {std::string(t), {}};
    return {std::string(t.substr(0, blank)), std::string(trimLeadingBlanks(t.substr(blank)))};
}

std::string indexField(int lineIndex) {
    std::string digits = std::to_string(lineIndex < 0 ? -static_cast<long long>(lineIndex) : lineIndex);
    if (digits.size() >= 3) return digits;
    return std::string(3 - digits.size(), '0') + digits;
}

std::string_view replyValueField(std::string_view reply) {
    if (reply.size() < 12) return {};
    return reply.substr(11, 12);
}

double replyValue(std::string_view reply) { return leadingNumberValue(replyValueField(reply)); }

std::optional<double> echoedValue(std::string_view reply) { return leadingNumber(replyValueField(reply)); }

std::string tableRow(double temperature, double ratio) {
    return signedNumberText(temperature) + " " + signedNumberText(ratio);
}

std::string timeText(const LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

std::string dateText(const LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", t.month, t.day, t.year);
    return buf;
}

std::vector<std::string> savedFileHeader(const LocalTime& t) {
    return {"*", "* KELMORADYNIQUE, INC.", "*", "* Pressure Reduction Table",
            "* as of " + timeText(t) + " " + dateText(t), "*"};
}

std::string savedFileText(const LocalTime& t, const std::vector<std::string>& rows) {
    std::string text;
    for (const std::string& line : savedFileHeader(t)) text += line + "\r\n";
    for (const std::string& row : rows) text += row + "\r\n";
    return text;
}

std::string proposedSaveName(const LocalTime& t) { return "PRR Table " + dateText(t) + " .TXT"; }

std::string shownFileName(std::string_view path) {
    size_t sep = path.find_last_of("/\\");
    std::string_view name = sep == std::string_view::npos ? path : path.substr(sep + 1);
    return std::string(name.substr(0, MaxShownFileName));
}

}  // namespace qv::table
