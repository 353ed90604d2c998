#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <utility>

#include "platform/posix/posix_serial_port.h"
#include "sim/pty_unit.h"
#include "sim/unit_model.h"
#include "support/temp_dir.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Script = std::vector<std::pair<std::string, std::string>>;  // line sent, reply ("" for none)

// Sends each line to the model and compares its reply.
void expectReplies(UnitModel& unit, const Script& script) {
    for (const auto& [line, reply] : script) EXPECT_EQ(unit.handle(line).value_or(""), reply) << line;
}

UnitConfig configWith(const std::function<void(UnitConfig&)>& edit) {
    UnitConfig cfg = defaultConfig();
    edit(cfg);
    return cfg;
}

TEST(UnitModel, RepliesCarryTheLayoutOfEachCommand) {
    UnitModel unit(defaultConfig());
    expectReplies(unit, {{"*0100VR", "*0001VR=P1.1.0\r\n"}, {"*0100JH\r", "*0001JH=25\r\n"}, {"*0100JP", "*0001JP=1\r\n"},
                         {"*0100JC", "*0001JC=29.92\r\n"}, {"*0100PB", "*0001PB=1\r\n"},
                         {"*0100JT001", "*0001JT001=-40\r\n"}, {"*0100JR001", "*0001JR001=.9876\r\n"},
                         {"*0100JR005", "*0001JR005=1.0123\r\n"}, {"*0100JT006", "*0001JT006=9999\r\n"},
                         {"*0100JR006", "*0001JR006=0\r\n"}, {"*0100JT1000", "*0001JT1000=9999\r\n"}});
    // Not the unit's: other IDs, another unit's reply, malformed lines.
    for (const char* ignored : {"*0200VR", "*0001VR=P1.1.0", "0100VR", "*0100", "*0100JT", "*0100JT01x", "*0100JT000",
                                "*0100JT10000", "*0100QQ", "*0100EW", "*0100VRX"})
        EXPECT_FALSE(unit.handle(ignored).has_value()) << ignored;
    EXPECT_EQ(unit.received()[1], "*0100JH");
    EXPECT_EQ(unit.received().back(), "*0100VRX");
    UnitModel seven(configWith([](UnitConfig& c) { c.id = "07", c.kind = 'X'; }));
    expectReplies(seven, {{"*0700VR", "*0007VR=X1.1.0\r\n"}, {"*0100VR", ""}});
}

TEST(UnitModel, WritesApplyOnlyBehindTheirEnableCommand) {
    UnitModel unit(defaultConfig());
    expectReplies(unit, {{"*0100JH=30", "*0001JH=25\r\n"}, {"*0100EZ*0100JH=30", "*0001JH=25\r\n"},
                         {"*0100EW*0100JH=30", "*0001JH=30\r\n"}, {"*0100EW*0100JP=2", "*0001JP=2\r\n"},
                         {"*0100EW*0100JC=.5", "*0001JC=.5\r\n"}, {"*0100EW*0100PB=0", "*0001PB=1\r\n"},
                         {"*0100EZ*0100PB=0", "*0001PB=0\r\n"}, {"*0100EW*0200JH=1", ""},
                         // Table: replace, append at count + 1, no gaps.
                         {"*0100JT001=-45", "*0001JT001=-40\r\n"}, {"*0100EW*0100JT001=-45", "*0001JT001=-45\r\n"},
                         {"*0100EW*0100JR001=.98", "*0001JR001=.98\r\n"}, {"*0100EW*0100JT008=50", "*0001JT008=9999\r\n"},
                         {"*0100EW*0100JR006=1.1", "*0001JR006=0\r\n"}, {"*0100EW*0100JT006=30", "*0001JT006=30\r\n"},
                         {"*0100EW*0100JR006=1.1", "*0001JR006=1.1\r\n"}, {"*0100JT007", "*0001JT007=9999\r\n"}});
    EXPECT_EQ(unit.config().jh + unit.config().jp + unit.config().jc + unit.config().pb, "302.50");
    ASSERT_EQ(unit.config().table.size(), 6u);
    EXPECT_EQ(unit.config().table.front(), TableLine("-45", ".98"));
    EXPECT_EQ(unit.config().table.back(), TableLine("30", "1.1"));
}

