#include "config/config_lines.h"

#include <cmath>

#include "common/numbers.h"

namespace qv::config {

namespace {

// The value of a read reply starts at this (1-based) character.
constexpr size_t ValuePosition = 9;
// Characters taken for a 12-hour temperature value.
constexpr size_t NumberFieldLength = 10;
// "*00" + ID + "VR=" + the kind letter.
constexpr size_t IdentityLength = 9;
// The start and the closing CR LF around a reply's value.
constexpr size_t FramingLength = 10;

std::string_view trimBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string queryLine(std::string_view unitId, std::string_view mnemonic) {
    std::string line = "*";
    line += unitId;
    line += "00";
    line += mnemonic;
    return line;
}

std::string writeLine(std::string_view unitId, std::string_view enable, std::string_view mnemonic,
                      std::string_view value) {
    std::string line = queryLine(unitId, enable) + queryLine(unitId, mnemonic) + "=";
    line += value;
    return line;
}

std::optional<std::string> replyValueText(std::string_view reply) {
    if (reply.size() < FramingLength) return std::nullopt;
    return std::string(reply.substr(ValuePosition - 1, reply.size() - FramingLength));
}

std::string_view replyField(std::string_view reply, size_t position, size_t count) {
    if (position == 0 || reply.size() < position) return {};
    return reply.substr(position - 1, count);
}

std::optional<char> replyCharacter(std::string_view reply, size_t position) {
    if (position == 0 || reply.size() < position) return std::nullopt;
    return reply[position - 1];
}

double replyNumber(std::string_view reply) {
    return leadingNumberValue(replyField(reply, ValuePosition, NumberFieldLength));
}

std::optional<double> echoedNumber(std::string_view reply) {
    return leadingNumber(replyField(reply, ValuePosition, NumberFieldLength));
}

bool isKnownUnit(std::string_view reply, std::string_view unitId) {
    if (reply.size() < IdentityLength) return false;
    std::string_view start = reply.substr(0, IdentityLength);
    for (const char* kind : {"P", "M", "X"}) {
        if (start == "*00" + std::string(unitId) + "VR=" + kind) return true;
    }
    return false;
}

std::optional<int> detectedTempUnitPosition(std::string_view valueText) {
    std::optional<double> value = wholeTextValue(valueText);
    if (!value) return std::nullopt;
    double position = std::floor(*value);
    if (!(position >= 0 && position <= 2)) return std::nullopt;
    return static_cast<int>(position);
}

bool tableHoldsTemperature(const std::vector<std::string>& rows, double temperature) {
    if (rows.empty()) return true;
    for (const std::string& row : rows) {
        std::string_view trimmed = trimBlanks(row);
        std::string_view field = trimmed.substr(0, trimmed.find(' '));
        if (leadingNumberValue(field) == temperature) return true;
    }
    return false;
}

}  // namespace qv::config
