#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/posix/posix_serial_port.h"
#include "sim/pty_unit.h"
#include "sim/unit_model.h"
#include "support/temp_dir.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string reply(UnitModel& unit, const std::string& line) { return unit.handle(line).value_or("<none>"); }

TEST(UnitModel, RepliesCarryTheLayoutOfEachCommand) {
    UnitModel unit(defaultConfig());
    EXPECT_EQ(reply(unit, "*0100VR"), "*0001VR=P1.1.0\r\n");
    EXPECT_EQ(reply(unit, "*0100JH\r"), "*0001JH=25\r\n");
    EXPECT_EQ(reply(unit, "*0100JP"), "*0001JP=1\r\n");
    EXPECT_EQ(reply(unit, "*0100JC"), "*0001JC=29.92\r\n");
    EXPECT_EQ(reply(unit, "*0100PB"), "*0001PB=1\r\n");
    EXPECT_EQ(reply(unit, "*0100JT001"), "*0001JT001=-40\r\n");
    EXPECT_EQ(reply(unit, "*0100JR001"), "*0001JR001=.9876\r\n");
    EXPECT_EQ(reply(unit, "*0100JT005"), "*0001JT005=20\r\n");
    EXPECT_EQ(reply(unit, "*0100JR005"), "*0001JR005=1.0123\r\n");
    EXPECT_EQ(reply(unit, "*0100JT006"), "*0001JT006=9999\r\n");
    EXPECT_EQ(reply(unit, "*0100JR006"), "*0001JR006=0\r\n");
    // Not the unit's: other IDs, another unit's reply, malformed lines.
    for (const char* ignored : {"*0200VR", "*0001VR=P1.1.0", "0100VR", "*0100", "*0100JT", "*0100JT01x", "*0100JT000",
                                "*0100QQ", "*0100EW", "*0100VRX"})
        EXPECT_FALSE(unit.handle(ignored).has_value()) << ignored;
    EXPECT_EQ(unit.received().front(), "*0100VR");
    EXPECT_EQ(unit.received()[1], "*0100JH");
    EXPECT_EQ(unit.received().back(), "*0100VRX");

    UnitConfig other = defaultConfig();
    other.id = "07";
    other.kind = 'X';
    UnitModel seven(other);
    EXPECT_EQ(reply(seven, "*0700VR"), "*0007VR=X1.1.0\r\n");
    EXPECT_FALSE(seven.handle("*0100VR").has_value());
}

TEST(UnitModel, WritesApplyOnlyBehindTheirEnableCommand) {
    UnitModel unit(defaultConfig());
    EXPECT_EQ(reply(unit, "*0100JH=30"), "*0001JH=25\r\n");
    EXPECT_EQ(reply(unit, "*0100EZ*0100JH=30"), "*0001JH=25\r\n");
    EXPECT_EQ(reply(unit, "*0100EW*0100JH=30"), "*0001JH=30\r\n");
    EXPECT_EQ(unit.config().jh, "30");
    EXPECT_EQ(reply(unit, "*0100EW*0100JP=2"), "*0001JP=2\r\n");
    EXPECT_EQ(reply(unit, "*0100EW*0100JC=.5"), "*0001JC=.5\r\n");
    EXPECT_EQ(reply(unit, "*0100EW*0100PB=0"), "*0001PB=1\r\n");
    EXPECT_EQ(reply(unit, "*0100EZ*0100PB=0"), "*0001PB=0\r\n");
    EXPECT_EQ(unit.config().pb, "0");
    EXPECT_EQ(reply(unit, "*0100EW*0200JH=1"), "<none>");  // the write is for another unit
    EXPECT_EQ(unit.config().jh, "30");

    // Table: replace, append at count + 1, no gaps.
    EXPECT_EQ(reply(unit, "*0100JT001=-45"), "*0001JT001=-40\r\n");
    EXPECT_EQ(reply(unit, "*0100EW*0100JT001=-45"), "*0001JT001=-45\r\n");
    EXPECT_EQ(reply(unit, "*0100EW*0100JR001=.98"), "*0001JR001=.98\r\n");
    EXPECT_EQ(reply(unit, "*0100EW*0100JT008=50"), "*0001JT008=9999\r\n");
    EXPECT_EQ(reply(unit, "*0100EW*0100JR006=1.1"), "*0001JR006=0\r\n");
    EXPECT_EQ(reply(unit, "*0100EW*0100JT006=30"), "*0001JT006=30\r\n");
    EXPECT_EQ(reply(unit, "*0100EW*0100JR006=1.1"), "*0001JR006=1.1\r\n");
    ASSERT_EQ(unit.config().table.size(), 6u);
    EXPECT_EQ(unit.config().table.front(), TableLine("-45", ".98"));
    EXPECT_EQ(unit.config().table.back(), TableLine("30", "1.1"));
    EXPECT_EQ(reply(unit, "*0100JT007"), "*0001JT007=9999\r\n");
}

