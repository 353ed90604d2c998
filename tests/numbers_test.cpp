#include "common/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace qv {
namespace {

TEST(LeadingNumberValue, ReadsSignDigitsPointAndExponent) {
    EXPECT_EQ(leadingNumberValue("20"), 20);
    EXPECT_EQ(leadingNumberValue(" 20 x"), 20);
    EXPECT_EQ(leadingNumberValue("-40"), -40);
    EXPECT_EQ(leadingNumberValue("+7"), 7);
    EXPECT_EQ(leadingNumberValue("1.0123"), 1.0123);
    EXPECT_EQ(leadingNumberValue(".5"), 0.5);
    EXPECT_EQ(leadingNumberValue("-.5"), -0.5);
    EXPECT_EQ(leadingNumberValue("5."), 5);
    EXPECT_EQ(leadingNumberValue("1.5E2"), 150);
    EXPECT_EQ(leadingNumberValue("1.5e+2"), 150);
    EXPECT_EQ(leadingNumberValue("25E-1"), 2.5);
    EXPECT_EQ(leadingNumberValue("0.1"), 0.1);  // correctly rounded, like the literal
}

TEST(LeadingNumberValue, StopsAtTheFirstOtherCharacter) {
    EXPECT_EQ(leadingNumberValue("*0001"), 0);
    EXPECT_EQ(leadingNumberValue(""), 0);
    EXPECT_EQ(leadingNumberValue("abc"), 0);
    EXPECT_EQ(leadingNumberValue("."), 0);
    EXPECT_EQ(leadingNumberValue("-"), 0);
    EXPECT_EQ(leadingNumberValue("--1"), 0);
    EXPECT_EQ(leadingNumberValue("E5"), 0);
    EXPECT_EQ(leadingNumberValue("12.5.3"), 12.5);
    EXPECT_EQ(leadingNumberValue("1,5"), 1);
    EXPECT_EQ(leadingNumberValue("1E"), 1);
    EXPECT_EQ(leadingNumberValue("1E+"), 1);
    EXPECT_EQ(leadingNumberValue("2Ex"), 2);
    EXPECT_EQ(leadingNumberValue("3D2"), 3);
    EXPECT_EQ(leadingNumberValue("&H10"), 0);
    EXPECT_EQ(leadingNumberValue("12\r\n"), 12);
    EXPECT_EQ(leadingNumberValue("1\r2"), 1);
}

TEST(LeadingNumberValue, IgnoresBlanksTabsAndLineFeedsAnywhere) {
    EXPECT_EQ(leadingNumberValue("1 2"), 12);
    EXPECT_EQ(leadingNumberValue(" \t- 1\n2 . 5 E 1"), -125);
    EXPECT_EQ(leadingNumberValue("\n\n42"), 42);
    EXPECT_EQ(leadingNumberValue("4\t2x9"), 42);
}

TEST(LeadingNumberValue, ZeroIsAlwaysPositive) {
    for (const char* text : {"-0", "-0.000", "-0E5", "-1E-999"}) {
        SCOPED_TRACE(text);
        double v = leadingNumberValue(text);
        EXPECT_EQ(v, 0);
        EXPECT_FALSE(std::signbit(v));
    }
}

TEST(LeadingNumberValue, HandlesExtremeLengthsAndExponents) {
    EXPECT_EQ(leadingNumberValue(std::string(5000, '0') + "7"), 7);
    EXPECT_EQ(leadingNumberValue("1" + std::string(400, '0')), DBL_MAX);
    EXPECT_EQ(leadingNumberValue("-1E400"), -DBL_MAX);
    EXPECT_EQ(leadingNumberValue("1E99999999999999999999"), DBL_MAX);
    EXPECT_EQ(leadingNumberValue("1E-99999999999999999999"), 0);
    EXPECT_EQ(leadingNumberValue("1.7976931348623157E308"), DBL_MAX);
    EXPECT_EQ(leadingNumberValue("4.9E-324"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(leadingNumberValue("." + std::string(1000, '0') + "1E1001"), 1);
    // A tail of many digits still rounds correctly: just above the halfway
    // point between 1 and the next double.
    std::string aboveHalf = "1.00000000000000011102230246251565404236316680908203125" + std::string(2000, '0') + "1";
    EXPECT_EQ(leadingNumberValue(aboveHalf), std::nextafter(1.0, 2.0));
    EXPECT_EQ(leadingNumberValue(std::string(100000, '9')), DBL_MAX);
}

TEST(SignedNumberText, PlainFormsWithTheSignColumn) {
    EXPECT_EQ(signedNumberText(20), " 20");
    EXPECT_EQ(signedNumberText(-40), "-40");
    EXPECT_EQ(signedNumberText(7), " 7");
    EXPECT_EQ(signedNumberText(1.0123), " 1.0123");
    EXPECT_EQ(signedNumberText(0.9876), " .9876");
    EXPECT_EQ(signedNumberText(-0.5), "-.5");
    EXPECT_EQ(signedNumberText(0), " 0");
    EXPECT_EQ(signedNumberText(-0.0), " 0");
    EXPECT_EQ(signedNumberText(100), " 100");
    EXPECT_EQ(signedNumberText(29.92), " 29.92");
    EXPECT_EQ(signedNumberText(0.0001), " .0001");
    EXPECT_EQ(signedNumberText(-0.00012345), "-.00012345");
    EXPECT_EQ(valueText(20), "20");
    EXPECT_EQ(valueText(0.9876), ".9876");
    EXPECT_EQ(valueText(-0.5), "-.5");
    EXPECT_EQ(valueText(-0.0), "0");
}

TEST(SignedNumberText, RoundsToFifteenSignificantDigits) {
    EXPECT_EQ(signedNumberText(0.1 + 0.2), " .3");
    EXPECT_EQ(signedNumberText(1.0 / 3), " .333333333333333");
    EXPECT_EQ(signedNumberText(2.0 / 3), " .666666666666667");
    EXPECT_EQ(signedNumberText(1e15 - 1), " 999999999999999");
    EXPECT_EQ(signedNumberText(-123456.789012345678), "-123456.789012346");
    EXPECT_EQ(signedNumberText(9.9999999999999999), " 10");
    EXPECT_EQ(signedNumberText(0.99999999999999999), " 1");
}

TEST(SignedNumberText, ExponentFormsForVeryLargeAndVerySmall) {
    EXPECT_EQ(signedNumberText(1e15), " 1E+15");
    EXPECT_EQ(signedNumberText(1e16), " 1E+16");
    EXPECT_EQ(signedNumberText(-1.5e20), "-1.5E+20");
    EXPECT_EQ(signedNumberText(123456789012345678.0), " 1.23456789012346E+17");
    EXPECT_EQ(signedNumberText(0.00001), " 1E-05");
    EXPECT_EQ(signedNumberText(-1.5e-7), "-1.5E-07");
    EXPECT_EQ(signedNumberText(1e100), " 1E+100");
    EXPECT_EQ(signedNumberText(DBL_MAX), " 1.79769313486232E+308");
    EXPECT_EQ(signedNumberText(std::numeric_limits<double>::denorm_min()), " 4.94065645841247E-324");
    EXPECT_EQ(signedNumberText(9.999999999999999e14), " 1E+15");  // rounding carries into the exponent
}

TEST(SignedNumberText, NonFiniteValuesGiveAText) {
    EXPECT_EQ(signedNumberText(std::numeric_limits<double>::quiet_NaN()), " NaN");
    EXPECT_EQ(signedNumberText(std::numeric_limits<double>::infinity()), " Infinity");
    EXPECT_EQ(signedNumberText(-std::numeric_limits<double>::infinity()), "-Infinity");
}

TEST(SignedNumberText, ReadsBackThroughTheLeadingNumberValue) {
    for (double v : {0.0, 1.0, -40.0, 0.9876, 1.0123, 29.92, -0.5, 1e15 - 1, 1e15, 1.5e-7, 123.456e200, DBL_MAX}) {
        SCOPED_TRACE(v);
        double back = leadingNumberValue(signedNumberText(v));
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-14);
        EXPECT_EQ(signedNumberText(back), signedNumberText(v));
    }
}

const NumberLocale Dot{".", ","};
const NumberLocale Comma{",", "."};
const NumberLocale NoGrouping{".", ""};

TEST(WholeTextValue, AcceptsOneNumberWithBlanksAround) {
    EXPECT_EQ(wholeTextValue("29.92", Dot), 29.92);
    EXPECT_EQ(wholeTextValue("  -12 ", Dot), -12);
    EXPECT_EQ(wholeTextValue("\t+5\t", Dot), 5);
    EXPECT_EQ(wholeTextValue(".5", Dot), 0.5);
    EXPECT_EQ(wholeTextValue("5.", Dot), 5);
    EXPECT_EQ(wholeTextValue("1.5E2", Dot), 150);
    EXPECT_EQ(wholeTextValue("1e-2", Dot), 0.01);
    EXPECT_EQ(wholeTextValue("1,000.5", Dot), 1000.5);
    EXPECT_EQ(wholeTextValue("1,000,000", Dot), 1e6);
    EXPECT_EQ(wholeTextValue("12,5", Dot), 125);  // group sizes are not checked
    EXPECT_EQ(wholeTextValue("-0", Dot), 0);
    EXPECT_FALSE(std::signbit(*wholeTextValue("-0", Dot)));
}

TEST(WholeTextValue, RejectsEverythingElse) {
    for (const char* text : {"", "   ", "&H10", "1e", "1e+", "--1", "+-1", ".", "-", "+", "1 2", "1.2.3",
                             "12a", "a12", ",5", "5,", "1,,000", "1,000,5.0.", "1.000,5", "1E5.5", "0x10",
                             "1D2", "1\n", "1E400", "-1E99999999999999999999"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(wholeTextValue(text, Dot).has_value());
    }
    EXPECT_EQ(wholeTextValue("1E-400", Dot), 0);
}

TEST(WholeTextValue, FollowsTheLocaleSeparators) {
    EXPECT_EQ(wholeTextValue("29,92", Comma), 29.92);
    EXPECT_EQ(wholeTextValue("1.000,5", Comma), 1000.5);
    EXPECT_EQ(wholeTextValue("-,5", Comma), -0.5);
    // "." is this locale's grouping separator, so it reads as grouping.
    EXPECT_EQ(wholeTextValue("29.92", Comma), 2992);
    EXPECT_FALSE(wholeTextValue("29.", Comma).has_value());
    EXPECT_EQ(wholeTextValue("29,92", NumberLocale{",", ""}), 29.92);
    EXPECT_FALSE(wholeTextValue("29.92", NumberLocale{",", ""}).has_value());
    EXPECT_FALSE(wholeTextValue("1,000", NoGrouping).has_value());
    EXPECT_EQ(wholeTextValue("1000.25", NoGrouping), 1000.25);
    // Multi-byte separators (a narrow no-break space groups digits in some locales).
    EXPECT_EQ(wholeTextValue("1\u202f000,5", NumberLocale{",", "\u202f"}), 1000.5);
}

TEST(WholeTextValue, FollowsTheProcessLocale) {
    const char* saved = std::setlocale(LC_NUMERIC, nullptr);
    std::string restore = saved ? saved : "C";
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name)) {
            found = name;
            break;
        }
    if (!found) GTEST_SKIP() << "no locale with a decimal comma is installed";
    NumberLocale current = NumberLocale::current();
    auto commaValue = wholeTextValue("29,92");
    auto dotValue = wholeTextValue("29.92");
    double leading = leadingNumberValue("29.92");
    std::string printed = signedNumberText(29.92);
    std::setlocale(LC_NUMERIC, restore.c_str());
    EXPECT_EQ(current.decimal, ",");
    EXPECT_EQ(commaValue, 29.92);
    EXPECT_NE(dotValue, 29.92);
    EXPECT_EQ(leading, 29.92);
    EXPECT_EQ(printed, " 29.92");
}

TEST(WholeTextValue, CLocaleHasAPointAndNoGrouping) {
    const char* saved = std::setlocale(LC_NUMERIC, nullptr);
    std::string restore = saved ? saved : "C";
    std::setlocale(LC_NUMERIC, "C");
    NumberLocale current = NumberLocale::current();
    std::setlocale(LC_NUMERIC, restore.c_str());
    EXPECT_EQ(current.decimal, ".");
    EXPECT_EQ(current.grouping, "");
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(-3.5), -4);
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(9999999.5), 10000000);
    EXPECT_EQ(roundHalfEven(2.4999999), 2);
    EXPECT_EQ(roundHalfEven(2.5000001), 3);
    EXPECT_EQ(roundHalfEven(-7.6), -8);
    EXPECT_EQ(roundHalfEven(4503599627370497.0), 4503599627370497.0);
    EXPECT_FALSE(std::signbit(roundHalfEven(-0.4)));
    EXPECT_TRUE(std::isnan(roundHalfEven(std::numeric_limits<double>::quiet_NaN())));
}

}  // namespace
}  // namespace qv
