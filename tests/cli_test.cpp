// quorvel-cli end to end: the executable, run as a shell runs it, against
// simulated units on pseudo terminals linked into a program folder of the
// test's own (--folder).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/main_form.h"
#include "sim/pty_unit.h"
#include "support/temp_dir.h"

extern char** environ;

namespace qv::test {
namespace {

using Lines = std::vector<std::string>;

struct Result {
    int status = -1;
    std::string out, err;
};

// One run of quorvel-cli in the folder (its program folder and its current
// directory), started at once; its standard output and error go to files
// beside it, its standard input is empty.
class CliRun {
public:
    CliRun(const TempDir& dir, const Lines& args, const std::string& name = "cli")
        : out_(dir.file(name + ".out")), err_(dir.file(name + ".err")) {
        const std::string exe = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "quorvel-cli").string();
        Lines all{exe, "--folder", dir.path()};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int rc = posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) pid_ = -1;
    }

    Result wait() {
        Result r;
        int raw = 0;
        if (pid_ > 0 && ::waitpid(pid_, &raw, 0) == pid_ && WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
        pid_ = -1;
        r.out = slurp(out_);
        r.err = slurp(err_);
        return r;
    }
    ~CliRun() {
        if (pid_ > 0) wait();
    }

private:
    static std::string slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string out_, err_;
    pid_t pid_ = -1;
};

// A unit's configuration changed for one case.
using Edit = std::function<void(sim::UnitConfig&)>;

sim::UnitConfig configured(const Edit& edit, bool paced = false) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.paced = paced;
    if (edit) edit(cfg);
    return cfg;
}

const Edit NoTable = [](sim::UnitConfig& c) { c.table.clear(); };

const std::string Table = "* header\r\n-30 0.99\r\n\r\n25 1.01\r\n";
const std::vector<sim::TableLine> TableLines{{"-30", ".99"}, {"25", "1.01"}};

class Cli : public ::testing::Test {
protected:
    TempDir dir;
    std::vector<std::unique_ptr<sim::PtyUnit>> units;

    void SetUp() override {
        dir.write("table.txt", Table);
        dir.write("bad.txt", "* header\r\n20 1.0 5\r\n");
    }

    sim::PtyUnit& startUnit(const sim::UnitConfig& cfg) {
        units.push_back(std::make_unique<sim::PtyUnit>(dir.path(), cfg));
        return *units.back();
    }
    Result run(const Lines& args) { return CliRun(dir, args).wait(); }
    sim::UnitConfig stored(sim::PtyUnit& unit) {
        sim::UnitConfig cfg;
        unit.withModel([&](sim::UnitModel& m) { cfg = m.config(); });
        return cfg;
    }
    // What the unit received, once it has had time to take in the last line.
    Lines received(sim::PtyUnit& unit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return unit.received();
    }
};

// Whether the text starts with the pattern's shape: "#" a digit, any other
// character itself.
bool shaped(const std::string& text, const std::string& pattern) {
    if (text.size() < pattern.size()) return false;
    for (size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] == '#' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != pattern[i]) return false;
    return true;
}

