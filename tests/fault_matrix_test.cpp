// Every operation that talks to the unit, against the simulated unit with one
// fault at a time: one row per (operation, fault) with the boxes, the final
// status line and the data that must stand afterwards. A fault is either on
// from the start or switched on for one exchange only: the port hands each
// command line to the test just before it goes out, so the unit has the fault
// in place when that line arrives and drops it at the next one. Closing the
// window comes when the status line first shows a given text. The rows run
// on each line the platform has (support/unit_line.h); those with a fault of
// a real device only on a line that has one.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string_view>
#include <thread>

#include "support/form_fixture.h"
#include "support/unit_line.h"

namespace qv::test {
namespace {

enum class Op { Verify, Detect, Read, Write, Baro, GetTable, SaveTable };
using enum Op;
const char* const OpNames[] = {"Verify", "Detect", "Read", "Write", "Baro", "GetTable", "SaveTable"};
enum class PortFault { None, Missing, BadNumber, NoId };
using enum PortFault;

// A fault: the unit's faults, from the start or at the nth exchange (0: every
// one) whose command holds `at`; or a fault of the port settings or of a real
// device; or `close` (1, 2: the user closes the window answering No, Yes; 3:
// unasked; 4: the system closes it) when the status line starts with `at`.
struct Fault { std::string name; sim::Faults faults = {}; std::string at = ""; int nth = 1, close = 0; PortFault port = None;
               DeviceFault device = DeviceFault::None; };  // a device fault: the row needs a real device
// A row: the boxes and the status (a '*' matches any characters), the data the
// operation touches as snapshot() writes it, the table file loaded (empty:
// none) and its content when the operation runs (empty: as loaded; "-":
// removed), and whether the data ends with the progress bar's highest value.
struct Row {
    Op op;
    Fault fault;
    std::vector<Box> boxes;
    std::string status, data, file = "10 1.1\r\n20 1.2\r\n", now = "";
    bool bar = false;
};

struct Case { Row row; UnitLineKind line; };  // a row on one kind of line
void PrintTo(const Case& c, std::ostream* out) { *out << c.line.name << "_" << OpNames[int(c.row.op)] << "_" << c.row.fault.name; }

sim::Faults with(auto set) {  // no faults but those that set switches on
    sim::Faults f;
    return set(f), f;
}
sim::Faults late(double s) { return with([=](auto& f) { f.replyDelay = s; }); }
const sim::Faults Silent = with([](auto& f) { f.silent = true; }), Garbled = with([](auto& f) { f.garble = true; });
const sim::Faults Short = with([](auto& f) { f.shortReply = true; }), HangUp = with([](auto& f) { f.hangupAfter = 0; });
Fault at(std::string name, std::string cmd, sim::Faults f, int nth = 1) { return {name, f, cmd, nth}; }
Fault port(const char* name, PortFault p) { return {name, {}, "", 1, 0, p}; }
Fault device(const char* name, DeviceFault d, sim::Faults f = {}) { return {name, f, "", 1, 0, PortFault::None, d}; }
Fault closes(const char* name, std::string status, int how) { return {name, {}, status, 1, how}; }

const Box NoVR{" Unit is not responding.  Please verify PC and/or unit Port and/or Baud Rate. ", "Communications"};
const Box NotDetected{" Unit not detected!  Check communication settings and connections. "};
const Box NoReply{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Communications"};
const Box NotConfirmed{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Info"};
const Box CantWrite{" Can't write Barometric Mode. ", "Info"}, WriteNoReply{" Unit not responding. ", "Communications"};
const Box NotBaro{"Unit is not a Rarerizeza Rerededo!\nCannot transfer table to unit.\n", "Barometric Mode"};
const Box Question{" Values are still being written to the unit.  Closing now leaves the unit partly written.  "
                   "Close anyway? ", AppTitle, Icon::Exclamation};
const Box Complete{"           Transfer Complete.                           ", "Information", Icon::Information};
const Box Dropped{" The serial device * was disconnected. Plug it in again and repeat the operation. ",
                  "Port", Icon::Exclamation};
const Box DeniedBox{" Error  10013:  Permission denied for /dev/pts/*: only its owner \"root\" may open it. An "
                    "administrator must grant you access, for example with a udev rule for the device.",
                    "Info", Icon::Exclamation};
Box error(const std::string& text, Icon icon = Icon::None) { return {text, "Error", icon}; }
Box ex(const std::string& text, const std::string& title) { return {text, title, Icon::Exclamation}; }
Box differs(const std::string& got, const std::string& sent) {
    return error(" Value returned (" + got + ") does not match value sent! (" + sent + "), can't continue... ");
}

const std::string Writing = "Writing config data to unit...", Aborted = "Transfer aborted...";
const std::string ReadingJC = "Reading Pressure Reduction Constant Value from unit...";
const std::string Baroing = "Writing Barometric mode...";
// What each operation leaves when it fails before any exchange of its own, and
// when it succeeds.
const std::string Untouched[] = {"ok=0 open=0", "30|2|28.5", "30|2|28.5", "1,25,29.92", "1", "rows=1 stopped=7", "|list2=1"};
const std::string Done[] = {"ok=1 open=1 9600,N,8,1 01|*|9600 port=1", "25|1|29.92", " 25|1|29.92", "2,30,28.5", "0",
                            "rows=5", "10:1.1 20:1.2|list2=0"};
const std::string DoneStatus[] = {"", "Unit detected!", "Configuration values read successfully.",
                                  "Configuration values saved successfully.", "Barometric Mode OK",
                                  "Table transferred successfully from unit.", "Table successfully transferred to unit..."};

std::vector<Row> allRows() {
    std::vector<Row> rows;
    auto succeeds = [&](Op op, const Fault& f) {
        rows.push_back({op, f, std::vector(op >= GetTable ? 1 : 0, Complete), DoneStatus[int(op)], Done[int(op)]});
    };
    // The link check fails: each operation ends without an exchange of its own.
    for (Op op : {Detect, Read, Write, Baro, GetTable, SaveTable}) {
        rows.push_back({op, {"SilentFromStart", Silent}, {NoVR}, op == SaveTable ? Aborted : "", Untouched[int(op)]});
        succeeds(op, {"ReplyInPieces", with([](auto& f) { f.pieces = 3; })});
    }
    const Box otherId{" Unit detected, but at a different Unit ID.  Please verify Unit ID settings. ", "Communications"};
    auto verify = [](Fault f, Box box, std::string status = "before") { return Row{Verify, f, {box}, status, Untouched[0]}; };
    // One reply 0.3 s inside or past its exchange's time limit. A late write
    // is still applied by the unit.
    auto timing = [&](Op op, const std::string& cmd, double limit, const Box& box, std::string status, std::string data) {
        succeeds(op, at("JustInTime", cmd, late(limit - 0.3)));
        rows.push_back({op, at("JustTooLate", cmd, late(limit + 0.3)), {box}, status, data});
    };
    timing(Verify, "VR", 2, NoVR, "", Untouched[0]);
    timing(Detect, "JC", 5, {" Error communicating with unit "}, "", "25|1|28.5");
    timing(Read, "JC", 3, NoReply, "", " 25|1|28.5");
    timing(Baro, "PB", 5, {" Unit is not responding or Barometric mode is disabled.  ", "Communications"}, "", "0");
    timing(GetTable, "JT001", 2, NoReply, "", "rows=0 stopped=1");
    timing(SaveTable, "PB", 1, {" Unit is not responding. ", "Communications"}, Aborted, "|list2=1");
    succeeds(Write, at("JustInTime", "JC", late(2.7)));
    // The second attempt takes the first's reply: it names the same command.
    succeeds(Write, at("JustTooLateThenRetried", "JC", late(3.3), 0));
    // A unit answers in order, so a late reply comes before the next
    // command's: it is dropped, never taken for that command's reply. JH
    // late: JP and JC read right. Every JP echo late: the retry takes the
    // first, the JH write meets the second.
    rows.push_back({Read, at("SlowJH", "JH", late(3.5)),
                    {{" Unit is not responding or is not a Rarerizeza Rerededo!  ", "Communications"}}, ReadingJC,
                    "30|1|29.92"});
    succeeds(Write, at("SlowJPRetried", "JP", late(3.3), 0));
    rows.insert(rows.end(), {
        verify({"AnswerFromAnotherId", with([](auto& f) { f.answerAsId = "02"; })}, otherId, ""),
        verify(device("PortInUse", DeviceFault::InUse), ex(" Port already in use!   Please verify... ", "Port")),
        verify(port("MissingDevice", Missing), ex(" Invalid Serial Port Number!   Please verify... ", "Port")),
        // Another program holds the device open without locking it: the status line names it.
        verify(device("OtherReader", DeviceFault::Reader, with([](auto& f) { f.answerAsId = "02"; })), otherId,
               "/dev/pts/* is also open in process * (sleep)"),
        verify(device("PermissionDenied", DeviceFault::Denied), DeniedBox),
        verify(port("PortNumberNoNumber", BadNumber), ex(" Error  13:  Type mismatch", "Info")),
        verify(port("NoUnitId", NoId), error("Must supply value for COM port, baud rate, and ID.", Icon::Stop)),
        verify(at("HangUpAtVR", "VR", HangUp), ex(" Error  10005:  The serial device *", "Info"), "Verifying Communication...."),
        // Silent at one exchange after the link check.
        {Detect, at("SilentAtIdentity", "VR", Silent, 2), {NotDetected}, "", "30|2|28.5"},
        {Read, at("SilentAtJP", "JP", Silent), {NoReply}, ReadingJC, " 25|2|29.92"},
        {Write, at("SilentAtJP", "JP", Silent, 0), {NotConfirmed}, Writing, "1,30,28.5"},
        {Write, at("SilentAtJH", "JH", Silent), {{" Unit is not responding or is not a Rarerizeza Rerededo!  ",
         "Communications"}}, "", "2,25,28.5"},
        {Write, at("SilentAtJC", "JC", Silent, 0), {NotConfirmed}, Writing, "2,30,29.92"},
        {GetTable, at("SilentAtSecondJR", "JR002", Silent), {NoReply}, "", "rows=1 stopped=2"},
        {GetTable, at("SilentAtEndMarker", "JT006", Silent), {NoReply}, "", "rows=5 stopped=6"},
        {SaveTable, at("SilentAtSecondJT", "JT002", Silent), {WriteNoReply}, Aborted, "10:1.1|list2=0"},
        {SaveTable, at("SilentAtFirstJR", "JR001", Silent), {WriteNoReply}, Aborted, "10:0|list2=0"},
        // Value texts garbled (the frame intact) from the start.
        {Detect, {"Garbled", Garbled}, {NotDetected}, "", "30|2|28.5"},
        {Read, {"Garbled", Garbled}, {{" Illegal table temp unit returned. "}}, ReadingJC, " 0|2|\")>)\""},
        {Write, {"Garbled", Garbled}, {NotConfirmed, {" Value retuned is different than value set. ", "Info"},
         NotConfirmed}, Writing, "2,30,28.5"},
        {Baro, {"Garbled", Garbled}, {CantWrite}, Baroing, "0"},
        // A value that is no number stops the read at its line; the rows before stay.
        {GetTable, {"Garbled", Garbled}, {ex(" The unit's reply for table line 1 is not a number: \"*0001JT001==$ \".  "
         "Transfer stopped. ", "Transfer")}, "", "rows=0 stopped=1"},
        {GetTable, at("GarbledAtThirdJR", "JR003", Garbled), {ex(" The unit's reply for table line 3 is not a number: "
         "\"*0001JR003=!\".  Transfer stopped. ", "Transfer")}, "", "rows=2 stopped=3"},
        {GetTable, at("ShortAtSecondJT", "JT002", Short), {ex(" The unit's reply for table line 2 is not a number: "
         "\"*0001\".  Transfer stopped. ", "Transfer")}, "", "rows=1 stopped=2"},
        {SaveTable, {"Garbled", Garbled}, {NotBaro}, Aborted, "|list2=1"},
        // Replies of "*0001" CR LF from the start.
        {Detect, {"ShortReply", Short}, {NotDetected}, "", "30|2|28.5"},
        {Baro, {"ShortReply", Short}, {CantWrite}, Baroing, "0"},
        {SaveTable, {"ShortReply", Short}, {NotBaro}, Aborted, "|list2=1"},
        {SaveTable, at("WrongEchoAtSecondJT", "JT002", with([](auto& f) { f.echoOverride = "21"; })),
         {differs(" 21", " 20")}, Aborted, "10:1.1 20:0|list2=0"},
        // The line drops when the command arrives.
        {Write, at("HangUpAtJH", "JH", HangUp), {Dropped}, Writing, "2,25,29.92"},
        {GetTable, at("HangUpAtSecondJR", "JR002", HangUp), {Dropped}, "", "rows=1 stopped=2"},
        {SaveTable, at("HangUpAtSecondJR", "JR002", HangUp), {Dropped}, Aborted, "10:1.1 20:0|list2=0"},
        // The window is closed while the operation waits for the unit: a write
        // asks first, a read ends at once (between two lines, or while the unit
        // is asked).
        {SaveTable, closes("CloseAnsweredNo", "Sending: *0100EW*0100JT002", 1), {Question, Complete},
         DoneStatus[int(SaveTable)], Done[int(SaveTable)]},
        {SaveTable, closes("CloseAnsweredYes", "Sending: *0100EW*0100JT002", 2), {Question}, "*", "10:1.1 20:0|list2=0"},
        {SaveTable, closes("ClosedBySignal", "Sending: *0100EW*0100JT002", 4), {}, "*", "10:1.1 20:0|list2=0"},
        {Write, closes("CloseAnsweredNo", Writing, 1), {Question}, DoneStatus[int(Write)], Done[int(Write)]},
        {Baro, closes("CloseAnsweredYes", Baroing, 2), {Question}, "*", "0"},
        {GetTable, closes("Closed", "Received :*0001JR002", 3), {}, "*", "rows=2 stopped=3"},
        {Read, closes("Closed", "Reading Table Temperature Units Value from unit...", 3), {}, "*", " 25|2|28.5"},
    });
    // The table file, as loaded and as it is at the write (the checks of the
    // whole file come before anything is sent and leave List2; the write pass
    // reads the file again, counts the data lines and leaves the unit with
    // what was written before a refusal), and the echoes of a healthy unit.
    // The progress bar was sized for the lines loaded and never goes beyond
    // its end.
    auto write = [&](const char* name, std::string file, Box box, std::string data, std::string now = "",
                     std::string echo = "") {
        const std::string status = box == Complete ? DoneStatus[int(SaveTable)] : Aborted;
        const Fault fault{name, with([&](auto& f) { f.echoOverride = echo; })};
        rows.push_back({SaveTable, fault, {box}, status, data, file, now, true});
    };
    auto notNumber = [](std::string what, int line) {
        return error(" Non-numeric " + what + " value detected, line  " + std::to_string(line) + ".  Transfer aborted.");
    };
    std::string lines1000, comments6;
    for (int i = 0; i < 1000; ++i) lines1000 += "1 2\r\n", comments6 += i < 6 ? "*\r\n" : "";
    // The file must still hold what List1 shows, and hold a table at all.
    const Box changed = ex(" The table file *table.txt has changed since it was loaded.  Load it again before saving it "
                           "to the unit. ", "File");
    write("FileGrownSinceLoading", "1 2\r\n", changed, "|list2=1 bar=0", "1 2\r\n3 4\r\n5 6\r\n");
    write("FileEditedSinceLoading", "*\r\n1 2\r\n", changed, "|list2=1 bar=0", "*\r\n1 3\r\n");
    write("CommentsOnlySinceLoading", "1 2\r\n", changed, "|list2=1 bar=0", "* only a comment\r\n\r\n   \r\n");
    write("BlankLinesOnly", "* only a comment\r\n\r\n   \r\n", ex(" No Table from File to transfer. ", "Info"),
          "|list2=1 bar=0");
    write("HeaderEditedSinceLoading", "* a\r\n1 2\r\n", Complete, "1:2|list2=0 bar=1", "* b\r\n\r\n1 2\r\n");
    write("EchoEqualInValue", "20 20\r\n", Complete, "20:20|list2=0 bar=1", "", "20.000");
    write("NoTableLoaded", "", ex(" No Table from File to transfer. ", "Info"), "|list2=1 bar=0");
    write("TableFileGone", "20 1.0\r\n", ex(" The table file *table.txt was moved or deleted since it was loaded.  Load a "
          "table file again before saving it to the unit. ", "File"), "|list2=1 bar=0", "-");
    write("Over999Lines", lines1000, ex(" Table has more than 999 lines.  Transfer aborted. ", "Error"), "|list2=1 bar=0");
    write("MalformedLine7", comments6 + "12\r\n20 1.0\r\n", ex(" Invalid table entry, line  7.  Transfer aborted.", "Error"),
          "|list2=1 bar=0");
    // A field that is no number, or whose text the unit could not echo back
    // whole, stops the write before anything is sent.
    write("TemperatureLine2", "*\r\n*\r\n*\r\n\r\n20 1.0\r\nabc 1.0\r\n", notNumber("temperature", 2), "|list2=1 bar=0");
    write("RatioOfDataLine1", "* x\r\n3 x1\r\n", notNumber("ratio", 1), "|list2=1 bar=0");
    write("TemperatureBeyondADouble", "1E400 1.0\r\n", notNumber("temperature", 1), "|list2=1 bar=0");
    write("TemperatureTooLongToEcho", "1 1\r\n99999999999999999999 1.0\r\n", notNumber("temperature", 2), "|list2=1 bar=0");
    write("RatioTooLongToEcho", "1 1.01234567891\r\n", notNumber("ratio", 1), "|list2=1 bar=0");
    write("EchoThatDiffers", "1.0123 1.01234\r\n5 6\r\n", differs(" 1.0123", " 1.01234"), "1.0123:1.01234|list2=0 bar=1",
          "", "1.0123");
    // An echo without a number confirms nothing, not even a 0.
    write("EchoWithoutANumber", "0 1\r\n", differs("abc", " 0"), "0:0|list2=0 bar=1", "", "abc");
    return rows;
}

// The port of the line, which it owns; every command line is shown to beforeWrite first.
struct WatchedPort : SerialPort {
    explicit WatchedPort(const std::string&) {}
    std::unique_ptr<UnitLine> line;
    std::function<void(const std::string&)> beforeWrite = [](const std::string&) {};

    SerialPort& to() const { return line->port(); }
    void setPortNumber(int n) override { to().setPortNumber(n); }
    int portNumber() const override { return to().portNumber(); }
    void setSettings(const std::string& s) override { to().setSettings(s); }
    const std::string& settings() const override { return to().settings(); }
    void open() override { to().open(); }
    void close() override { to().close(); }
    bool isOpen() const override { return to().isOpen(); }
    void write(const std::string& text) override { beforeWrite(text), to().write(text); }
    std::string readAvailable() override { return to().readAvailable(); }
    bool waitReadable(int ms) override { return to().waitReadable(ms); }
    std::string otherUsers() const override { return to().otherUsers(); }
};

// True when text matches pattern, in which '*' stands for any characters.
bool matches(std::string_view pattern, std::string_view text) {
    const size_t star = pattern.find('*');
    if (star == std::string_view::npos) return pattern == text;
    if (text.substr(0, star) != pattern.substr(0, star)) return false;
    for (size_t i = star; i <= text.size(); ++i)
        if (matches(pattern.substr(star + 1), text.substr(i))) return true;
    return false;
}

std::string boxLine(const std::string& text, const std::string& title, Icon icon, Buttons buttons) {
    return text + "|" + title + "|" + std::to_string(int(icon)) + "|" + std::to_string(int(buttons)) + "\n";
}

struct FaultMatrix : FormFixtureWith<WatchedPort, FileSystem, ::testing::TestWithParam<Case>> {
    UnitLine* unit = nullptr;  // owned by the port
    int highest = 0;           // the progress bar's highest value

    void SetUp() override {
        const Row& row = GetParam().row;
        const Fault& f = row.fault;
        sim::UnitConfig cfg = sim::defaultConfig();
        cfg.paced = false;
        if (row.op == SaveTable) cfg.table.clear();
        if (f.at.empty()) cfg.faults = f.faults;
        port.line = GetParam().line.make(dir.path(), cfg), unit = port.line.get();
        if (!f.at.empty() && !f.close)
            port.beforeWrite = [this, &f, seen = 0](const std::string& line) mutable {
                const bool hit = line.find(f.at) != std::string::npos && (f.nth == 0 || ++seen == f.nth);
                unit->withModel([&](sim::UnitModel& m) { m.config().faults = hit ? f.faults : sim::Faults{}; });
            };
        form.Combo1.setText(f.port == Missing ? "250" : f.port == BadNumber ? "x" : std::to_string(unit->number()));
        form.Combo2.setText("9600"), form.Combo3.setText(f.port == NoId ? "" : "01");
        if (!row.file.empty()) dir.write("table.txt", row.file), form.Text1.setText(dir.file("table.txt"));
        form.Command10_Click();
        if (row.now == "-") std::filesystem::remove(dir.file("table.txt"));
        if (row.now.size() > 1) dir.write("table.txt", row.now);
        form.List2.addItem(" 30  1.5"), form.TableReadStoppedAt = 7;  // as after a read that stopped at line 7
        form.txt12HourTemp.setText("30"), form.cboTableTempUnit.setListIndex(2);
        form.txtPressureReductionConstant.setText("28.5"), form.Option4_1.setValue(true);  // "Disable"
        form.EnableFrames(), form.Label2.setCaption("before"), ui.boxes.clear();
        if (f.close == 1 || f.close == 2) ui.answerNextQuestion(f.close == 1 ? Answer::No : Answer::Yes);
        ui.onBox = [this](const MessageRecord&) { highest = std::max(highest, form.ProgressBar1.value()); };
        ui.onEvents = [this, &f, closed = false]() mutable {
            highest = std::max(highest, form.ProgressBar1.value());
            if (!f.close || closed || !form.Label2.caption().starts_with(f.at)) return;
            closed = true;
            EXPECT_FALSE(form.requestClose(f.close == 4 ? CloseRequest::Forced : CloseRequest::User));
        };
    }

    std::string snapshot(Op op) {
        sim::UnitConfig u;
        unit->withModel([&](sim::UnitModel& m) { u = m.config(); });
        std::string t;
        switch (op) {
            case Verify:  // with the settings a check that passed took over
                t = " " + port.settings() + " " + form.UnitID + "|" + form.PortNumber + "|" + form.BaudRate;
                return "ok=" + std::to_string(form.CommOK) + " open=" + std::to_string(port.isOpen()) +
                       (form.CommOK ? t + " port=" + std::to_string(port.portNumber() == unit->number()) : "");
            case Detect: case Read:
                return form.txt12HourTemp.text() + "|" + std::to_string(form.cboTableTempUnit.listIndex()) + "|" +
                       form.txtPressureReductionConstant.text();
            case Write: return u.jp + "," + u.jh + "," + u.jc;
            case Baro: return u.pb;
            case GetTable:  // with the line a read stopped at, when it did
                t = form.TableReadStoppedAt ? " stopped=" + std::to_string(form.TableReadStoppedAt) : "";
                return "rows=" + std::to_string(form.List2.listCount()) + t;
            case SaveTable:
                for (const auto& [temp, ratio] : u.table) t += (t.empty() ? "" : " ") + temp + ":" + ratio;
                t += "|list2=" + std::to_string(form.List2.listCount());
                return GetParam().row.bar ? t + " bar=" + std::to_string(highest) : t;
        }
        return {};
    }

    // An outcome is one text, a line per box and then the status line, the
    // frames, the data, whether the port was left open and the window busy
    // and the progress bar, so that a case run in a child process hands it
    // back as it is. A progress bar value beyond its end throws. A window that
    // is closing stays as it was; the unit first takes in the last line sent.
    std::string run(Op op) {
        Button* const buttons[] = {nullptr, &form.cmdDetectZov, &form.cmdReadCurrentValues, &form.cmdWriteValues,
                                   &form.Command12, &form.Command4, &form.Command1};
        if (op == Verify) form.VerifyCommunication();
        if (op != Verify && !buttons[int(op)]->press()) return "not pressed";
        std::string out;
        for (const MessageRecord& r : ui.boxes) out += boxLine(r.text, r.title, r.icon, r.buttons);
        out += form.Label2.caption() + "\n";
        if (form.closing()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        out += (form.closing() ? "" : frames()) + "\n" + snapshot(op);
        if (op == Verify) port.close();  // the caller's job after a verification
        return out + "\nopen=" + std::to_string(port.isOpen()) + " busy=" + std::to_string(form.busy()) +
               (form.closing() ? " closing" : " bar=" + std::to_string(form.ProgressBar1.value()));
    }
};

// A failed detection leaves only the set-up frames enabled.
TEST_P(FaultMatrix, EndsAsItsOperationMust) {
    const Row& row = GetParam().row;
    const std::string got = unit->run(row.fault.device, [&] { return run(row.op); }).value_or("not run");
    std::string wanted;
    for (const Box& b : row.boxes) wanted += boxLine(b.text, b.title, b.icon, b == Question ? Buttons::YesNo : Buttons::OK);
    const bool closing = row.fault.close > 1;
    const std::string frames = closing ? "" : row.op == Detect && !row.boxes.empty() ? "0000000011" : "1111111111";
    wanted += row.status + "\n" + frames + "\n" + row.data + "\nopen=0 busy=0" + (closing ? " closing" : " bar=0");
    EXPECT_TRUE(matches(wanted, got)) << "got:\n" << got << "\nwanted:\n" << wanted;
}

// Every row on every line of this platform that can have its fault.
std::vector<Case> allCases() {
    std::vector<Case> cases;
    for (const UnitLineKind& line : unitLines())
        for (const Row& row : allRows())
            if (line.realDevice || row.fault.device == DeviceFault::None) cases.push_back({row, line});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(allCases()),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

}  // namespace
}  // namespace qv::test
