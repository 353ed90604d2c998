#include "common/numbers.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace qv {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number taken apart: its significant digits (no leading zeros)
// and where the decimal point stands, counted from the left of the digits,
// plus the written exponent. value = 0.<digits> * 10^(pointPosition + exponent).
struct DecimalParts {
    bool negative = false;
    std::string digits;
    int64_t pointPosition = 0;
    int64_t exponent = 0;
};

// Exponents are accumulated up to this size; anything larger is far outside
// the range of a double anyway and must not overflow the counter.
constexpr int64_t ExponentLimit = 1'000'000'000;

void addExponentDigit(int64_t& exponent, char c) {
    if (exponent < ExponentLimit) exponent = exponent * 10 + (c - '0');
}

void addMantissaDigit(DecimalParts& parts, char c, bool beforePoint) {
    if (parts.digits.empty() && c == '0') {
        // A leading zero: shifts the point only when it stands behind it.
        if (!beforePoint) --parts.pointPosition;
        return;
    }
    parts.digits += c;
    if (beforePoint) ++parts.pointPosition;
}

enum class Conversion { Ok, Overflow };

// Turns the parts into the nearest double. Too small a magnitude gives 0;
// too large a magnitude reports Overflow.
Conversion toDouble(DecimalParts parts, double& out) {
    while (!parts.digits.empty() && parts.digits.back() == '0') parts.digits.pop_back();
    if (parts.digits.empty()) {
        out = 0.0;
        return Conversion::Ok;
    }
    int64_t scale = parts.pointPosition + parts.exponent;
    if (scale > 400) return Conversion::Overflow;
    if (scale < -400) {
        out = 0.0;
        return Conversion::Ok;
    }
    // 800 significant digits decide the rounding of any double; the digits
    // behind them are all represented by one non-zero sticky digit (the last
    // kept digit is non-zero, so the dropped tail is non-zero too).
    if (parts.digits.size() > 800) parts.digits = parts.digits.substr(0, 800) + "1";
    std::string text = "0." + parts.digits + "e" + std::to_string(scale);
    double v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc::result_out_of_range) {
        if (scale > 0) return Conversion::Overflow;
        v = 0.0;
    } else if (ec != std::errc() || ptr != text.data() + text.size()) {
        v = 0.0;
    }
    // A zero result is always +0, so that "-0" and "-1E-999" print as " 0".
    out = (v == 0.0) ? 0.0 : (parts.negative ? -v : v);
    return Conversion::Ok;
}

}  // namespace

std::optional<double> leadingNumber(std::string_view text) {
    // Blanks, tabs and line feeds do not count anywhere in the text.
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') s += c;

    DecimalParts parts;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) parts.negative = s[i++] == '-';
    bool anyDigit = false;
    while (i < s.size() && isDigit(s[i])) {
        addMantissaDigit(parts, s[i++], true);
        anyDigit = true;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            addMantissaDigit(parts, s[i++], false);
            anyDigit = true;
        }
    }
    if (!anyDigit) return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        size_t j = i + 1;
        bool negativeExponent = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) negativeExponent = s[j++] == '-';
        if (j < s.size() && isDigit(s[j])) {
            int64_t e = 0;
            while (j < s.size() && isDigit(s[j])) addExponentDigit(e, s[j++]);
            parts.exponent = negativeExponent ? -e : e;
        }
        // An "E" without digits is simply where the number ends.
    }
    double value = 0;
    if (toDouble(parts, value) == Conversion::Overflow) return parts.negative ? -DBL_MAX : DBL_MAX;
    return value;
}

double leadingNumberValue(std::string_view text) { return leadingNumber(text).value_or(0.0); }

std::string signedNumberText(double value) {
    if (std::isnan(value)) return " NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : " Infinity";
    if (value == 0.0) return " 0";

    const std::string sign = value < 0 ? "-" : " ";
    // Round to 15 significant digits: d.dddddddddddddde[+-]x, locale-independent.
    // The digits are then set out in plain decimal form, however large or
    // small the exponent.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    std::string sci(buf, res.ptr);
    size_t ePos = sci.find('e');
    std::string digits = sci.substr(0, 1) + sci.substr(2, ePos - 2);
    int exponent = std::atoi(sci.c_str() + ePos + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string plain;
    if (exponent < 0) {
        plain = ".";
        plain.append(static_cast<size_t>(-exponent - 1), '0');
        plain += digits;
    } else {
        size_t intDigits = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            plain = digits + std::string(intDigits - digits.size(), '0');
        } else {
            plain = digits.substr(0, intDigits) + "." + digits.substr(intDigits);
        }
    }
    return sign + plain;
}

std::string valueText(double value) {
    std::string text = signedNumberText(value);
    if (!text.empty() && text[0] == ' ') text.erase(0, 1);
    return text;
}

std::optional<double> wholeTextValue(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    std::string_view s = text.substr(begin, end - begin);

    DecimalParts parts;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) parts.negative = s[i++] == '-';
    bool anyDigit = false;
    while (i < s.size() && isDigit(s[i])) {
        addMantissaDigit(parts, s[i++], true);
        anyDigit = true;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            addMantissaDigit(parts, s[i++], false);
            anyDigit = true;
        }
    }
    if (!anyDigit) return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        bool negativeExponent = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) negativeExponent = s[i++] == '-';
        if (i >= s.size() || !isDigit(s[i])) return std::nullopt;
        int64_t e = 0;
        while (i < s.size() && isDigit(s[i])) addExponentDigit(e, s[i++]);
        parts.exponent = negativeExponent ? -e : e;
    }
    if (i != s.size()) return std::nullopt;
    double value = 0;
    if (toDouble(parts, value) == Conversion::Overflow)
        return parts.negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return value;
}

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    double below = std::floor(value);
    double fraction = value - below;
    double result;
    if (fraction < 0.5) {
        result = below;
    } else if (fraction > 0.5) {
        result = below + 1;
    } else {
        result = std::fmod(below, 2.0) == 0.0 ? below : below + 1;
    }
    return result == 0.0 ? 0.0 : result;
}

}  // namespace qv
