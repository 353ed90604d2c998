#include "common/numbers.h"

namespace qv {
NumberLocale NumberLocale::current() { return {}; }
double leadingNumberValue(std::string_view) { return 0; }
std::string signedNumberText(double) { return " 0"; }
std::string valueText(double) { return "0"; }
std::optional<double> wholeTextValue(std::string_view, const NumberLocale&) { return std::nullopt; }
double roundHalfEven(double v) { return v; }
}  // namespace qv
