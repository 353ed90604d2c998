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
    static NumberLocale current();
};

// Leading-number value: blanks, tabs and line feeds are ignored wherever they
// stand; then an optional sign, digits, an optional "." with digits and an
// optional exponent are read, up to the first other character (a CR stops
// it). A text with no leading number gives 0. Never depends on the locale.
double leadingNumberValue(std::string_view text);

// Signed number text: " " for zero and positive values, "-" for negative ones,
// then the shortest plain decimal form with at most 15 significant digits, no
// trailing zeros, and no "0" before the point below 1 (" .9876", "-.5").
std::string signedNumberText(double value);

// The signed number text without the blank of a non-negative value.
std::string valueText(double value);

// Whole-text value: the number a text holds when, with blanks around it, it
// is one number in the given locale (sign, digits with decimal and grouping
// separators, optional exponent); nothing for any other text, the empty text
// included.
std::optional<double> wholeTextValue(std::string_view text,
                                     const NumberLocale& locale = NumberLocale::current());

// Rounds to the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value);

}  // namespace qv
