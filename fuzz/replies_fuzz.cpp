// The reply cuts of every operation, with arbitrary replies: the first two
// bytes are the unit ID, the rest is the reply line.
#include <cmath>
#include <cstdint>
#include <string>

#include "check.h"
#include "common/numbers.h"
#include "config/config_lines.h"
#include "platform/files.h"
#include "table/table_lines.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string id(reinterpret_cast<const char*>(data), 2);
    const std::string reply(reinterpret_cast<const char*>(data) + 2, size - 2);
    const size_t n = reply.size();

    std::optional<std::string> value = config::replyValueText(reply);
    FUZZ_CHECK(value.has_value() == (n >= 10));
    FUZZ_CHECK(!value || *value == reply.substr(8, n - 10));
    if (value) config::detectedTempUnitPosition(*value);

    for (size_t position : {size_t{0}, size_t{1}, size_t{9}, size_t{12}, n, n + 1}) {
        for (size_t count : {size_t{0}, size_t{1}, size_t{10}, std::string::npos}) {
            std::string_view field = config::replyField(reply, position, count);
            if (position == 0 || position > n) {
                FUZZ_CHECK(field.empty());
            } else {
                FUZZ_CHECK(field == std::string_view(reply).substr(position - 1, count));
            }
        }
        std::optional<char> c = config::replyCharacter(reply, position);
        FUZZ_CHECK(c.has_value() == (position >= 1 && position <= n));
        FUZZ_CHECK(!c || *c == reply[position - 1]);
    }

    double number = config::replyNumber(reply);
    FUZZ_CHECK(std::isfinite(number));
    bool known = config::isKnownUnit(reply, id);
    FUZZ_CHECK(known == (n >= 9 && reply.starts_with("*00" + id + "VR=") &&
                         std::string_view("PMX").find(reply[8]) != std::string_view::npos));

    std::string_view tableField = table::replyValueField(reply);
    FUZZ_CHECK(tableField == (n < 12 ? std::string_view() : std::string_view(reply).substr(11, 12)));
    const std::optional<double> read = table::replyNumber(reply);
    FUZZ_CHECK(!read || std::isfinite(*read));
    const double temperature = read.value_or(0);

    // A row read from the unit, saved and sent back, gives the same values.
    std::string row = table::tableRow(temperature, number);
    FUZZ_CHECK(table::classifyLine(row) == table::LineKind::Data);
    table::DataFields fields = table::splitDataLine(row);
    FUZZ_CHECK(leadingNumberValue(fields.temperature) == leadingNumberValue(signedNumberText(temperature)));
    FUZZ_CHECK(leadingNumberValue(fields.ratio) == leadingNumberValue(signedNumberText(number)));

    std::vector<std::string> rows = splitLines(reply);
    FUZZ_CHECK(config::tableHoldsTemperature(rows, number) || !rows.empty());
    if (!rows.empty()) {
        std::string_view first = table::trimBlanks(rows[0]);
        FUZZ_CHECK(config::tableHoldsTemperature(rows, leadingNumberValue(first.substr(0, first.find(' ')))));
    }
    return 0;
}
