// The pure text rules of the configuration exchanges: how the command lines
// are built and which part of a unit's reply holds the value. They take texts
// and give texts, so they can be driven directly with any input.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::config {

// A query line: "*" + ID + "00" + mnemonic ("*0100JH").
std::string queryLine(std::string_view unitId, std::string_view mnemonic);

// A write line: the enable command and the write on one line,
// "*" + ID + "00" + enable + "*" + ID + "00" + mnemonic + "=" + value
// ("*0100EW*0100JP=1").
std::string writeLine(std::string_view unitId, std::string_view enable, std::string_view mnemonic,
                      std::string_view value);

// The value text of a reply line: from the 9th character up to, not
// including, the last two (the closing CR LF). Nothing when the reply is
// shorter than ten characters, since then no such text exists.
std::optional<std::string> replyValueText(std::string_view reply);

// Up to count characters of the reply from the 1-based position; fewer when
// the reply ends sooner, the empty text when it ends before the position.
std::string_view replyField(std::string_view reply, size_t position, size_t count);

// The reply's character at the 1-based position, if it reaches that far.
std::optional<char> replyCharacter(std::string_view reply, size_t position);

// The leading-number value of the ten characters from the 9th: the number a
// 12-hour temperature reply carries.
double replyNumber(std::string_view reply);

// The same number as a write's echo carries it: nothing when the ten
// characters hold no number ("*0001" CR LF, "*0001JH=abc", a reply that ends
// before the 9th character), so that such an echo never confirms a value.
std::optional<double> echoedNumber(std::string_view reply);

// A VR reply marks a known kind of unit when its first nine characters are
// "*00" + ID + "VR=" followed by "P", "M" or "X".
bool isKnownUnit(std::string_view reply, std::string_view unitId);

// The list position a JP value text gives when detecting: its whole-text
// value rounded down, if that is one of the positions 0, 1 or 2.
std::optional<int> detectedTempUnitPosition(std::string_view valueText);

// Whether a row of the table read from the unit ("  20  1.0123") holds the
// temperature: the text before the first blank of the trimmed row, read as
// its leading-number value, equals it. An empty table holds every value.
bool tableHoldsTemperature(const std::vector<std::string>& rows, double temperature);

}  // namespace qv::config