TEST(UnitModel, FaultsChangeTheReplies) {
    UnitConfig cfg = defaultConfig();
    cfg.faults.silent = true;
    EXPECT_FALSE(UnitModel(cfg).handle("*0100VR").has_value());

    cfg = defaultConfig();
    cfg.faults.silentAfter = 2;
    UnitModel two(cfg);
    EXPECT_TRUE(two.handle("*0100VR").has_value());
    EXPECT_FALSE(two.handle("*0200VR").has_value());  // not counted: not answered
    EXPECT_TRUE(two.handle("*0100JH").has_value());
    EXPECT_FALSE(two.handle("*0100JP").has_value());
    EXPECT_FALSE(two.handle("*0100EW*0100JH=1").has_value());
    EXPECT_EQ(two.config().jh, "25");  // a silent unit applies nothing

    cfg = defaultConfig();
    cfg.faults.answerAsId = "01";
    std::string vr = reply(*std::make_unique<UnitModel>(cfg), "*0100VR");
    EXPECT_EQ(vr, "*0101VR=P1.1.0\r\n");
    EXPECT_NE(vr.substr(1, 2), "00");

    cfg = defaultConfig();
    cfg.faults.garble = true;
    UnitModel garbled(cfg);
    std::string jh = reply(garbled, "*0100JH");
    EXPECT_EQ(jh.substr(0, 8), "*0001JH=");
    EXPECT_NE(jh.substr(8, 2), "25");
    EXPECT_EQ(jh.substr(jh.size() - 2), "\r\n");
    EXPECT_EQ(jh.size(), std::string("*0001JH=25\r\n").size());

    cfg = defaultConfig();
    cfg.faults.shortReply = true;
    EXPECT_EQ(reply(*std::make_unique<UnitModel>(cfg), "*0100JH"), "*0001\r\n");

    cfg = defaultConfig();
    cfg.faults.echoOverride = "24";
    UnitModel echo(cfg);
    EXPECT_EQ(reply(echo, "*0100EW*0100JH=25"), "*0001JH=24\r\n");
    EXPECT_EQ(reply(echo, "*0100JH"), "*0001JH=25\r\n");  // queries are unchanged
}

TEST(UnitModel, LoadsATableFile) {
    TempDir dir;
    dir.write("t.txt", "*\r\n* Pressure Reduction Table\r\n-40  .9876\r\n\r\n 20     1.0123\r\n");
    auto table = loadTableFile(dir.file("t.txt"));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0], TableLine("-40", ".9876"));
    EXPECT_EQ(table[1], TableLine("20", "1.0123"));
    dir.write("bad.txt", "20 1.0 5\r\n");
    EXPECT_THROW(loadTableFile(dir.file("bad.txt")), std::runtime_error);
    EXPECT_THROW(loadTableFile(dir.file("missing.txt")), std::runtime_error);
}

// ---- The unit on a pseudo terminal, through the program's serial port ----

struct Exchange {
    std::string text;
    int reads = 0;  // non-empty reads it took
    Clock::duration took{};
};

Exchange talk(SerialPort& port, const std::string& line, int timeoutMs = 2000) {
    Exchange ex;
    auto start = Clock::now();
    port.write(line + "\r\n");
    while (Clock::now() - start < std::chrono::milliseconds(timeoutMs) && (ex.text.empty() || ex.text.back() != '\n')) {
        port.waitReadable(10);
        std::string part = port.readAvailable();
        if (!part.empty()) {
            ex.text += part;
            ++ex.reads;
        }
    }
    ex.took = Clock::now() - start;
    return ex;
}

UnitConfig fastConfig() {
    UnitConfig cfg = defaultConfig();
    cfg.paced = false;
    return cfg;
}

class PtyUnitTest : public ::testing::Test {
protected:
    void openAt(int baud) {
        port.setPortNumber(unit->port());
        port.setSettings(std::to_string(baud) + ",N,8,1");
        port.open();
    }
    void start(UnitConfig cfg) { unit = std::make_unique<PtyUnit>(dir.path(), std::move(cfg)); }
    TempDir dir;
    std::unique_ptr<PtyUnit> unit;
    PosixSerialPort port{dir.path()};
};

