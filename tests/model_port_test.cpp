// The model port as a serial port, where the fault matrix does not reach: each
// row's steps on a port to unit 01 at number 4 give what they read, then the
// SerialError they ended with ("number/kind|description").
#include <gtest/gtest.h>

#include <functional>

#include "sim/model_port.h"

namespace qv::test {
namespace {

struct PortCase {
    const char* name;
    double delay;
    int pieces, hangupAfter;
    std::function<void(sim::ModelPort&, std::string& out)> steps;
    std::string outcome;
};
void PrintTo(const PortCase& c, std::ostream* out) { *out << c.name; }
class ModelPortTest : public ::testing::TestWithParam<PortCase> {};

const std::string VR = "*0100VR\r\n", Reply = "*0001VR=P1.1.0\r\n";
std::string read(sim::ModelPort& p, int ms = 500) { return p.waitReadable(ms) ? p.readAvailable() : "-"; }

TEST_P(ModelPortTest, ActsAsTheRealPortDoes) {
    const PortCase& c = GetParam();
    sim::ModelPort port(sim::defaultConfig(), 4);
    port.withModel([&](sim::UnitModel& m) {
        m.config().faults.replyDelay = c.delay, m.config().faults.pieces = c.pieces, m.config().faults.hangupAfter = c.hangupAfter;
    });
    port.setPortNumber(4);
    std::string got;
    try {
        c.steps(port, got);
    } catch (const SerialError& e) {
        got += std::to_string(e.number()) + "/" + std::to_string(int(e.kind())) + "|" + e.description();
    }
    EXPECT_EQ(got + " received=" + std::to_string(port.received().size()), c.outcome);
}

INSTANTIATE_TEST_SUITE_P(Rows, ModelPortTest, ::testing::ValuesIn(std::vector<PortCase>{
    {"OpenTwice", 0, 0, -1, [](auto& p, auto&) { p.open(), p.open(); }, "8005/3|Port already open received=0"},
    {"NewNumberWhileOpen", 0, 0, -1, [](auto& p, auto&) { p.open(), p.setPortNumber(5); },
     "8005/3|Port already open received=0"},
    {"NoBaudRate", 0, 0, -1, [](auto& p, auto&) { p.setSettings("96OO,N,8,1"); },
     "380/0|Invalid property value: baud rate 96OO in \"96OO,N,8,1\" received=0"},
    {"Closed", 0, 0, -1, [](auto& p, auto&) { p.write(VR); }, "8012/0|Port not open (write) received=0"},
    {"LineInTwoWrites", 0, 0, -1, [](auto& p, auto& out) {
        p.open(), p.write("*0100V"), out = std::to_string(p.received().size()), p.write("R\r\n"), out += read(p);
    }, "0" + Reply + " received=1"},
    {"OtherBaudRate", 0, 0, -1, [](auto& p, auto& out) { p.setSettings("19200,N,8,1"), p.open(), p.write(VR), out = read(p); },
     "- received=0"},
    {"CloseDropsUnread", .05, 0, -1, [](auto& p, auto& out) { p.open(), p.write(VR), p.close(), p.open(), out = read(p, 200); },
     "- received=1"},
    {"FirstOfThreePieces", 0, 3, -1, [](auto& p, auto& out) { p.open(), p.write(VR), out = read(p); }, "*0001V received=1"},
    // Each reply waits its delay after the one before it.
    {"RepliesInOrderAfterTheDelay", .4, 0, -1, [](auto& p, auto& out) {
        p.open(), p.write(VR + VR);
        for (int ms : {300, 200, 300, 200}) out += read(p, ms);
    }, "-" + Reply + "-" + Reply + " received=2"},
    // The line that hung up is gone, as an unplugged device is.
    {"OpenAfterHangUp", 0, 0, 0, [](auto& p, auto&) { p.open(), p.write(VR), p.close(), p.open(); },
     "8002/1|Invalid port number: no device COM4 received=0"},
}), [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::test
