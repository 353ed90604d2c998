// The simulated unit: its command language (each line sent and the reply, ""
// for none), the COM link it makes, and its pseudo terminal's line.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <map>
#include <optional>

#include "platform/posix/posix_serial_port.h"
#include "sim/pty_unit.h"
#include "sim/unit_model.h"
#include "support/temp_dir.h"

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

// The COM link: at a number free by the window's rule, never over an existing link, and at the end the
// only one removed. Rows: the links there before, the serial devices present, the port asked for (0: none),
// the port taken (0: refused).
struct LinkCase {
    const char* name;
    std::map<int, std::string> before;
    std::vector<std::string> devices;
    int asked, taken;
};
void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.name; }
class UnitLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(UnitLink, TakesAFreeNumberAndTouchesNoOtherLink) {
    const LinkCase& c = GetParam();
    TempDir dir;
    const auto links = [&] {
        std::map<int, std::string> found;
        std::error_code ec;
        for (int n = 1; n <= 9; ++n)
            if (auto to = std::filesystem::read_symlink(dir.file("COM" + std::to_string(n)), ec); !ec) found[n] = to;
        return found;
    };
    for (const auto& [n, to] : c.before) std::filesystem::create_symlink(to, dir.file("COM" + std::to_string(n)));
    std::vector<SerialDevice> devices;
    for (const std::string& path : c.devices) devices.push_back({path, path, "", "", "", true});
    {
        std::optional<sim::PtyUnit> unit;
        try { unit.emplace(dir.path(), sim::defaultConfig(), c.asked, devices); } catch (const std::runtime_error&) {}
        auto expected = c.before;
        if (unit) expected[unit->port()] = unit->slavePath();
        EXPECT_EQ(std::pair(unit ? unit->port() : 0, links()), std::pair(c.taken, expected));
    }
    EXPECT_EQ(links(), c.before);
}

INSTANTIATE_TEST_SUITE_P(Rule, UnitLink,
                         ::testing::Values(LinkCase{"RealTtySTakesItsNumber", {}, {"/dev/ttyS0"}, 0, 2},
                                           LinkCase{"ExistingLinkAskedForIsRefused", {{5, "/dev/null"}}, {}, 5, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// No slave descriptor held, so the program is the pty's only user; between its openings the line hangs up,
// and the unit answers again on the next one.
TEST(PtyUnit, HoldsNoSlaveEndAndServesEveryOpening) {
    TempDir dir;
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.paced = false;
    sim::PtyUnit unit(dir.path(), cfg);
    PosixSerialPort port(dir.path(), {dir.path()});
    port.setPortNumber(unit.port());
    for (int opening = 1; opening <= 2; ++opening) {
        std::error_code ec;
        for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
            EXPECT_NE(std::filesystem::read_symlink(fd.path(), ec), unit.slavePath()) << opening;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port.open();
        port.write("*0100VR\r\n");
        std::string reply;
        while (reply.find('\n') == std::string::npos && port.waitReadable(2000)) reply += port.readAvailable();
        port.close();
        EXPECT_EQ(reply, "*0001VR=P1.1.0\r\n") << opening;
    }
}

}  // namespace
}  // namespace qv::test
