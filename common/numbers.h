// The number conversions every part of the window uses to turn texts into
// numbers and numbers into texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv {

// Leading-number value: blanks, tabs and line feeds are ignored wherever they
// stand; then an optional sign, digits, an optional "." with digits and an
// optional exponent are read, up to the first other character (a CR stops
// it). A text with no leading number gives 0. Never depends on the locale.
// The exponent is "E" or "e" with an optional sign and digits; an "E" without
// digits ends the number ("1E" gives 1). A magnitude beyond the range of a
// double gives the largest double with the number's sign; one too small for a
// double gives 0. A zero result is always +0 ("-0" gives 0).
double leadingNumberValue(std::string_view text);

// The leading number of a text, read as leadingNumberValue reads it; nothing
// when the text holds no leading number at all ("", "*0001", "abc", "-"),
// where leadingNumberValue gives 0.
std::optional<double> leadingNumber(std::string_view text);

// Signed number text: " " for zero and positive values, "-" for negative ones,
// then the shortest plain decimal form with at most 15 significant digits, no
// trailing zeros, and no "0" before the point below 1 (" .9876", "-.5").
// -0 gives " 0". There is never an exponent: digits beyond the fifteenth
// are written as zeros before the point (" 123456789012346000") and small
// magnitudes get zeros after it (" .00001"). Not-a-number gives " NaN",
// infinities " Infinity" and "-Infinity".
std::string signedNumberText(double value);

// The signed number text without the blank of a non-negative value.
std::string valueText(double value);

// Whole-text value: the number a text holds when, with blanks and tabs
// around it, it is one number: an optional sign, digits with an optional
// decimal point ".", an optional exponent ("E" or "e", an optional sign and
// digits). The point is "." whatever the user's locale, and no grouping
// separator is accepted, so "1,000" and "29,92" are not numbers (the boxes
// admit only digits, "-" and ".", and the unit and the table files write
// "."). Nothing for any other text, the empty text included. A number too
// large for a double reads as an infinity of its sign: it is still a number,
// only beyond every range a caller checks. One too small reads as 0.
std::optional<double> wholeTextValue(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value);

}  // namespace qv
