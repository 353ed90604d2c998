// The simulated unit: its command language, and its program serving many
// table reads in a row, during which the reading program's heap must not
// grow. The unit runs in a process of its own there, so that its record of
// every line it received stays out of the measurement.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim/unit_model.h"
#include "support/unit_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_HEAP_MEASURABLE 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEL_HEAP_MEASURABLE 0
#endif
#endif
#ifndef QUORVEL_HEAP_MEASURABLE
#define QUORVEL_HEAP_MEASURABLE 1
#endif

extern char** environ;

namespace qv::test {
namespace {

// ---- The command language: each line sent and the reply ("" for none) ----

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
                                       {"*0100JT", ""}, {"*0100JT01x", ""}, {"*0100JT000", ""}, {"*0100JT10000", ""},
                                       {"*0100QQ", ""}, {"*0100EW", ""}, {"*0100VRX", ""}, {"*0100VR", "*0001VR=P1.1.0\r\n"}}},
        // Writes apply only behind their own enable command; a table has no gaps.
        ModelCase{"writes", {}, {{"*0100JH=30", "*0001JH=25\r\n"}, {"*0100EZ*0100JH=30", "*0001JH=25\r\n"},
                                 {"*0100EW*0100JH=30", "*0001JH=30\r\n"}, {"*0100EW*0100JP=2", "*0001JP=2\r\n"},
                                 {"*0100EW*0100JC=.5", "*0001JC=.5\r\n"}, {"*0100EW*0100PB=0", "*0001PB=1\r\n"},
                                 {"*0100EZ*0100PB=0", "*0001PB=0\r\n"}, {"*0100EW*0200JH=1", ""},
                                 {"*0100JT001=-45", "*0001JT001=-40\r\n"}, {"*0100EW*0100JT001=-45", "*0001JT001=-45\r\n"},
                                 {"*0100EW*0100JT008=50", "*0001JT008=9999\r\n"},
                                 {"*0100EW*0100JR006=1.1", "*0001JR006=0\r\n"}, {"*0100EW*0100JT006=30", "*0001JT006=30\r\n"},
                                 {"*0100EW*0100JR006=1.1", "*0001JR006=1.1\r\n"}, {"*0100JT007", "*0001JT007=9999\r\n"},
                                 {"*0100JH", "*0001JH=30\r\n"}, {"*0100VR=X", "*0001VR=P1.1.0\r\n"}}},
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

// ---- The unit-simulator program ----

// The unit-simulator program, started with the arguments; firstLine() is
// the first line it printed ("" when it printed none).
class SimulatorProgram {
public:
    explicit SimulatorProgram(std::vector<std::string> args) {
        const std::string exe =
            (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "unit-simulator").string();
        args.insert(args.begin(), exe);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
        for (char c; ::read(out_, &c, 1) == 1 && c != '\n';) first_ += c;
    }
    ~SimulatorProgram() {
        stop();
        if (out_ >= 0) ::close(out_);
    }
    SimulatorProgram(const SimulatorProgram&) = delete;
    SimulatorProgram& operator=(const SimulatorProgram&) = delete;

    const std::string& firstLine() const { return first_; }
    // Ends the program with SIGTERM; returns its exit status, -1 when it did
    // not run or did not end by exiting.
    int stop() {
        int raw = 0, status = -1;
        if (pid_ > 0 && ::kill(pid_, SIGTERM) == 0 && ::waitpid(pid_, &raw, 0) == pid_ && WIFEXITED(raw))
            status = WEXITSTATUS(raw);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string first_;
};

using Soak = UnitFixture;

TEST_F(Soak, TheProgramServesTwoHundredTableReadsAndTheReadersHeapDoesNotGrow) {
    dir.write("table.txt", "* header\r\n-40 .9876\r\n0 1\r\n\r\n20   1.0123\r\n");
    SimulatorProgram unit({"--folder", dir.path(), "--port", "4", "--id", "07", "--kind", "M", "--no-pace", "--table",
                           dir.file("table.txt")});
    ASSERT_EQ(unit.firstLine(), "port 4");
    setLink("4", "07");
    // One table read that must end with exactly the "Transfer Complete."
    // box; the toolkit's record of boxes would grow with every read.
    const auto read = [&] {
        form.Command4_Click();
        const bool ok = ui.boxes.size() == 1 && ui.boxes[0].icon == Icon::Information && form.List2.listCount() == 3;
        ui.boxes.clear();
        return ok;
    };
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(read()) << "read " << i;
    const size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(read()) << "read " << i;
    const size_t after = mallinfo2().uordblks;
    EXPECT_EQ(form.List2.list(2), " 20  1.0123");
    EXPECT_EQ(form.Label2.caption(), "Table transferred successfully from unit.");
    // Sanitizer builds keep freed memory in quarantine; LeakSanitizer checks
    // for leaks at exit instead.
    EXPECT_TRUE(!QUORVEL_HEAP_MEASURABLE || after < before + 64 * 1024) << "heap grew from " << before << " to " << after;

    // SIGTERM ends the program, which removes its link.
    EXPECT_EQ(unit.stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir.file("COM4"))));
}

}  // namespace
}  // namespace qv::test