// The text with every occurrence of `what` replaced.
std::string replaced(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// The saved header's time and date, which change from run to run.
std::string masked(std::string text) {
    const std::string when = "##:##:## ##-##-####";
    for (size_t at = text.find("* as of "); at != std::string::npos; at = text.find("* as of ", at + 1))
        if (shaped(text.substr(at + 8), when)) text.replace(at + 8, when.size(), "hh:mm:ss mm-dd-yyyy");
    return text;
}

// A trace line's local date and time, and the blank after them.
const std::string Stamp = "####-##-## ##:##:##.### ";

const std::string Values = "temperature12h=25\ntableTempUnit=F\npressureReductionConstant=29.92\n";
const std::string Header = "*\r\n* KELMORADYNIQUE, INC.\r\n*\r\n* Pressure Reduction Table\r\n"
                           "* as of hh:mm:ss mm-dd-yyyy\r\n*\r\n";
const Lines TableRead{"*0100VR",    "*0100JT001", "*0100JR001", "*0100JT002", "*0100JR002", "*0100JT003",
                      "*0100JR003", "*0100JT004", "*0100JR004", "*0100JT005", "*0100JR005", "*0100JT006"};

// ---- Each command: the lines on the wire and what it prints ------------------

struct CommandCase {
    const char* name;
    Edit edit;
    Lines args;
    Lines wire;          // what the unit received
    std::string stdOut;  // header time masked; "{device}" stands for the unit's device
    std::function<void(const sim::UnitConfig&)> stored = {};
};

void PrintTo(const CommandCase& c, std::ostream* out) { *out << c.name; }

class CliCommand : public Cli, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CliCommand, SendsTheWindowsLinesAndPrintsItsResult) {
    const CommandCase& c = GetParam();
    sim::PtyUnit& unit = startUnit(configured(c.edit));
    Lines args{"--port", std::to_string(unit.port())};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(received(unit), c.wire);
    const std::string expected = replaced(c.stdOut, "{device}", unit.slavePath());
    EXPECT_EQ(masked(r.out).substr(0, expected.size()), expected);
    if (c.stored) c.stored(stored(unit));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliCommand,
    ::testing::Values(
        CommandCase{"detect", {}, {"detect"}, {"*0100VR", "*0100VR", "*0100JH", "*0100JP", "*0100JC"}, Values},
        CommandCase{"read_values_json", {}, {"read-values", "--json"}, {"*0100VR", "*0100JH", "*0100JP", "*0100JC"},
                    "{\n  \"temperature12h\": \"25\",\n  \"tableTempUnit\": \"F\",\n"
                    "  \"pressureReductionConstant\": \"29.92\"\n}\n"},
        CommandCase{"write_values_all_given",
                    {},
                    {"write-values", "--temp", "-20", "--unit", "C", "--constant", "30.5"},
                    {"*0100VR", "*0100EW*0100JP=0", "*0100EW*0100JH=-20", "*0100EW*0100JC=30.5"},
                    "temperature12h=-20\ntableTempUnit=C\npressureReductionConstant=30.5\n",
                    [](const sim::UnitConfig& s) { EXPECT_EQ(s.jh + "|" + s.jp + "|" + s.jc, "-20|0|30.5"); }},
        CommandCase{"write_values_others_read_first",
                    {},
                    {"write-values", "--constant", "0.5"},
                    {"*0100VR", "*0100JH", "*0100JP", "*0100JC", "*0100VR", "*0100EW*0100JP=1", "*0100EW*0100JH=25",
                     "*0100EW*0100JC=.5"},
                    "temperature12h=25\ntableTempUnit=F\npressureReductionConstant=.5\n",
                    [](const sim::UnitConfig& s) { EXPECT_EQ(s.jh + "|" + s.jp + "|" + s.jc, "25|1|.5"); }},
        CommandCase{"baro_disable", {}, {"baro", "disable"}, {"*0100VR", "*0100EZ*0100PB=0"}, "",
                    [](const sim::UnitConfig& s) { EXPECT_EQ(s.pb, "0"); }},
        CommandCase{"read_table_to_stdout", {}, {"read-table"}, TableRead,
                    Header + "-40  .9876\r\n-20  .9934\r\n 0  1\r\n 10  1.0061\r\n 20  1.0123\r\n"},
        CommandCase{"read_table_json",
                    [](sim::UnitConfig& c) { c.table = {{"-40", "0.9876"}, {"20", "1.0123"}}; },
                    {"read-table", "--json"},
                    {"*0100VR", "*0100JT001", "*0100JR001", "*0100JT002", "*0100JR002", "*0100JT003"},
                    "[\n  {\n    \"temperature\": \"-40\",\n    \"ratio\": \".9876\"\n  },\n"
                    "  {\n    \"temperature\": \"20\",\n    \"ratio\": \"1.0123\"\n  }\n]\n"},
        CommandCase{"write_table",
                    NoTable,
                    {"write-table", "table.txt"},
                    {"*0100VR", "*0100PB", "*0100EW*0100JT001=-30", "*0100EW*0100JR001=.99", "*0100EW*0100JT002=25",
                     "*0100EW*0100JR002=1.01"},
                    "",
                    [](const sim::UnitConfig& s) { EXPECT_EQ(s.table, TableLines); }},
        // The unit is port 1, the first of the list; other ports may follow.
        CommandCase{"ports", {}, {"ports"}, {}, "1\t{device}\tCOM1 \u2192 {device}\n"},
        CommandCase{"ports_json", {}, {"ports", "--json"}, {},
                    "[\n  {\n    \"port\": 1,\n    \"device\": \"{device}\",\n    \"text\": \"COM1 \u2192 {device}\"\n  }"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Exit statuses ----------------------------------------------------------------

struct FailureCase {
    const char* name;
    Edit edit;
    Lines args;
    int status;
    std::string box;  // a line of standard error
    Lines wire;
    std::string settings = {};  // the settings file, when there is one
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class CliFailure : public Cli, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CliFailure, EndsWithItsStatusAndMessage) {
    const FailureCase& c = GetParam();
    sim::PtyUnit& unit = startUnit(configured(c.edit));
    if (!c.settings.empty()) dir.write(SettingsFileName, c.settings);
    Lines args{"--port", std::to_string(unit.port())};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = run(args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.err.find(c.box + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(received(unit), c.wire);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, CliFailure,
    ::testing::Values(
        FailureCase{"silent_unit", [](sim::UnitConfig& c) { c.faults.silent = true; }, {"detect"}, 1,
                    "Communications:  Unit is not responding.  Please verify PC and/or unit Port and/or Baud Rate. ",
                    {"*0100VR"}},
        FailureCase{"another_unit_id", [](sim::UnitConfig& c) { c.faults.answerAsId = "01"; }, {"read-table"}, 1,
                    "Communications:  Unit detected, but at a different Unit ID.  Please verify Unit ID settings. ",
                    {"*0100VR"}},
        FailureCase{"echo_mismatch", [](sim::UnitConfig& c) { c.faults.echoOverride = "7"; },
                    {"write-table", "table.txt"}, 1,
                    "Error:  Value returned ( 7) does not match value sent! (-30), can't continue... ",
                    {"*0100VR", "*0100PB", "*0100EW*0100JT001=-30"}},
        FailureCase{"missing_table_file", {}, {"write-table", "missing.txt"}, 3,
                    "File:  Can't find selected file. Please verify... ", {}},
        FailureCase{"table_line_fails_check", {}, {"write-table", "bad.txt"}, 3,
                    "Error:  Invalid table entry, line  2.  Transfer aborted.", {"*0100VR"}},
        FailureCase{"value_refused", {}, {"write-values", "--temp", "12.5", "--unit", "R", "--constant", "1"}, 2,
                    "Quorvel Config Software: Invalid 12-hour temperature value - integers only", {}},
        FailureCase{"unknown_command", {}, {"fly"}, 2, "quorvel-cli: unknown command \"fly\" (see quorvel-cli --help)",
                    {}},
        FailureCase{"baud_not_in_list", {}, {"--baud", "1234", "detect"}, 2,
                    "quorvel-cli: --baud takes one of 300 ... 115200, not \"1234\" (see quorvel-cli --help)", {}},
        FailureCase{"settings_file_cut_short", {}, {"detect"}, 3,
                    "File:  Initial Configuration File Error!, Can't continue... ", {}, "1\r\n9600\r\n01\r\n\r\n"},
        FailureCase{"trace_file_not_opened", {}, {"--trace", "/nonexistent/t.txt", "detect"}, 3,
                    "quorvel-cli: cannot open the trace file /nonexistent/t.txt: No such file or directory", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Questions: Yes only with --yes -----------------------------------------

// A table file of 182 data lines, over the load's limit of 181.
std::string longTable() {
    std::string text;
    for (int i = 1; i <= 182; ++i) text += std::to_string(i) + " 1\r\n";
    return text;
}

struct QuestionCase {
    const char* name;
    Lines args;
    int status;
    std::string shown;  // on standard error
    std::function<void(const TempDir&, sim::PtyUnit&)> check;
};

void PrintTo(const QuestionCase& c, std::ostream* out) { *out << c.name; }

class CliQuestion : public Cli, public ::testing::WithParamInterface<QuestionCase> {};

TEST_P(CliQuestion, IsAnsweredYesOnlyWithYes) {
    const QuestionCase& c = GetParam();
    dir.write("old.txt", "old\r\n");
    dir.write("long.txt", longTable());
    sim::PtyUnit& unit = startUnit(configured(NoTable));
    unit.withModel([](sim::UnitModel& m) { m.config().table = TableLines; });
    Lines args{"--port", std::to_string(unit.port())};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = run(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.shown), std::string::npos) << r.err;
    c.check(dir, unit);
}

const std::string Replace = "File:  Selected file already exist. Do you want to replace it?... \n";
const std::string LongWarning = "File:  Table has more than 180 lines. Please verify... \n";

INSTANTIATE_TEST_SUITE_P(
    YesNo, CliQuestion,
    ::testing::Values(
        QuestionCase{"replace_answered_no", {"read-table", "old.txt"}, 3, Replace + "  -> No\n",
                     [](const TempDir& d, sim::PtyUnit&) { EXPECT_EQ(d.read("old.txt"), "old\r\n"); }},
        QuestionCase{"replace_answered_yes", {"--yes", "read-table", "old.txt"}, 0, Replace + "  -> Yes\n",
                     [](const TempDir& d, sim::PtyUnit&) {
                         EXPECT_EQ(masked(d.read("old.txt")), Header + "-30  .99\r\n 25  1.01\r\n");
                     }},
        QuestionCase{"long_table_stops", {"write-table", "long.txt"}, 3, LongWarning,
                     [](const TempDir&, sim::PtyUnit& u) { EXPECT_TRUE(u.received().empty()); }},
        QuestionCase{"long_table_goes_on", {"write-table", "long.txt", "--yes"}, 0, LongWarning,
                     [](const TempDir&, sim::PtyUnit& u) {
                         u.withModel([](sim::UnitModel& m) {
                             ASSERT_EQ(m.config().table.size(), 182u);
                             EXPECT_EQ(m.config().table.back(), sim::TableLine("182", "1"));
                         });
                     }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The settings file: read for the defaults, never written -------------------

TEST_F(Cli, TakesItsDefaultsFromTheSettingsFileAndNeverWritesIt) {
    // No settings file: port 1, 9600 baud, unit 01, and no file made.
    sim::PtyUnit& first = startUnit(configured({}));
    ASSERT_EQ(first.port(), 1);
    EXPECT_EQ(run({"detect"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file(SettingsFileName)));

    sim::PtyUnit& other = startUnit(configured([](sim::UnitConfig& c) { c.id = "07", c.baud = 19200; }));
    const std::string settings = std::to_string(other.port()) + "\r\n19200\r\n07\r\ntable.txt\r\n0\r\n";
    dir.write(SettingsFileName, settings);
    const Result r = run({"read-values"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(received(other), (Lines{"*0700VR", "*0700JH", "*0700JP", "*0700JC"}));
    EXPECT_EQ(dir.read(SettingsFileName), settings);
}

// ---- The trace of the wire --------------------------------------------------

struct TraceCase {
    const char* name;
    Edit edit;
    int status;
    Lines trace;  // without the timestamps; a line ending in "..." is matched up to there
};

void PrintTo(const TraceCase& c, std::ostream* out) { *out << c.name; }

class CliTrace : public Cli, public ::testing::WithParamInterface<TraceCase> {};

TEST_P(CliTrace, NotesEveryExchangeOfADetection) {
    const TraceCase& c = GetParam();
    startUnit(configured(c.edit));
    const Result r = run({"--trace", dir.file("wire.txt"), "detect"});
    EXPECT_EQ(r.status, c.status) << r.err;

    std::istringstream trace(dir.read("wire.txt"));
    Lines lines;
    for (std::string line; std::getline(trace, line);) {
        EXPECT_TRUE(shaped(line, Stamp)) << line;
        lines.push_back(line.substr(std::min(Stamp.size(), line.size())));
    }
    ASSERT_EQ(lines.size(), c.trace.size()) << ::testing::PrintToString(lines);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& want = c.trace[i];
        if (want.size() > 3 && want.compare(want.size() - 3, 3, "...") == 0)
            EXPECT_EQ(lines[i].substr(0, want.size() - 3), want.substr(0, want.size() - 3)) << "line " << i + 1;
        else
            EXPECT_EQ(lines[i], want) << "line " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Detections, CliTrace,
    ::testing::Values(
        // Replies in three pieces are noted whole; odd bytes are escaped.
        TraceCase{"answered",
                  [](sim::UnitConfig& c) { c.faults.pieces = 3, c.version = "1.1\t\x80\\"; },
                  0,
                  {"COM1 open 9600,N,8,1", "COM1 sent *0100VR\\r\\n", "COM1 recv *0001VR=P1.1\\x09\\x80\\\\\\r\\n",
                   "COM1 sent *0100VR\\r\\n", "COM1 recv *0001VR=P1.1\\x09\\x80\\\\\\r\\n",
                   "COM1 sent *0100JH\\r\\n", "COM1 recv *0001JH=25\\r\\n", "COM1 sent *0100JP\\r\\n",
                   "COM1 recv *0001JP=1\\r\\n", "COM1 sent *0100JC\\r\\n", "COM1 recv *0001JC=29.92\\r\\n",
                   "COM1 close"}},
        TraceCase{"silent",
                  [](sim::UnitConfig& c) { c.faults.silent = true; },
                  1,
                  {"COM1 open 9600,N,8,1", "COM1 sent *0100VR\\r\\n", "COM1 time-out no reply line within 2 s",
                   "COM1 close"}},
        TraceCase{"hung_up",
                  [](sim::UnitConfig& c) { c.faults.hangupAfter = 1; },
                  1,
                  {"COM1 open 9600,N,8,1", "COM1 sent *0100VR\\r\\n", "COM1 recv *0001VR=P1.1.0\\r\\n",
                   "COM1 sent *0100VR\\r\\n", "COM1 failure 10005 The serial device ...", "COM1 close"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Several units at once ----------------------------------------------------

TEST_F(Cli, TwoProcessesWriteATableIntoTwoUnitsAtOnce) {
    // Units at the line's real speed, so that the two writes overlap.
    sim::PtyUnit& one = startUnit(configured(NoTable, true));
    sim::PtyUnit& two = startUnit(configured(NoTable, true));
    const std::string trace = dir.file("both.txt");
    CliRun first(dir, {"--port", std::to_string(one.port()), "--trace", trace, "write-table", "table.txt"}, "one");
    CliRun second(dir, {"--port", std::to_string(two.port()), "--trace", trace, "write-table", "table.txt"}, "two");
    const Result a = first.wait();
    const Result b = second.wait();
    EXPECT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(stored(one).table, TableLines);
    EXPECT_EQ(stored(two).table, TableLines);

    // One trace file, every line whole: each port's open, eight lines of
    // exchanges and close.
    std::istringstream lines(dir.read("both.txt"));
    int perPort[3] = {0, 0, 0};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line.substr(std::min(Stamp.size(), line.size())));
        std::string port, event;
        fields >> port >> event;
        ASSERT_TRUE(shaped(line, Stamp) && (port == "COM1" || port == "COM2") &&
                    (event == "open" || event == "sent" || event == "recv" || event == "close"))
            << line;
        ++perPort[port.back() - '0'];
    }
    EXPECT_EQ(perPort[1], 14);
    EXPECT_EQ(perPort[2], 14);
}

}  // namespace
}  // namespace qv::test
