// The simulated unit's command language: each line sent and the reply ("" for none).
#include <gtest/gtest.h>

#include <functional>

#include "sim/unit_model.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

struct ModelCase {
    const char* name;
    std::function<void(sim::UnitConfig&)> edit;
    std::vector<std::pair<std::string, std::string>> script;
};

void PrintTo(const ModelCase& c, std::ostream* out) { *out << c.name; }

class UnitModelScript : public ::testing::TestWithParam<ModelCase> {};

TEST_P(UnitModelScript, RepliesAsTheUnitDoes) {
    sim::UnitConfig cfg = sim::defaultConfig();
    if (GetParam().edit) GetParam().edit(cfg);
    sim::UnitModel unit(cfg);
    for (const auto& [line, reply] : GetParam().script) EXPECT_EQ(unit.handle(line).value_or(""), reply) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Sim, UnitModelScript,
    ::testing::Values(
        // Lines not for this unit, or not well formed, are not answered.
        ModelCase{"not_answered", {}, {{"*0200VR", ""}, {"*0001VR=P1.1.0", ""}, {"0100VR", ""}, {"*0100", ""},
            {"*0100JT", ""}, {"*0100JT01x", ""}, {"*0100JT000", ""}, {"*0100JT10000", ""}, {"*0100QQ", ""},
            {"*0100EW", ""}, {"*0100VRX", ""}, {"*0100VR", "*0001VR=P1.1.0\r\n"}}},
        // Writes apply only behind their own enable command; a table has no gaps.
        ModelCase{"writes", {}, {{"*0100JH=30", "*0001JH=25\r\n"}, {"*0100EZ*0100JH=30", "*0001JH=25\r\n"},
            {"*0100EW*0100PB=0", "*0001PB=1\r\n"}, {"*0100EW*0200JH=1", ""}, {"*0100EW*0100JT008=50", "*0001JT008=9999\r\n"},
            {"*0100EW*0100JR006=1.1", "*0001JR006=0\r\n"}, {"*0100EW*0100JT006=30", "*0001JT006=30\r\n"},
            {"*0100EW*0100JR006=1.1", "*0001JR006=1.1\r\n"}, {"*0100VR=X", "*0001VR=P1.1.0\r\n"}}},
        // A line for another unit is not counted; a silent unit applies nothing.
        ModelCase{"silent_after_two", [](sim::UnitConfig& c) { c.faults.silentAfter = 2; },
            {{"*0100VR", "*0001VR=P1.1.0\r\n"}, {"*0200VR", ""}, {"*0100JH", "*0001JH=25\r\n"}, {"*0100JP", ""},
             {"*0100EW*0100JH=1", ""}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UnitTableFile, WithoutTwoFieldsOnALineOrUnreadableIsRefused) {
    TempDir dir;
    dir.write("bad.txt", "20 1.0 5\r\n");
    EXPECT_THROW(sim::loadTableFile(dir.file("bad.txt")), std::runtime_error);
    EXPECT_THROW(sim::loadTableFile(dir.file("missing.txt")), std::runtime_error);
}

}  // namespace
}  // namespace qv::test
