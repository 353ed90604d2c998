// quorvel-cli end to end: the executable, run as a shell runs it, against
// simulated units on pseudo terminals linked into a program folder of the
// test's own (--folder). With QUORVEL_WINDOWS_CLI naming quorvel-cli.exe,
// the same rows run that program under Wine instead (in the Wine prefix
// WINEPREFIX names), which reaches the unit's pseudo terminal as the
// prefix's COM port of the unit's number; rows that need what only Linux
// has are left out of that run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <regex>
#include <sstream>

#include "app/main_form.h"
#include "sim/pty_unit.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

using Lines = std::vector<std::string>;

// The folder of the programs built next to the tests.
const std::filesystem::path Bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
// quorvel-cli.exe, when the runs are those of the Windows program.
const char* const WindowsCli = std::getenv("QUORVEL_WINDOWS_CLI");

// The unit's pseudo terminal as the Wine prefix's COM<port> (Wine finds the
// lower-case name only), for as long as this lives. Wine's server makes a
// terminal it opens its controlling terminal when the terminal is nobody's,
// and then quits when the terminal hangs up; so a child in a session of its
// own holds the terminal as its controlling terminal meanwhile.
class WinePort {
public:
    WinePort(int port, const std::string& tty)
        : link_(std::filesystem::path(std::getenv("WINEPREFIX")) / "dosdevices" / ("com" + std::to_string(port))) {
        // Wine's device manager points com1 at /dev/ttyS0 when Wine's
        // services start: they are started once, before the first link.
        static const bool started = std::system("wine cmd /c exit >/dev/null 2>&1") == 0;
        (void)started;
        std::filesystem::remove(link_);
        std::filesystem::create_symlink(tty, link_);
        int ready[2];
        if (::pipe(ready) != 0) throw std::runtime_error("pipe failed");
        holder_ = ::fork();
        if (holder_ == 0) {
            const int fd = ::open(tty.c_str(), O_RDWR | O_NOCTTY);
            if (::setsid() < 0 || fd < 0 || ::ioctl(fd, TIOCSCTTY, 0) != 0) ::_exit(1);
            (void)!::write(ready[1], "r", 1);
            ::pause();
            ::_exit(0);
        }
        // The terminal is taken before Wine may open it.
        ::close(ready[1]);
        char byte = 0;
        const bool held = holder_ > 0 && ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
        if (!held) throw std::runtime_error("the unit's terminal could not be held");
    }
    ~WinePort() {
        if (holder_ > 0) ::kill(holder_, SIGKILL), ::waitpid(holder_, nullptr, 0);
        std::filesystem::remove(link_);
    }
    WinePort(const WinePort&) = delete;
    WinePort& operator=(const WinePort&) = delete;

private:
    std::filesystem::path link_;
    pid_t holder_ = -1;
};

