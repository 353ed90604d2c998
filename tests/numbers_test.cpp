#include "common/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace qv {
namespace {

const double Inf = std::numeric_limits<double>::infinity();
const double Tiny = std::numeric_limits<double>::denorm_min();

TEST(LeadingNumberValue, ReadsTheLeadingNumberAndStopsAtTheFirstOtherCharacter) {
    const std::pair<std::string, double> cases[] = {
        {"20", 20}, {" 20 x", 20}, {"-40", -40}, {"+7", 7}, {"1.0123", 1.0123}, {"-.5", -0.5}, {"5.", 5},
        {"1.5E2", 150}, {"1.5e+2", 150}, {"25E-1", 2.5}, {"0.1", 0.1},
        {"*0001", 0}, {"", 0}, {"abc", 0}, {".", 0}, {"-", 0}, {"--1", 0}, {"E5", 0}, {"&H10", 0},
        {"12.5.3", 12.5}, {"1,5", 1}, {"1E", 1}, {"1E+", 1}, {"2Ex", 2}, {"3D2", 3}, {"12\r\n", 12}, {"1\r2", 1},
        // Blanks, tabs and line feeds are ignored wherever they stand.
        {"1 2", 12}, {" \t- 1\n2 . 5 E 1", -125}, {"\n\n42", 42}, {"4\t2x9", 42},
        // Extreme lengths and exponents: saturated, never infinite; correctly rounded.
        {std::string(5000, '0') + "7", 7}, {"1" + std::string(400, '0'), DBL_MAX}, {"-1E400", -DBL_MAX},
        {"1E99999999999999999999", DBL_MAX}, {"1E-99999999999999999999", 0}, {std::string(100000, '9'), DBL_MAX},
        {"1.7976931348623157E308", DBL_MAX}, {"4.9E-324", Tiny}, {"." + std::string(1000, '0') + "1E1001", 1},
        {"1.00000000000000011102230246251565404236316680908203125" + std::string(2000, '0') + "1",
         std::nextafter(1.0, 2.0)},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(leadingNumberValue(text), value) << text.substr(0, 60);
    for (const char* text : {"-0", "-0E5", "-1E-999"}) EXPECT_FALSE(std::signbit(leadingNumberValue(text))) << text;
}

TEST(SignedNumberText, ShortestFormWithTheSignColumn) {
    const std::pair<double, std::string> cases[] = {
        {20, " 20"}, {-40, "-40"}, {1.0123, " 1.0123"}, {0.9876, " .9876"}, {-0.5, "-.5"}, {0, " 0"},
        {-0.0, " 0"}, {100, " 100"}, {-0.00012345, "-.00012345"},
        // Fifteen significant digits, rounded.
        {0.1 + 0.2, " .3"}, {2.0 / 3, " .666666666666667"}, {1e15 - 1, " 999999999999999"},
        {-123456.789012345678, "-123456.789012346"}, {9.9999999999999999, " 10"}, {0.99999999999999999, " 1"},
        // Exponent forms for very large and very small magnitudes.
        {1e15, " 1E+15"}, {-1.5e20, "-1.5E+20"}, {123456789012345678.0, " 1.23456789012346E+17"},
        {0.00001, " 1E-05"}, {-1.5e-7, "-1.5E-07"}, {1e100, " 1E+100"}, {DBL_MAX, " 1.79769313486232E+308"},
        {Tiny, " 4.94065645841247E-324"}, {9.999999999999999e14, " 1E+15"},
        {std::numeric_limits<double>::quiet_NaN(), " NaN"}, {Inf, " Infinity"}, {-Inf, "-Infinity"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(signedNumberText(value), text) << value;
    EXPECT_EQ(valueText(0.9876), ".9876");
    EXPECT_EQ(valueText(-0.5), "-.5");
    EXPECT_EQ(valueText(-0.0), "0");
    for (double v : {0.9876, 29.92, 1e15 - 1, 1.5e-7, 123.456e200, DBL_MAX}) {
        double back = leadingNumberValue(signedNumberText(v));
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-14);
        EXPECT_EQ(signedNumberText(back), signedNumberText(v));
    }
}

TEST(WholeTextValue, OneNumberInTheGivenLocaleWithBlanksAround) {
    const NumberLocale Dot{".", ","}, Comma{",", "."}, NoGrouping{".", ""}, CommaOnly{",", ""};
    const struct {
        const char* text;
        NumberLocale locale;
        std::optional<double> value;
    } cases[] = {
        {"29.92", Dot, 29.92}, {"  -12 ", Dot, -12}, {"\t+5\t", Dot, 5}, {".5", Dot, 0.5}, {"5.", Dot, 5},
        {"1.5E2", Dot, 150}, {"1e-2", Dot, 0.01}, {"1,000.5", Dot, 1000.5}, {"1,000,000", Dot, 1e6},
        {"12,5", Dot, 125}, {"1E-400", Dot, 0},
        {"29,92", Comma, 29.92}, {"1.000,5", Comma, 1000.5}, {"-,5", Comma, -0.5}, {"29.92", Comma, 2992},
        {"29.", Comma, {}}, {"29,92", CommaOnly, 29.92}, {"29.92", CommaOnly, {}}, {"1,000", NoGrouping, {}},
        {"1000.25", NoGrouping, 1000.25}, {"1\u202f000,5", {",", "\u202f"}, 1000.5},
    };
    for (const auto& c : cases) EXPECT_EQ(wholeTextValue(c.text, c.locale), c.value) << c.text;
    for (const char* text : {"", "   ", "&H10", "1e", "1e+", "--1", "+-1", ".", "-", "+", "1 2", "1.2.3", "12a",
                             "a12", ",5", "5,", "1,,000", "1,000,5.0.", "1.000,5", "1E5.5", "0x10", "1D2", "1\n",
                             "1E400", "-1E99999999999999999999"})
        EXPECT_FALSE(wholeTextValue(text, Dot).has_value()) << text;
    EXPECT_FALSE(std::signbit(*wholeTextValue("-0", Dot)));
}

TEST(WholeTextValue, FollowsTheProcessLocale) {
    const char* saved = std::setlocale(LC_NUMERIC, nullptr);
    const std::string restore = saved ? saved : "C";
    std::setlocale(LC_NUMERIC, "C");
    const NumberLocale c = NumberLocale::current();
    EXPECT_EQ(c.decimal + "|" + c.grouping, ".|");
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"})
        if ((found = std::setlocale(LC_NUMERIC, name))) break;
    if (!found) {
        std::setlocale(LC_NUMERIC, restore.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    const std::string decimal = NumberLocale::current().decimal;
    auto commaValue = wholeTextValue("29,92"), dotValue = wholeTextValue("29.92");
    // The leading-number value and the signed number text always use ".".
    double leading = leadingNumberValue("29.92");
    std::string printed = signedNumberText(29.92);
    std::setlocale(LC_NUMERIC, restore.c_str());
    EXPECT_EQ(decimal, ",");
    EXPECT_EQ(commaValue, 29.92);
    EXPECT_NE(dotValue, 29.92);
    EXPECT_EQ(leading, 29.92);
    EXPECT_EQ(printed, " 29.92");
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    const std::pair<double, double> cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {0.5, 0},
                                               {9999999.5, 10000000}, {2.4999999, 2}, {2.5000001, 3},
                                               {-7.6, -8}, {4503599627370497.0, 4503599627370497.0}};
    for (const auto& [value, rounded] : cases) EXPECT_EQ(roundHalfEven(value), rounded) << value;
    EXPECT_FALSE(std::signbit(roundHalfEven(-0.4)));
    EXPECT_TRUE(std::isnan(roundHalfEven(std::numeric_limits<double>::quiet_NaN())));
}

}  // namespace
}  // namespace qv
