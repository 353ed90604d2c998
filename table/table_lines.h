// The pure text rules of the pressure reduction table: how table file lines
// are classified and split, how a table line is addressed, what part of a
// unit's reply holds the value, and the texts the table files carry. They
// take texts and give texts, so they can be driven directly with any input.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace qv::table {

// The largest line index the three-digit index field can address.
constexpr int MaxLineIndex = 999;
// Table lines a loaded file may hold before the load warns and stops.
constexpr int MaxLoadedTableLines = 181;
// Characters of a chosen file name shown in the file name box.
constexpr size_t MaxShownFileName = 100;
// A data line, trimmed, is this long.
constexpr size_t MinDataLineLength = 3;
constexpr size_t MaxDataLineLength = 25;
// The temperature a unit reports after its last table line.
constexpr double EndMarkerTemperature = 9999;

// A header (comment) line has "*" as its very first character.
bool isHeaderLine(std::string_view line);

// Blanks (spaces only; tabs are kept) removed at the start, or at both ends.
std::string_view trimLeadingBlanks(std::string_view text);
std::string_view trimBlanks(std::string_view text);

enum class LineKind { Header, Empty, Data };
// Header: first character "*"; Empty: nothing but blanks; Data: the rest.
LineKind classifyLine(std::string_view line);

// A data line is well formed when, trimmed, it is 3 to 25 characters long
// and holds exactly one run of blanks (which then stands inside it).
bool isWellFormedDataLine(std::string_view line);

// The two fields of a data line once its leading blanks are removed: the
// temperature is the text before the first blank, the ratio the whole text
// after the run of blanks that follows it (empty when there is none).
struct DataFields {
    std::string temperature;
    std::string ratio;
};
DataFields splitDataLine(std::string_view line);

// The line index as three digits with leading zeros ("001", "045"); an index
// beyond 999 gives its plain digits.
std::string indexField(int lineIndex);

// The value part of a table reply: the 12 characters from the 12th (fewer
// when the reply is shorter, empty when it ends before the 12th).
std::string_view replyValueField(std::string_view reply);
// The number a read reply carries: the value field from the 12th character,
// `shift` characters later (a four-digit index), cut at its line end, read
// whole. Nothing when that is not one number as a whole ("1.0#23", "1O", an
// empty field) or is beyond a double's range: such a reply was garbled on
// the way or cut short.
std::optional<double> replyNumber(std::string_view reply, size_t shift = 0);
// The number that part holds as a write's echo carries it: nothing when it
// holds none ("*0001" CR LF, "*0001JT001=abc", a reply that ends before the
// 12th character), so that such an echo never confirms a value.
std::optional<double> echoedValue(std::string_view reply);

// The characters of a value's text the unit echoes back: a value whose text
// is longer can never be confirmed.
constexpr size_t MaxEchoedValueText = 12;
// A field of a data line the unit can be sent and can confirm: one number as
// a whole, within a double's range, whose value text fits the echo.
bool isSendableField(std::string_view field);

// Whether the rows of List1 still show the file's table: its data lines
// (neither header nor blank lines) are the data rows of the list, or, where
// the load stopped at its limit, the list's data rows are the first of them.
bool rowsShowFile(const std::vector<std::string>& rows, const std::vector<std::string>& fileLines);

// A reply's text without its CR and LF characters, as a message quotes it.
std::string withoutLineEnd(std::string_view text);

// A row of the table read from the unit: " 20  1.0123", "-40  .9876".
std::string tableRow(double temperature, double ratio);

// "hh:mm:ss" on the 24-hour clock and "mm-dd-yyyy", whatever the locale.
std::string timeText(const LocalTime& t);
std::string dateText(const LocalTime& t);

// The six header lines a saved table file starts with.
std::vector<std::string> savedFileHeader(const LocalTime& t);
// The whole text of a saved table file: the six header lines, then one line
// per row, each ended by CR LF.
std::string savedFileText(const LocalTime& t, const std::vector<std::string>& rows);
// The name the save dialog proposes: "PRR Table 03-04-2024 .TXT".
std::string proposedSaveName(const LocalTime& t);

// A table file line as UTF-8 text: a line that is valid UTF-8 unchanged,
// any other line read as a whole as Windows-1252, the code page of table
// files made on Windows (its five undefined bytes give the control characters
// of the same numbers).
std::string utf8Line(std::string_view line);

// The part of a path after its last "/" or "\", cut to 100 characters.
std::string shownFileName(std::string_view path);

}  // namespace qv::table