// The shell command that runs quorvel-cli on the folder, standard input
// empty, standard output and error to cli.out and cli.err.
std::string command(const TempDir& dir, const Lines& args) {
    const std::string program = WindowsCli ? "wine '" + std::string(WindowsCli) + "'" : (Bin / "quorvel-cli").string();
    std::string line = program + " --folder " + dir.path();
    for (const std::string& a : args) line += " '" + a + "'";
    return line + " </dev/null >cli.out 2>cli.err";
}
// Runs the line in a shell in the folder; its exit status, -1 when it did not exit.
int shell(const TempDir& dir, const std::string& line) {
    const int raw = std::system(("cd " + dir.path() + " || exit 99; " + line).c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}
// The text, the saved header's time and date masked; cut to the length of the
// expected text before its "..." when it ends so.
std::string seen(const std::string& text, const std::string& expected) {
    static const std::regex when(R"(\* as of \d\d:\d\d:\d\d \d\d-\d\d-\d{4})");
    const std::string masked = std::regex_replace(text, when, "* as of hh:mm:ss mm-dd-yyyy");
    return expected.ends_with("...") ? masked.substr(0, expected.size() - 3) + "..." : masked;
}

// The unit's lines of a read of two table lines and of the write of table.txt.
const Lines TwoRead{"*0100VR", "*0100JT001", "*0100JR001", "*0100JT002", "*0100JR002", "*0100JT003"};
const Lines TableWrite{"*0100VR", "*0100PB", "*0100EW*0100JT001=-30", "*0100EW*0100JR001=.99",
                       "*0100EW*0100JT002=25", "*0100EW*0100JR002=1.01"};
// long.txt: 182 data lines, over the load's limit of 181; and its write.
const std::pair<std::string, Lines> Long = [] {
    std::pair<std::string, Lines> t{"", {"*0100VR", "*0100PB"}};
    for (int i = 1; i <= 182; ++i) {
        const std::string n = std::to_string(i), ix = std::string(3 - n.size(), '0') + n;
        t.first += n + " 1\r\n";
        t.second.insert(t.second.end(), {"*0100EW*0100JT" + ix + "=" + n, "*0100EW*0100JR" + ix + "=1"});
    }
    return t;
}();
const std::string Table = "*\r\n* KELMORADYNIQUE, INC.\r\n*\r\n* Pressure Reduction Table\r\n"
                          "* as of hh:mm:ss mm-dd-yyyy\r\n*\r\n-30  .99\r\n 25  1.01\r\n";
const std::string TableJson = "[\n  {\n    \"temperature\": \"-30\",\n    \"ratio\": \".99\"\n  },\n"
                              "  {\n    \"temperature\": \"25\",\n    \"ratio\": \"1.01\"\n  }\n]\n";
const std::string Silent = "Communications:  Unit is not responding.  Please verify PC and/or unit Port and/or Baud Rate. ";
const std::string Replace = "File:  Selected file already exist. Do you want to replace it?... \n  -> ";
const std::string LongWarning = "File:  Table has more than 180 lines. Please verify... ";

struct Case {
    const char* name;
    std::function<void(sim::UnitConfig&)> edit;
    Lines args;  // after "--port" and the unit's port, unless `settings` is given; "{link}" is the unit's COM link
    int status;
    Lines wire;        // what the unit received
    std::string out;   // "{device}" stands for the unit's device
    std::string err;   // a line of standard error, if any
    Lines trace = {};  // with --trace: its lines without the time stamps
    // Given: the settings file ("" for none) and no port; a unit with one sits
    // at port 2, which only the file leads to. No run ever writes the file.
    const char* settings = nullptr;
    std::string old = "old\r\n";  // old.txt afterwards
    std::string env = {};          // set for the run, e.g. "TMPDIR=/nonexistent "
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class Cli : public ::testing::TestWithParam<Case> {
protected:
    TempDir dir;
    void SetUp() override {
        for (const auto& [name, text] : {std::pair<std::string, std::string>{"table.txt", "* header\r\n-30 0.99\r\n\r\n25   1.01\r\n"},
                                         {"bad.txt", "* header\r\n20 1.0 5\r\n"}, {"long.txt", Long.first}, {"old.txt", "old\r\n"}})
            dir.write(name, text);
    }
};

// ---- Each command: the lines on the wire, the exit status, what it prints ----

TEST_P(Cli, SendsTheWindowsLinesAndEndsWithItsStatus) {
    const Case& c = GetParam();
    const bool settingsFile = c.settings && *c.settings;
    sim::UnitConfig cfg = sim::defaultConfig();  // a fast unit with two table lines
    cfg.paced = false, cfg.table = {{"-30", ".99"}, {"25", "1.01"}};
    if (c.edit) c.edit(cfg);
    sim::PtyUnit unit(dir.path(), cfg, settingsFile ? 2 : 0);
    std::optional<WinePort> winePort;
    if (WindowsCli) winePort.emplace(unit.port(), unit.slavePath());
    if (settingsFile) dir.write(SettingsFileName, c.settings);
    Lines args = c.settings ? Lines{} : Lines{"--port", std::to_string(unit.port())};
    if (!c.trace.empty()) args.insert(args.end(), {"--trace", dir.file("wire.txt")});
    for (const std::string& a : c.args) args.push_back(a == "{link}" ? unit.linkPath() : a);
    const int status = shell(dir, c.env + command(dir, args));
    // The status expected; a line that dropped is a failure of the link.
    EXPECT_TRUE(status == c.status && (status == 1 || !unit.hungUp())) << status << " " << dir.read("cli.err");
    ::usleep(30000);  // for the unit to take in the last line
    EXPECT_EQ(unit.received(), c.wire);
    const std::string out = std::regex_replace(c.out, std::regex("\\{device\\}"), unit.slavePath());
    EXPECT_TRUE(c.err.empty() || dir.read("cli.err").find(c.err + "\n") != std::string::npos) << dir.read("cli.err");
    // Standard output, old.txt and the settings file afterwards.
    EXPECT_EQ(seen(dir.read("cli.out"), out) + "|" + seen(dir.read("old.txt"), c.old) + "|" + dir.read(SettingsFileName),
              out + "|" + c.old + "|" + (settingsFile ? c.settings : ""));
    // The trace: local date and time to the millisecond, then the event; a
    // line without them stays whole and fails.
    std::istringstream in(dir.read("wire.txt"));
    const std::regex stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )");
    Lines trace;
    for (std::string line; std::getline(in, line);) trace.push_back(std::regex_replace(line, stamp, ""));
    ASSERT_EQ(trace.size(), c.trace.size()) << ::testing::PrintToString(trace);
    for (size_t i = 0; i < trace.size(); ++i) EXPECT_EQ(seen(trace[i], c.trace[i]), c.trace[i]);
}

using Unit = sim::UnitConfig;
const std::vector<Case> Cases{
        Case{"write_values_all_given", {}, {"write-values", "--temp", "-20", "--unit", "C", "--constant", "30.5"}, 0,
             {"*0100VR", "*0100EW*0100JP=0", "*0100EW*0100JH=-20", "*0100EW*0100JC=30.5"},
             "temperature12h=-20\ntableTempUnit=C\npressureReductionConstant=30.5\n", ""},
        Case{"write_values_others_read_first", {}, {"write-values", "--constant", "0.5"}, 0,
             {"*0100VR", "*0100JH", "*0100JP", "*0100JC", "*0100VR", "*0100EW*0100JP=1", "*0100EW*0100JH=25",
              "*0100EW*0100JC=.5"}, "temperature12h=25\ntableTempUnit=F\npressureReductionConstant=.5\n", ""},
        Case{"baro_at_device", {}, {"--device", "{link}", "baro", "disable"}, 0, {"*0100VR", "*0100EZ*0100PB=0"}, "", "", {}, ""},
        Case{"read_table_to_stdout", {}, {"read-table"}, 0, TwoRead, Table, ""},
        Case{"read_table_json", {}, {"read-table", "--json"}, 0, TwoRead, TableJson, ""},
        Case{"read_table_to_stdout_without_tmpdir", {}, {"read-table"}, 0, TwoRead, Table, "", {}, nullptr, "old\r\n",
             "TMPDIR=/nonexistent "},
        // A trace line that cannot be written leaves the operation as it is, and is reported once.
        Case{"trace_not_written", {}, {"--trace", "/dev/full", "detect"}, 3, {"*0100VR", "*0100VR", "*0100JH", "*0100JP", "*0100JC"},
             "temperature12h=25\ntableTempUnit=F\npressureReductionConstant=29.92\n",
             "quorvel-cli: cannot write the trace file /dev/full: No space left on device"},
        Case{"write_table_paced", [](Unit& c) { c.paced = true; }, {"write-table", "table.txt"}, 0, TableWrite, "", ""},
        // The unit is port 1, the first of the list; other ports may follow.
        Case{"ports", {}, {"ports"}, 0, {}, "1\t{device}\tCOM1 \u2192 {device}\n...", ""},
        Case{"ports_json", {}, {"ports", "--json"}, 0, {},
             "[\n  {\n    \"port\": 1,\n    \"device\": \"{device}\",\n    \"text\": \"COM1 \u2192 {device}\"\n  }...", ""},
        // Failures of the link or the unit: 1. Replies in pieces are traced whole, odd bytes escaped.
        // At another speed the unit hears only noise and stays silent.
        Case{"another_baud_rate", {}, {"--baud", "19200", "write-table", "table.txt"}, 1, {}, "", Silent,
             {"COM1 open 19200,N,8,1", "COM1 sent *0100VR\\r\\n", "COM1 time-out no reply line within 2 s", "COM1 close"}},
        Case{"hung_up", [](Unit& c) { c.faults.hangupAfter = 1, c.faults.pieces = 3, c.version = "1\t\x80\\"; }, {"detect"}, 1,
             {"*0100VR"}, "", " was disconnected. Plug it in again and repeat the operation. ",
             {"COM1 open 9600,N,8,1", "COM1 sent *0100VR\\r\\n", "COM1 recv *0001VR=P1\\x09\\x80\\\\\\r\\n",
              "COM1 sent *0100VR\\r\\n", "COM1 failure 10005 The serial device ...", "COM1 close"}},
        // JH answered after its time-out: the late line is dropped, not taken for JP's reply.
        Case{"slow_jh_late_line_dropped", [](Unit& c) { c.faults.slowMnemonic = "JH", c.faults.slowDelay = 3.5; },
             {"read-values"}, 1, {"*0100VR", "*0100JH", "*0100JP", "*0100JC"}, "",
             "Communications:  Unit is not responding or is not a Rarerizeza Rerededo!  ",
             {"COM1 open 9600,N,8,1", "COM1 sent *0100VR\\r\\n", "COM1 recv *0001VR=P1.1.0\\r\\n", "COM1 sent *0100JH\\r\\n",
              "COM1 time-out no reply line within 3 s", "COM1 sent *0100JP\\r\\n", "COM1 recv *0001JH=25\\r\\n",
              "COM1 recv *0001JP=1\\r\\n", "COM1 late *0001JH=25\\r\\n", "COM1 sent *0100JC\\r\\n",
              "COM1 recv *0001JC=29.92\\r\\n", "COM1 close"}},
        Case{"another_unit_id", [](Unit& c) { c.faults.answerAsId = "01"; }, {"read-table"}, 1, {"*0100VR"}, "",
             "Communications:  Unit detected, but at a different Unit ID.  Please verify Unit ID settings. "},
        // A table of no lines is no JSON document either, as the window's save refuses it.
        Case{"read_table_empty_json", [](Unit& c) { c.table.clear(); }, {"read-table", "--json"}, 1,
             {"*0100VR", "*0100JT001"}, "", "Info:  No Table from unit to save. "},
        // Usage: 2.
        Case{"value_refused", {}, {"write-values", "--temp", "12.5", "--unit", "R", "--constant", "1"}, 2, {}, "",
             "Quorvel Config Software: Invalid 12-hour temperature value - integers only"},
        Case{"unknown_command", {}, {"fly"}, 2, {}, "", "quorvel-cli: unknown command \"fly\" (see quorvel-cli --help)"},
        Case{"baud_not_in_list", {}, {"--baud", "1234", "detect"}, 2, {}, "",
             "quorvel-cli: --baud takes one of 300 ... 115200, not \"1234\" (see quorvel-cli --help)"},
        Case{"port_not_in_list", {}, {"--port", "32768", "detect"}, 2, {}, "",
             "quorvel-cli: --port takes one of 1 ... 99, not \"32768\" (see quorvel-cli --help)", {}, ""},
        Case{"port_as_listed", {}, {"--port", " 1", "baro", "enable"}, 0, {"*0100VR", "*0100EZ*0100PB=1"}, "", "", {},
             ""},
        Case{"device_missing", {}, {"--device", "/dev/nonexistent", "detect"}, 2, {}, "",
             "quorvel-cli: --device /dev/nonexistent: no such device (see quorvel-cli --help)", {}, ""},
        Case{"device_not_serial", {}, {"--device", "/etc/hostname", "detect"}, 2, {}, "",
             "quorvel-cli: --device /etc/hostname: /etc/hostname is not a serial device (see quorvel-cli --help)", {},
             ""},
        Case{"folder_missing", {}, {"--folder", "/x", "detect"}, 2, {}, "",
             "quorvel-cli: --folder /x: no such folder (see quorvel-cli --help)"},
        Case{"read_table_empty_name", {}, {"read-table", ""}, 2, {}, "",
             "quorvel-cli: read-table needs a FILE name, not \"\" (see quorvel-cli --help)"},
        // Files: 3. A question is answered Yes only with --yes.
        Case{"missing_table_file", {}, {"write-table", "missing.txt"}, 3, {}, "", "File:  Can't find selected file. Please verify... "},
        Case{"table_line_fails_check", {}, {"write-table", "bad.txt"}, 3, {"*0100VR"}, "",
             "Error:  Invalid table entry, line  2.  Transfer aborted."},
        Case{"trace_file_not_opened", {}, {"--trace", "/nonexistent/t.txt", "detect"}, 3, {}, "",
             "quorvel-cli: cannot open the trace file /nonexistent/t.txt: No such file or directory"},
        Case{"replace_answered_no", {}, {"read-table", "old.txt"}, 3, TwoRead, "", Replace + "No"},
        Case{"replace_answered_yes", {}, {"--yes", "read-table", "old.txt"}, 0, TwoRead, "", Replace + "Yes", {}, nullptr, Table},
        Case{"long_table_stops", {}, {"write-table", "long.txt"}, 3, {}, "", LongWarning},
        Case{"long_table_goes_on", {}, {"write-table", "long.txt", "--yes"}, 0, Long.second, "", LongWarning},
        // The defaults: port 1, 9600 baud, unit 01; else the settings file's.
        Case{"no_settings_file", {}, {"detect"}, 0, {"*0100VR", "*0100VR", "*0100JH", "*0100JP", "*0100JC"},
             "temperature12h=25\ntableTempUnit=F\npressureReductionConstant=29.92\n", "", {}, ""},
        Case{"settings_file_json", [](Unit& c) { c.id = "07", c.baud = 19200; }, {"read-values", "--json"}, 0,
             {"*0700VR", "*0700JH", "*0700JP", "*0700JC"},
             "{\n  \"temperature12h\": \"25\",\n  \"tableTempUnit\": \"F\",\n  \"pressureReductionConstant\": \"29.92\"\n}\n",
             "", {}, "2\r\n19200\r\n07\r\ntable.txt\r\n0\r\n"},
        Case{"settings_file_cut_short", {}, {"detect"}, 3, {}, "", "File:  Initial Configuration File Error!, Can't continue... ",
             {}, "1\r\n9600\r\n01\r\n\r\n"}};

// The rows of this run: all of them, or those the Windows program shares,
// with what it does otherwise.
std::vector<Case> casesOfThisRun() {
    if (!WindowsCli) return Cases;
    std::vector<Case> out;
    for (Case c : Cases) {
        const std::string name = c.name;
        // A device path (Windows names ports by number only), TMPDIR (which
        // Wine's server needs), a hang-up (Wine shows a hung-up terminal as
        // silence; the Windows errors of an unplugged adapter are mapped in
        // the Windows port's own tests).
        if (name == "baro_at_device" || name == "read_table_to_stdout_without_tmpdir" || name == "hung_up") continue;
        if (name.starts_with("device_"))
            c.err = std::regex_replace(c.err, std::regex("(--device [^:]*): .*"),
                                       "$1: Windows names serial ports by number: give --port N for COMN (see quorvel-cli --help)");
        // The port itself is the device; Wine knows no more of it than its name.
        if (name == "ports") c.out = "1\t\\\\.\\COM1\tCOM1\n...";
        if (name == "ports_json")
            c.out = "[\n  {\n    \"port\": 1,\n    \"device\": \"\\\\\\\\.\\\\COM1\",\n    \"text\": \"COM1\"\n  }...";
        out.push_back(c);
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(Commands, Cli, ::testing::ValuesIn(casesOfThisRun()),
                         [](const auto& info) { return std::string(info.param.name); });

// The unit-simulator program: a table file it cannot load ends it at once
// (2); else it serves its unit until SIGTERM, which ends it (0) and removes its link.
TEST_F(Cli, TheUnitSimulatorProgramServesUntilItIsEnded) {
    const std::string sim = (Bin / "unit-simulator").string();
    shell(dir, "for t in bad.txt missing.txt; do " + sim + " --table $t 2>/dev/null; echo $? >>rc; done; " + sim +
                   " --folder . --port 2 --id 07 --kind M --no-pace --slow JT 0.01 --table table.txt >sim.out & s=$!; "
                   "until [ -s sim.out ] || ! kill -0 $s; do sleep 0.05; done; " +
                   command(dir, {"--port", "2", "--id", "07", "read-table", "--json"}) +
                   "; echo $? >>rc; kill $s; wait $s; echo $? >>rc");
    EXPECT_EQ(dir.read("sim.out").substr(0, 7) + dir.read("rc") + dir.read("cli.out"), "port 2\n2\n2\n0\n0\n" + TableJson)
        << dir.read("cli.err");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir.file("COM2"))));
}

}  // namespace
}  // namespace qv::test
