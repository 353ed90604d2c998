// The simulated unit's command language: each line sent and the reply ("" for none).
#include <gtest/gtest.h>

#include "sim/unit_model.h"

namespace qv::test {
namespace {

TEST(UnitModel, RepliesAsTheUnitDoes) {
    sim::UnitModel unit(sim::defaultConfig());
    const std::pair<std::string, std::string> script[] = {
        // Lines not for this unit, or not well formed, are not answered.
        {"*0200VR", ""}, {"*0001VR=P1.1.0", ""}, {"0100VR", ""}, {"*0100", ""}, {"*0100JT", ""}, {"*0100JT01x", ""},
        {"*0100JT000", ""}, {"*0100JT10000", ""}, {"*0100QQ", ""}, {"*0100EW", ""}, {"*0100VRX", ""}, {"*0100EW*0200JH=1", ""},
        // Writes apply only behind their own enable command; a table has no gaps.
        {"*0100VR", "*0001VR=P1.1.0\r\n"}, {"*0100VR=X", "*0001VR=P1.1.0\r\n"}, {"*0100JH=30", "*0001JH=25\r\n"},
        {"*0100EZ*0100JH=30", "*0001JH=25\r\n"}, {"*0100EW*0100PB=0", "*0001PB=1\r\n"},
        {"*0100EW*0100JT008=50", "*0001JT008=9999\r\n"}, {"*0100EW*0100JR006=1.1", "*0001JR006=0\r\n"},
        {"*0100EW*0100JT006=30", "*0001JT006=30\r\n"}, {"*0100EW*0100JR006=1.1", "*0001JR006=1.1\r\n"},
    };
    for (const auto& [line, reply] : script) EXPECT_EQ(unit.handle(line).value_or(""), reply) << line;
}

}  // namespace
}  // namespace qv::test
