// The number conversions every part of the window uses to turn texts into
// numbers and numbers into texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The separators of the user's locale that the whole-text value accepts.
struct NumberLocale {
    std::string decimal = ".";
    std::string grouping = ",";
    // The separators of the current C locale (set from the environment at start-up).
    // A locale without a grouping separator (the C locale) accepts no grouping.
    static NumberLocale current();
};

// Leading-number value: blanks, tabs and line feeds are ignored wherever they
// stand; then an optional sign, digits, an optional "." with digits and an
// optional exponent are read, up to the first other character (a CR stops
// it). A text with no leading number gives 0. Never depends on the locale.
// The exponent is "E" or "e" with an optional sign and digits; an "E" without
// digits ends the number ("1E" gives 1). A magnitude beyond the range of a
// double gives the largest double with the number's sign; one too small for a
// double gives 0. A zero result is always +0 ("-0" gives 0).
double leadingNumberValue(std::string_view text);

// Signed number text: " " for zero and positive values, "-" for negative ones,
// then the shortest plain decimal form with at most 15 significant digits, no
// trailing zeros, and no "0" before the point below 1 (" .9876", "-.5").
// -0 gives " 0". Magnitudes of 1E+15 and more, and below .0001, are written
// as a mantissa, "E", the exponent's sign and at least two exponent digits
// (" 1E+15", " 1.5E-05", "-1.79769313486232E+308"). Not-a-number gives
// " NaN", infinities " Infinity" and "-Infinity".
std::string signedNumberText(double value);

// The signed number text without the blank of a non-negative value.
std::string valueText(double value);

// Whole-text value: the number a text holds when, with blanks around it, it
// is one number in the given locale (sign, digits with decimal and grouping
// separators, optional exponent); nothing for any other text, the empty text
// included. Blanks and tabs may stand around the number. Grouping separators
// are accepted in the whole part only, each between two digits (group sizes
// are not checked); "E" or "e" must be followed by digits. A number too large
// for a double reads as nothing; one too small reads as 0.
std::optional<double> wholeTextValue(std::string_view text,
                                     const NumberLocale& locale = NumberLocale::current());

// Rounds to the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value);

}  // namespace qv
