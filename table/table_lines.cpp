#include "table/table_lines.h"

#include <algorithm>
#include <cmath>
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


std::optional<double> replyNumber(std::string_view reply, size_t shift) {
    std::string_view field = replyValueField(reply.substr(std::min(shift, reply.size())));
    field = field.substr(0, field.find_first_of("\r\n"));
    const std::optional<double> value = wholeTextValue(field);
    if (value && std::isfinite(*value)) return value;
    return std::nullopt;
}

bool isSendableField(std::string_view field) {
    const std::optional<double> value = wholeTextValue(field);
    return value && std::isfinite(*value) && valueText(*value).size() <= MaxEchoedValueText;
}

bool rowsShowFile(const std::vector<std::string>& rows, const std::vector<std::string>& fileLines) {
    std::vector<std::string_view> shown, inFile;
    size_t tableRows = 0;
    for (const std::string& row : rows) {
        if (!isHeaderLine(row)) ++tableRows;
        if (classifyLine(row) == LineKind::Data) shown.push_back(row);
    }
    for (const std::string& line : fileLines)
        if (classifyLine(line) == LineKind::Data) inFile.push_back(line);
    if (shown == inFile) return true;
    const bool loadStoppedAtLimit = tableRows == MaxLoadedTableLines + 1;
    return loadStoppedAtLimit && shown.size() < inFile.size() &&
           std::equal(shown.begin(), shown.end(), inFile.begin());
}

std::optional<double> echoedValue(std::string_view reply) { return leadingNumber(replyValueField(reply)); }

std::string withoutLineEnd(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

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

namespace {

// The length of the valid UTF-8 sequence at the start of text, or 0: no
// overlong forms, no surrogates, nothing beyond U+10FFFF.
size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

bool isValidUtf8(std::string_view text) {
    while (!text.empty()) {
        const size_t n = utf8SequenceLength(text);
        if (n == 0) return false;
        text.remove_prefix(n);
    }
    return true;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Windows-1252 bytes 0x80 to 0x9F; the other bytes are their own code points.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::string utf8Line(std::string_view line) {
    if (isValidUtf8(line)) return std::string(line);
    std::string out;
    out.reserve(line.size() * 2);
    for (const char ch : line) {
        const auto b = static_cast<unsigned char>(ch);
        appendUtf8(out, b >= 0x80 && b <= 0x9F ? Cp1252High[b - 0x80] : char32_t{b});
    }
    return out;
}

std::string shownFileName(std::string_view path) {
    size_t sep = path.find_last_of("/\\");
    std::string_view name = sep == std::string_view::npos ? path : path.substr(sep + 1);
    return std::string(name.substr(0, MaxShownFileName));
}

}  // namespace qv::table
