// The number conversions: any text through the two readers, any double
// (the input's first eight bytes) through the writer and back.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "check.h"
#include "common/numbers.h"

using namespace qv;

namespace {

bool isPlusZero(double v) { return v == 0 && !std::signbit(v); }

void checkText(const std::string& s) {
    double lead = leadingNumberValue(s);
    FUZZ_CHECK(std::isfinite(lead));
    FUZZ_CHECK(lead != 0 || isPlusZero(lead));

    std::optional<double> whole = wholeTextValue(s);
    FUZZ_CHECK(!whole || (!std::isnan(*whole) && (*whole != 0 || isPlusZero(*whole))));
    // One whole number is also exactly what the leading reader takes from the
    // text; beyond a double's range the one gives an infinity, the other the
    // largest double, both with the number's sign.
    if (whole && std::isfinite(*whole)) FUZZ_CHECK(*whole == lead);
    if (whole && std::isinf(*whole)) FUZZ_CHECK(lead == std::copysign(DBL_MAX, *whole));
    // A comma is never part of a number the whole text holds.
    FUZZ_CHECK(!whole || s.find(',') == std::string::npos);
}

void checkNumber(double x) {
    std::string s = signedNumberText(x);
    FUZZ_CHECK(s.size() >= 2 && (s[0] == ' ' || s[0] == '-'));
    FUZZ_CHECK(valueText(x) == (s[0] == ' ' ? s.substr(1) : s));
    if (!std::isfinite(x)) return;
    FUZZ_CHECK((s[0] == '-') == (x < 0));
    FUZZ_CHECK(s.compare(1, 1, "0") != 0 || s == " 0");  // no "-0", no "0."
    std::string plain = s.substr(1);
    FUZZ_CHECK(plain.find_first_not_of("0123456789.") == std::string::npos);  // no exponent
    if (plain.find('.') != std::string::npos) FUZZ_CHECK(plain.back() != '0' && plain.back() != '.');
    // Zeros before the first and after the last other digit are not significant.
    std::string digits;
    for (char c : plain)
        if (c != '.') digits += c;
    size_t first = digits.find_first_not_of('0'), last = digits.find_last_not_of('0');
    size_t significant = first == std::string::npos ? 0 : last - first + 1;
    FUZZ_CHECK(significant <= 15);

    double back = leadingNumberValue(s);
    double tolerance = std::max(std::fabs(x) * 6e-15, std::numeric_limits<double>::denorm_min());
    FUZZ_CHECK(std::fabs(back - x) <= tolerance);
    FUZZ_CHECK(signedNumberText(back) == s);  // the text is a fixed point

    double r = roundHalfEven(x);
    FUZZ_CHECK(r == std::floor(r) && std::fabs(r - x) <= 0.5);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkText(std::string(reinterpret_cast<const char*>(data), size));
    if (size >= sizeof(double)) {
        double x;
        std::memcpy(&x, data, sizeof x);
        checkNumber(x);
        checkNumber(leadingNumberValue(std::string(reinterpret_cast<const char*>(data), size)));
    }
    return 0;
}
