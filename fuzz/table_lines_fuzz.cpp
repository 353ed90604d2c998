// The table-line checks of the write pass: every line of the input is
// classified and checked as the check pass does, split as the write pass
// does, and its two values turned into the texts that are sent.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "check.h"
#include "common/numbers.h"
#include "config/config_lines.h"
#include "platform/files.h"
#include "table/table_lines.h"

using namespace qv;
using namespace qv::table;

namespace {

void checkLine(const std::string& line) {
    LineKind kind = classifyLine(line);
    FUZZ_CHECK((kind == LineKind::Header) == (!line.empty() && line[0] == '*'));
    std::string_view trimmed = trimBlanks(line);
    FUZZ_CHECK(kind == LineKind::Header || (kind == LineKind::Empty) == trimmed.empty());
    FUZZ_CHECK(trimmed.empty() || (trimmed.front() != ' ' && trimmed.back() != ' '));
    if (kind != LineKind::Data) return;

    DataFields f = splitDataLine(line);
    FUZZ_CHECK(!f.temperature.empty() && f.temperature.find(' ') == std::string::npos);
    FUZZ_CHECK(f.ratio.empty() || f.ratio[0] != ' ');
    if (isWellFormedDataLine(line)) {
        FUZZ_CHECK(trimmed.size() >= MinDataLineLength && trimmed.size() <= MaxDataLineLength);
        std::string_view ratio = trimBlanks(f.ratio);
        FUZZ_CHECK(!ratio.empty() && ratio.find(' ') == std::string_view::npos);
        FUZZ_CHECK(trimmed.substr(0, f.temperature.size()) == f.temperature && trimmed.ends_with(ratio));
    }
    // The values sent are the leading-number values of fields that read whole.
    std::optional<double> t = wholeTextValue(f.temperature);
    std::optional<double> r = wholeTextValue(f.ratio);
    // Numbers beyond a double's range are refused before sending.
    if (!t || !r || !std::isfinite(*t) || !std::isfinite(*r)) return;
    FUZZ_CHECK(leadingNumberValue(f.temperature) == *t && leadingNumberValue(f.ratio) == *r);
    std::string command = config::writeLine("01", "EW", "JT" + indexField(1), valueText(*t));
    FUZZ_CHECK(command.starts_with("*0100EW*0100JT001=") && leadingNumberValue(command.substr(18)) ==
                                                                  leadingNumberValue(signedNumberText(*t)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    for (const std::string& line : splitLines(text)) {
        checkLine(line);
        // The decoded text is valid UTF-8, so decoding it again changes nothing.
        const std::string decoded = utf8Line(line);
        FUZZ_CHECK(utf8Line(decoded) == decoded);
    }
    if (size >= sizeof(int)) {
        int index;
        std::memcpy(&index, data, sizeof index);
        std::string field = indexField(index);
        FUZZ_CHECK(field.size() >= 3 && field.find_first_not_of("0123456789") == std::string::npos);
        FUZZ_CHECK(index < 0 || index > MaxLineIndex || field.size() == 3);
    }
    return 0;
}