TEST_F(PtyUnitTest, AnswersThroughTheLinkAndSurvivesReopening) {
    start(defaultConfig());
    EXPECT_EQ(unit->port(), 1);
    EXPECT_EQ(unit->linkPath(), dir.file("COM1"));
    PtyUnit second(dir.path(), fastConfig());
    EXPECT_EQ(second.port(), 2);

    for (int round = 0; round < 3; ++round) {
        openAt(9600);
        EXPECT_EQ(talk(port, "*0100VR").text, "*0001VR=P1.1.0\r\n") << round;
        EXPECT_EQ(talk(port, "*0100EW*0100JH=" + std::to_string(30 + round)).text,
                  "*0001JH=" + std::to_string(30 + round) + "\r\n");
        port.close();
    }
    unit->withModel([](UnitModel& m) { EXPECT_EQ(m.config().jh, "32"); });
    EXPECT_EQ(unit->received().size(), 6u);
    EXPECT_EQ(unit->received().front(), "*0100VR");

    // Another unit ID on the same line: no answer at all.
    openAt(9600);
    EXPECT_EQ(talk(port, "*0200VR", 400).text, "");
    port.close();
    unit.reset();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir.file("COM1"))));
}

TEST_F(PtyUnitTest, StaysSilentAtAnotherBaudRate) {
    start(fastConfig());
    openAt(19200);
    EXPECT_EQ(talk(port, "*0100VR", 400).text, "");
    EXPECT_TRUE(unit->received().empty());
    port.setSettings("9600,N,8,1");
    EXPECT_EQ(talk(port, "*0100VR").text, "*0001VR=P1.1.0\r\n");
}

TEST_F(PtyUnitTest, PiecesDelayAndHangUp) {
    UnitConfig cfg = fastConfig();
    cfg.faults.pieces = 3;
    start(cfg);
    openAt(9600);
    Exchange ex = talk(port, "*0100JT001");
    EXPECT_EQ(ex.text, "*0001JT001=-40\r\n");
    EXPECT_GE(ex.reads, 2);

    unit->withModel([](UnitModel& m) {
        m.config().faults.pieces = 0;
        m.config().faults.replyDelay = 0.3;
    });
    ex = talk(port, "*0100JH");
    EXPECT_EQ(ex.text, "*0001JH=25\r\n");
    EXPECT_GE(ex.took, 250ms);

    unit->withModel([](UnitModel& m) {
        m.config().faults.replyDelay = 0;
        m.config().faults.hangupAfter = m.answered() + 1;
    });
    EXPECT_EQ(talk(port, "*0100JP").text, "*0001JP=1\r\n");
    EXPECT_THROW(talk(port, "*0100JC"), SerialError);
    EXPECT_TRUE(unit->hungUp());
    port.close();
    EXPECT_THROW(port.open(), SerialError);
}

TEST_F(PtyUnitTest, PacesTheLineAtItsBaudRate) {
    UnitConfig cfg = defaultConfig();
    cfg.baud = 300;
    start(cfg);
    openAt(300);
    // 9 characters out and 16 back at 30 characters a second: most of a second.
    Exchange ex = talk(port, "*0100VR", 5000);
    EXPECT_EQ(ex.text, "*0001VR=P1.1.0\r\n");
    EXPECT_GE(ex.took, 400ms);
    EXPECT_GE(ex.reads, 2);  // the reply trickles in, not all at once
}

// ---- The unit-simulator program ----

std::string simulatorPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "unit-simulator").string();
}

TEST(UnitSimulatorProgram, ServesTheUnitUntilTerminated) {
    TempDir dir;
    dir.write("table.txt", "* header\r\n5 1.5\r\n");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        std::string exe = simulatorPath();
        ::execl(exe.c_str(), exe.c_str(), "--folder", dir.path().c_str(), "--port", "4", "--id", "07", "--kind", "M",
                "--no-pace", "--table", dir.file("table.txt").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string first;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') first += c;
    EXPECT_EQ(first, "port 4");

    PosixSerialPort port(dir.path());
    port.setPortNumber(4);
    port.open();
    EXPECT_EQ(talk(port, "*0700VR").text, "*0007VR=M1.1.0\r\n");
    EXPECT_EQ(talk(port, "*0700JT001").text, "*0007JT001=5\r\n");
    EXPECT_EQ(talk(port, "*0700JT002").text, "*0007JT002=9999\r\n");
    port.close();

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir.file("COM4"))));
}

}  // namespace
}  // namespace qv::sim