TEST(UnitModel, FaultsChangeTheReplies) {
    EXPECT_FALSE(UnitModel(configWith([](UnitConfig& c) { c.faults.silent = true; })).handle("*0100VR"));
    UnitModel two(configWith([](UnitConfig& c) { c.faults.silentAfter = 2; }));
    // A line for another unit is not counted: it is not answered.
    expectReplies(two, {{"*0100VR", "*0001VR=P1.1.0\r\n"}, {"*0200VR", ""}, {"*0100JH", "*0001JH=25\r\n"},
                        {"*0100JP", ""}, {"*0100EW*0100JH=1", ""}});
    EXPECT_EQ(two.config().jh, "25");  // a silent unit applies nothing
    UnitModel other(configWith([](UnitConfig& c) { c.faults.answerAsId = "01"; }));
    expectReplies(other, {{"*0100VR", "*0101VR=P1.1.0\r\n"}});
    UnitModel garbled(configWith([](UnitConfig& c) { c.faults.garble = true; }));
    expectReplies(garbled, {{"*0100JH", "*0001JH=\"%\r\n"}});
    UnitModel cut(configWith([](UnitConfig& c) { c.faults.shortReply = true; }));
    expectReplies(cut, {{"*0100JH", "*0001\r\n"}});
    UnitModel echo(configWith([](UnitConfig& c) { c.faults.echoOverride = "24"; }));
    expectReplies(echo, {{"*0100EW*0100JH=25", "*0001JH=24\r\n"}, {"*0100JH", "*0001JH=25\r\n"}});
}

TEST(UnitModel, LoadsATableFile) {
    TempDir dir;
    dir.write("t.txt", "*\r\n* Pressure Reduction Table\r\n-40  .9876\r\n\r\n 20     1.0123\r\n");
    EXPECT_EQ(loadTableFile(dir.file("t.txt")), (std::vector<TableLine>{{"-40", ".9876"}, {"20", "1.0123"}}));
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
        ex.text += part;
        ex.reads += !part.empty();
    }
    ex.took = Clock::now() - start;
    return ex;
}

class PtyUnitTest : public ::testing::Test {
protected:
    void start(UnitConfig cfg, int baud = 9600) {
        unit = std::make_unique<PtyUnit>(dir.path(), std::move(cfg));
        port.setPortNumber(unit->port());
        port.setSettings(std::to_string(baud) + ",N,8,1");
        port.open();
    }
    TempDir dir;
    std::unique_ptr<PtyUnit> unit;
    PosixSerialPort port{dir.path()};
};

TEST_F(PtyUnitTest, AnswersOnlyAtItsBaudRateAndSurvivesReopening) {
    start(defaultConfig(), 19200);
    EXPECT_EQ(unit->linkPath(), dir.file("COM1"));
    EXPECT_EQ(PtyUnit(dir.path(), defaultConfig()).port(), 2);
    EXPECT_EQ(talk(port, "*0100VR", 400).text, "");
    EXPECT_TRUE(unit->received().empty());
    port.close();
    for (int round = 0; round < 3; ++round) {
        port.setSettings("9600,N,8,1");
        port.open();
        EXPECT_EQ(talk(port, "*0100EW*0100JH=" + std::to_string(30 + round)).text,
                  "*0001JH=" + std::to_string(30 + round) + "\r\n");
        port.close();
    }
    unit->withModel([](UnitModel& m) { EXPECT_EQ(m.config().jh, "32"); });
    EXPECT_EQ(unit->received().size(), 3u);
    unit.reset();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir.file("COM1"))));
}

TEST_F(PtyUnitTest, PacesPiecesDelaysAndHangsUp) {
    start(configWith([](UnitConfig& c) { c.baud = 300; }), 300);
    // 9 characters out and 16 back at 30 characters a second: most of a second,
    // the reply trickling in.
    Exchange ex = talk(port, "*0100VR", 5000);
    EXPECT_EQ(ex.text, "*0001VR=P1.1.0\r\n");
    EXPECT_GE(ex.took, 400ms);
    EXPECT_GE(ex.reads, 2);

    unit->withModel([](UnitModel& m) { m.config().paced = false, m.config().faults.pieces = 3; });
    port.setSettings("9600,N,8,1");
    unit->withModel([](UnitModel& m) { m.config().baud = 9600; });
    ex = talk(port, "*0100JT001");
    EXPECT_EQ(ex.text, "*0001JT001=-40\r\n");
    EXPECT_GE(ex.reads, 2);

    unit->withModel([](UnitModel& m) { m.config().faults.pieces = 0, m.config().faults.replyDelay = 0.3; });
    ex = talk(port, "*0100JH");
    EXPECT_EQ(ex.text, "*0001JH=25\r\n");
    EXPECT_GE(ex.took, 250ms);

    unit->withModel([](UnitModel& m) { m.config().faults.replyDelay = 0, m.config().faults.hangupAfter = m.answered() + 1; });
    EXPECT_EQ(talk(port, "*0100JP").text, "*0001JP=1\r\n");
    EXPECT_THROW(talk(port, "*0100JC"), SerialError);
    EXPECT_TRUE(unit->hungUp());
    port.close();
    EXPECT_THROW(port.open(), SerialError);
}

// ---- The unit-simulator program ----

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
        std::string exe = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "unit-simulator").string();
        ::execl(exe.c_str(), exe.c_str(), "--folder", dir.path().c_str(), "--port", "4", "--id", "07", "--kind", "M",
                "--no-pace", "--table", dir.file("table.txt").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string first;
    for (char c; ::read(out[0], &c, 1) == 1 && c != '\n';) first += c;
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
