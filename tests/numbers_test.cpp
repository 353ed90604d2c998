#include "common/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "table/table_lines.h"

namespace qv {
namespace {


TEST(LeadingNumberValue, ReadsTheLeadingNumberAndStopsAtTheFirstOtherCharacter) {
    const std::pair<std::string, double> cases[] = {
        {" 20 x", 20}, {"-.5", -0.5}, {"1.5e+2", 150}, {"25E-1", 2.5}, {"*0001", 0}, {"", 0}, {".", 0}, {"-", 0},
        {"1E", 1}, {"1E+", 1}, {"2Ex", 2}, {"&H10", 0}, {"3D2", 3}, {"1,5", 1}, {"12.5.3", 12.5}, {"\n\n42", 42},
        // Blanks, tabs and line feeds are ignored wherever they stand.
        {" \t- 1\n2 . 5 E 1", -125},
        // Extreme lengths and exponents: saturated, never infinite; correctly rounded.
        {std::string(5000, '0') + "7", 7}, {"1" + std::string(400, '0'), DBL_MAX}, {"-1E400", -DBL_MAX},
        {"1E99999999999999999999", DBL_MAX}, {"1E-99999999999999999999", 0}, {std::string(100000, '9'), DBL_MAX},
        {"1.7976931348623157E308", DBL_MAX}, {"4.9E-324", DBL_TRUE_MIN}, {"." + std::string(1000, '0') + "1E1001", 1},
        {"1.00000000000000011102230246251565404236316680908203125" + std::string(2000, '0') + "1", std::nextafter(1.0, 2.0)},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(leadingNumberValue(text), value) << text.substr(0, 60);
    // A zero read is +0, in either reading.
    for (const char* text : {"-0", "-0E5", "-1E-999"})
        EXPECT_FALSE(std::signbit(leadingNumberValue(text)) || std::signbit(*wholeTextValue(text))) << text;
}

TEST(SignedNumberText, ShortestFormWithTheSignColumn) {
    const std::pair<double, std::string> cases[] = {
        {0.9876, " .9876"}, {0, " 0"}, {-0.0, " 0"}, {HUGE_VAL, " Infinity"}, {-HUGE_VAL, "-Infinity"}, {std::nan(""), " NaN"},
        // Fifteen significant digits, rounded.
        {2.0 / 3, " .666666666666667"}, {1e15 - 1, " 999999999999999"}, {9.9999999999999999, " 10"},
        {0.99999999999999999, " 1"}, {9.999999999999999e14, " 1000000000000000"},
        // Plain forms for very large and very small magnitudes: no exponent.
        {-1.5e20, "-150000000000000000000"}, {123456789012345678.0, " 123456789012346000"}, {-1.5e-7, "-.00000015"},
        {DBL_MAX, " 179769313486232" + std::string(294, '0')}, {DBL_TRUE_MIN, " ." + std::string(323, '0') + "494065645841247"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(signedNumberText(value), text) << value;
    EXPECT_EQ(valueText(0.9876) + valueText(-0.5) + valueText(-0.0), ".9876-.50");
}

TEST(WholeTextValue, OneNumberWithAPointAndBlanksAround) {
    // Beyond a double's range: still a number, an infinity of its sign.
    const std::pair<std::string, double> cases[] = {
        {"  -12 ", -12}, {"\t+5\t", 5}, {"5.", 5}, {"1.5E2", 150}, {"1e-2", 0.01},
        {"1E-400", 0}, {"1E400", HUGE_VAL}, {"-1E99999999999999999999", -HUGE_VAL}, {"1" + std::string(309, '0'), HUGE_VAL},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(wholeTextValue(text), value) << text;
    // No grouping separators and no decimal comma, whatever the locale.
    for (const char* text : {"", "   ", "&H10", "1e", "1e+", "--1", "+-1", ".", "-", "1 2", "1.2.3", "12a", ",5", "29,92",
                             "1,000", "1.000,5", "1\u202f000", "1E5.5", "0x10", "1D2", "1\n"})
        EXPECT_FALSE(wholeTextValue(text).has_value()) << text;
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    const std::pair<double, double> cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {0.5, 0}, {9999999.5, 10000000},
        {2.4999999, 2}, {2.5000001, 3}, {-7.6, -8}, {4503599627370497.0, 4503599627370497.0}};
    for (const auto& [value, rounded] : cases) EXPECT_EQ(roundHalfEven(value), rounded) << value;
    EXPECT_TRUE(!std::signbit(roundHalfEven(-0.4)) && std::isnan(roundHalfEven(std::nan(""))));
}

// The smallest int has no positive counterpart; its digits were taken by
// negating it, which overflows (found by the fuzz targets).
TEST(FuzzRegression, IndexFieldOfTheSmallestIntGivesItsDigits) {
    EXPECT_EQ(table::indexField(std::numeric_limits<int>::min()) + table::indexField(-7), "2147483648007");
}

}  // namespace
}  // namespace qv
