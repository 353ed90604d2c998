// Every operation that talks to the unit, against the simulated unit with one
// fault at a time: one row per (operation, fault) with the boxes, the final
// status line, the frames and the data that must stand afterwards. A fault is
// either on from the start or switched on for one exchange only: the port
// hands each command line to the test just before it goes out, so the unit
// has the fault in place when that line arrives and drops it at the next one.
#include <fnmatch.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "support/system_faults.h"
#include "support/unit_fixture.h"

namespace qv::test {
namespace {

enum class Op { Verify, Detect, Read, Write, Baro, GetTable, SaveTable };
const char* const OpNames[] = {"Verify", "Detect", "Read", "Write", "Baro", "GetTable", "SaveTable"};
enum class PortFault { None, Missing, InUse, Denied };

struct Fault {
    std::string name;
    sim::Faults faults;
    std::string at;  // the exchange whose command holds this text; empty: from the start
    int nth = 1;     // which such exchange (0: every one)
    PortFault port = PortFault::None;
};

struct Row {
    Op op;
    Fault fault;
    std::vector<Box> boxes;  // a '*' in a text matches any characters
    std::string status;
    std::string data;  // what the operation touches, as snapshot() writes it
    std::string frames = "1111111111";
};

// Case names in ctest's list instead of the row's bytes.
void PrintTo(const Row& row, std::ostream* out) { *out << OpNames[static_cast<int>(row.op)] << "_" << row.fault.name; }

// ---- Faults -------------------------------------------------------------------
sim::Faults faults(const std::function<void(sim::Faults&)>& set) {
    sim::Faults f;
    set(f);
    return f;
}
const sim::Faults Silent = faults([](auto& f) { f.silent = true; });
const sim::Faults Garbled = faults([](auto& f) { f.garble = true; });
const sim::Faults Short = faults([](auto& f) { f.shortReply = true; });
const sim::Faults HangUp = faults([](auto& f) { f.hangupAfter = 0; });
sim::Faults delayed(double s) { return faults([=](auto& f) { f.replyDelay = s; }); }
sim::Faults echo(const std::string& v) { return faults([=](auto& f) { f.echoOverride = v; }); }

Fault fromStart(std::string name, sim::Faults f) { return {std::move(name), f, "", 1}; }
Fault at(std::string name, std::string cmd, sim::Faults f, int nth = 1) {
    return {std::move(name), f, std::move(cmd), nth};
}
Fault port(PortFault p) {
    const char* names[] = {"", "MissingDevice", "PortInUse", "PermissionDenied"};
    return {names[static_cast<int>(p)], {}, "", 1, p};
}

// ---- What the user sees ---------------------------------------------------------
const Box NoVR{" Unit is not responding.  Please verify PC and/or unit Port and/or Baud Rate. ", "Communications"};
const Box OtherId{" Unit detected, but at a different Unit ID.  Please verify Unit ID settings. ", "Communications"};
const Box BadPort{" Invalid Serial Port Number!   Please verify... ", "Port", Icon::Exclamation};
const Box InUse{" Port already in use!   Please verify... ", "Port", Icon::Exclamation};
const Box Denied{" Error  10013:  Permission denied for /dev/pts/*: only its owner \"root\" may open it. An "
                 "administrator must grant you access, for example with a udev rule for the device.",
                 "Info", Icon::Exclamation};
const Box LineDropped{" The serial device /dev/pts/* was disconnected. Plug it in again and repeat the operation. ",
                      "Port", Icon::Exclamation};
const Box NotDetected{" Unit not detected!  Check communication settings and connections. "};
const Box ErrComm{" Error communicating with unit "};
const Box NoReplyJH{" Unit is not responding or is not a Rarerizeza Rerededo!  ", "Communications"};
const Box NoReply{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Communications"};
const Box NotConfirmed{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Info"};
const Box Illegal{" Illegal table temp unit returned. "};
const Box Differs{" Value retuned is different than value set. ", "Info"};
const Box BaroNoReply{" Unit is not responding or Barometric mode is disabled.  ", "Communications"};
const Box CantWrite{" Can't write Barometric Mode. ", "Info"};
const Box Complete{"           Transfer Complete.                           ", "Information", Icon::Information};
const Box TooMany{" Table has more than 999 lines. Transfer stopped. ", "Transfer", Icon::Exclamation};
const Box ModeNoReply{" Unit is not responding. ", "Communications"};
const Box NotBaro{"Unit is not a Rarerizeza Rerededo!\nCannot transfer table to unit.\n", "Barometric Mode"};
const Box WriteNoReply{" Unit not responding. ", "Communications"};

const std::string SetupOnly = "0000000011";
const std::string Writing = "Writing config data to unit...";
const std::string ReadingJC = "Reading Pressure Reduction Constant Value from unit...";
const std::string Aborted = "Transfer aborted...";
// The window before each case; what each operation leaves when it fails before
// any exchange of its own, and when it succeeds.
const std::string Before = "before";
const std::string Untouched[] = {"ok=0 open=0", "30|2|28.5", "30|2|28.5", "1,25,29.92", "1", "rows=1 stopped=7",
                                  "|list2=1"};
const std::string Done[] = {"ok=1 open=1", "25|1|29.92", " 25|1|29.92", "2,30,28.5", "0", "rows=5",
                            "10:1.1 20:1.2|list2=0"};
const std::string DoneStatus[] = {"", "Unit detected!", "Configuration values read successfully.",
                                  "Configuration values saved successfully.", "Barometric Mode OK",
                                  "Table transferred successfully from unit.", "Table successfully transferred to unit..."};
constexpr Op UnitOps[] = {Op::Detect, Op::Read, Op::Write, Op::Baro, Op::GetTable, Op::SaveTable};

// The link check fails: each operation ends without an exchange of its own.
std::vector<Row> linkFails(const Fault& f, const Box& box, const std::string& status) {
    std::vector<Row> rows;
    for (Op op : UnitOps)
        rows.push_back({op, f, {box}, op == Op::SaveTable ? Aborted : status, Untouched[static_cast<int>(op)],
                        op == Op::Detect ? SetupOnly : "1111111111"});
    return rows;
}
Row succeeds(Op op, const Fault& f) {
    int i = static_cast<int>(op);
    std::vector<Box> boxes;
    if (op == Op::GetTable || op == Op::SaveTable) boxes = {Complete};
    return {op, f, boxes, DoneStatus[i], Done[i]};
}

std::vector<Row> allRows() {
    using enum Op;
    std::vector<Row> rows;
    auto add = [&](std::vector<Row> more) { rows.insert(rows.end(), more.begin(), more.end()); };
    add(linkFails(fromStart("SilentFromStart", Silent), NoVR, ""));
    add(linkFails(fromStart("AnswerFromAnotherId", faults([](auto& f) { f.answerAsId = "02"; })), OtherId, ""));
    add(linkFails(port(PortFault::Missing), BadPort, Before));
    add(linkFails(port(PortFault::InUse), InUse, Before));
    add(linkFails(port(PortFault::Denied), Denied, Before));
    add({{Verify, port(PortFault::Denied), {Denied}, Before, Untouched[0]}});
    for (Op op : UnitOps) add({succeeds(op, fromStart("ReplyInPieces", faults([](auto& f) { f.pieces = 3; })))});
    add({
        // Silent at one exchange after the link check.
        {Detect, at("SilentAtIdentity", "VR", Silent, 2), {NotDetected}, "", "30|2|28.5", SetupOnly},
        {Read, at("SilentAtJP", "JP", Silent), {NoReply}, ReadingJC, " 25|2|29.92"},
        {Write, at("SilentAtJP", "JP", Silent, 0), {NotConfirmed}, Writing, "1,30,28.5"},
        {Write, at("SilentAtJH", "JH", Silent), {NoReplyJH}, "", "2,25,28.5"},
        {Write, at("SilentAtJC", "JC", Silent, 0), {NotConfirmed}, Writing, "2,30,29.92"},
        {GetTable, at("SilentAtSecondJR", "JR002", Silent), {NoReply}, "", "rows=1 stopped=2"},
        {GetTable, at("SilentAtEndMarker", "JT006", Silent), {NoReply}, "", "rows=5 stopped=6"},
        {SaveTable, at("SilentAtSecondJT", "JT002", Silent), {WriteNoReply}, Aborted, "10:1.1|list2=0"},
        {SaveTable, at("SilentAtFirstJR", "JR001", Silent), {WriteNoReply}, Aborted, "10:0|list2=0"},
        // One reply 0.3 s inside or past its exchange's time limit. A late
        // write is still applied by the unit.
        succeeds(Verify, at("JustInTime", "VR", delayed(1.7))),
        {Verify, at("JustTooLate", "VR", delayed(2.3)), {NoVR}, "", Untouched[0]},
        succeeds(Detect, at("JustInTime", "JC", delayed(4.7))),
        {Detect, at("JustTooLate", "JC", delayed(5.3)), {ErrComm}, "", "25|1|28.5", SetupOnly},
        succeeds(Read, at("JustInTime", "JC", delayed(2.7))),
        {Read, at("JustTooLate", "JC", delayed(3.3)), {NoReply}, "", " 25|1|28.5"},
        succeeds(Write, at("JustInTime", "JC", delayed(2.7))),
        // Every JC line is late: the second attempt takes the first one's reply.
        succeeds(Write, at("JustTooLateThenRetried", "JC", delayed(3.3), 0)),
        succeeds(Baro, at("JustInTime", "PB", delayed(4.7))),
        {Baro, at("JustTooLate", "PB", delayed(5.3)), {BaroNoReply}, "", "0"},
        succeeds(GetTable, at("JustInTime", "JT001", delayed(1.7))),
        {GetTable, at("JustTooLate", "JT001", delayed(2.3)), {NoReply}, "", "rows=0 stopped=1"},
        succeeds(SaveTable, at("JustInTime", "PB", delayed(0.7))),
        {SaveTable, at("JustTooLate", "PB", delayed(1.3)), {ModeNoReply}, Aborted, "|list2=1"},
        // Value texts garbled (the frame intact) from the start.
        {Detect, fromStart("Garbled", Garbled), {NotDetected}, "", "30|2|28.5", SetupOnly},
        {Read, fromStart("Garbled", Garbled), {Illegal}, ReadingJC, " 0|2|\")>)\""},
        {Write, fromStart("Garbled", Garbled), {NotConfirmed, Differs, NotConfirmed}, Writing, "2,30,28.5"},
        {Baro, fromStart("Garbled", Garbled), {CantWrite}, "Writing Barometric mode...", "0"},
        // No end marker is ever recognised: the read stops at the last index.
        {GetTable, fromStart("Garbled", Garbled), {TooMany}, "", "rows=999 stopped=1000"},
        {SaveTable, fromStart("Garbled", Garbled), {NotBaro}, Aborted, "|list2=1"},
        // Replies of "*0001" CR LF from the start.
        {Detect, fromStart("ShortReply", Short), {NotDetected}, "", "30|2|28.5", SetupOnly},
        {Baro, fromStart("ShortReply", Short), {CantWrite}, "Writing Barometric mode...", "0"},
        {SaveTable, fromStart("ShortReply", Short), {NotBaro}, Aborted, "|list2=1"},
        {SaveTable,
         at("WrongEchoAtSecondJT", "JT002", echo("21")),
         {{" Value returned ( 21) does not match value sent! ( 20), can't continue... ", "Error"}},
         Aborted,
         "10:1.1 20:0|list2=0"},
        // The line drops when the command arrives.
        {Write, at("HangUpAtJH", "JH", HangUp), {LineDropped}, Writing, "2,25,29.92"},
        {GetTable, at("HangUpAtSecondJR", "JR002", HangUp), {LineDropped}, "", "rows=1 stopped=2"},
        {SaveTable, at("HangUpAtSecondJR", "JR002", HangUp), {LineDropped}, Aborted, "10:1.1 20:0|list2=0"},
    });
    return rows;
}

// ---- The fixture ----------------------------------------------------------------

// The real port; every command line is shown to beforeWrite first.
class WatchedPort : public PosixSerialPort {
public:
    using PosixSerialPort::PosixSerialPort;
    void write(const std::string& text) override {
        if (beforeWrite) beforeWrite(text);
        PosixSerialPort::write(text);
    }
    std::function<void(const std::string&)> beforeWrite;
};

// An outcome is one text, a line per box and then the rest, so that a case
// run in a child process hands it back as it is and a '*' in a row's box text
// can stand for any characters.
std::string boxLine(const std::string& text, const std::string& title, Icon icon, Buttons buttons) {
    return text + "|" + title + "|" + std::to_string(static_cast<int>(icon)) + "|" +
           std::to_string(static_cast<int>(buttons)) + "\n";
}
// What follows the boxes: the status line, the frames, the data and whether
// the port was left open and the lists as they must stay (List2 only for the
// operations that do not fill it).
std::string rest(Op op, const std::string& status, const std::string& frames, const std::string& data, bool open,
                 size_t list1, size_t list2) {
    std::string out = status + "\n" + frames + "\n" + data + "\nopen=" + std::to_string(open) +
                      " list1=" + std::to_string(list1);
    return op == Op::GetTable || op == Op::SaveTable ? out : out + " list2=" + std::to_string(list2);
}

class FaultMatrix : public FormFixtureWith<WatchedPort, FileSystem, ::testing::TestWithParam<Row>> {
protected:
    std::unique_ptr<sim::PtyUnit> unit;
    PosixSerialPort holder{dir.path()};  // another user of the port

    void SetUp() override {
        const Row& row = GetParam();
        sim::UnitConfig cfg = sim::defaultConfig();
        cfg.paced = false;
        if (row.op == Op::SaveTable) cfg.table.clear();
        if (row.fault.at.empty()) cfg.faults = row.fault.faults;
        unit = std::make_unique<sim::PtyUnit>(dir.path(), cfg);
        if (!row.fault.at.empty()) {
            port.beforeWrite = [this, &row, seen = 0](const std::string& line) mutable {
                const bool match = line.find(row.fault.at) != std::string::npos;
                const bool hit = match && (row.fault.nth == 0 || ++seen == row.fault.nth);
                unit->withModel([&](sim::UnitModel& m) { m.config().faults = hit ? row.fault.faults : sim::Faults{}; });
            };
        }
        form.Combo1.setText(std::to_string(unit->port()));
        form.Combo2.setText("9600");
        form.Combo3.setText("01");
        switch (row.fault.port) {
            case PortFault::Missing: form.Combo1.setText("250"); break;
            case PortFault::InUse:
                holder.setPortNumber(unit->port());
                holder.open();
                break;
            case PortFault::Denied:
                ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);  // the device itself stays closed
                break;
            case PortFault::None: break;
        }
        dir.write("table.txt", "10 1.1\r\n20 1.2\r\n");
        form.Text1.setText(dir.file("table.txt"));
        form.Command10_Click();
        form.List2.addItem(" 30  1.5");
        form.TableReadStoppedAt = 7;  // as after a read that stopped at line 7
        form.txt12HourTemp.setText("30");
        form.cboTableTempUnit.setListIndex(2);
        form.txtPressureReductionConstant.setText("28.5");
        form.Option4_1.setValue(true);  // "Disable"
        form.EnableFrames();
        form.Label2.setCaption(Before);
        ui.boxes.clear();
    }

    sim::UnitConfig stored() {
        sim::UnitConfig cfg;
        unit->withModel([&](sim::UnitModel& m) { cfg = m.config(); });
        return cfg;
    }

    std::string snapshot(Op op) {
        const sim::UnitConfig u = stored();
        switch (op) {
            case Op::Verify:
                return "ok=" + std::to_string(form.CommOK) + " open=" + std::to_string(port.isOpen());
            case Op::Detect:
            case Op::Read:
                return form.txt12HourTemp.text() + "|" + std::to_string(form.cboTableTempUnit.listIndex()) + "|" +
                       form.txtPressureReductionConstant.text();
            case Op::Write: return u.jp + "," + u.jh + "," + u.jc;
            case Op::Baro: return u.pb;
            case Op::GetTable:  // with the line a read stopped at, when it did
                return "rows=" + std::to_string(form.List2.listCount()) +
                       (form.TableReadStoppedAt ? " stopped=" + std::to_string(form.TableReadStoppedAt) : "");
            case Op::SaveTable: {
                std::string t;
                for (const auto& [temp, ratio] : u.table) t += (t.empty() ? "" : " ") + temp + ":" + ratio;
                return t + "|list2=" + std::to_string(form.List2.listCount());
            }
        }
        return {};
    }

    std::string run(Op op) {
        switch (op) {
            case Op::Verify: form.VerifyCommunication(); break;
            case Op::Detect: form.cmdDetectZov_Click(); break;
            case Op::Read: form.cmdReadCurrentValues_Click(); break;
            case Op::Write: form.cmdWriteValues_Click(); break;
            case Op::Baro: form.Command12_Click(); break;
            case Op::GetTable: form.Command4_Click(); break;
            case Op::SaveTable: form.Command1_Click(); break;
        }
        std::string boxes;
        for (const MessageRecord& r : ui.boxes) boxes += boxLine(r.text, r.title, r.icon, r.buttons);
        const std::string data = snapshot(op);
        if (op == Op::Verify) port.close();  // the caller's job after a verification
        std::string frames;
        for (const Frame* f : {&form.Frame1, &form.Frame2, &form.Frame4, &form.Frame5, &form.Frame7, &form.Frame8,
                               &form.Frame10, &form.Frame12, &form.Frame13, &form.Frame3})
            frames += f->enabled() ? '1' : '0';
        return boxes + rest(op, form.Label2.caption(), frames, data, port.isOpen(), form.List1.listCount(),
                            form.List2.listCount());
    }
};

TEST_P(FaultMatrix, EndsAsItsOperationMust) {
    const Row& row = GetParam();
    std::string got;
    if (row.fault.port == PortFault::Denied) {
        std::optional<std::string> text = runWithoutAccess(unit->slavePath(), [&] { return run(row.op); });
        ASSERT_TRUE(text) << "the case did not run as another user";
        got = *text;
    } else {
        got = run(row.op);
    }
    // The table file loaded stays as loaded (2 rows), List2 as it was (1 row).
    std::string wanted;
    for (const Box& b : row.boxes) wanted += boxLine(b.text, b.title, b.icon, Buttons::OK);
    wanted += rest(row.op, row.status, row.frames, row.data, false, 2, 1);
    EXPECT_EQ(::fnmatch(wanted.c_str(), got.c_str(), FNM_NOESCAPE), 0) << "got:\n" << got << "\nwanted:\n" << wanted;

    // The port and the unit are usable again: a read with the fault gone gets
    // the unit's own values, with no late reply of this case in between.
    if (row.fault.port == PortFault::Denied || row.fault.faults.hangupAfter >= 0) return;
    holder.close();
    port.beforeWrite = nullptr;
    unit->withModel([](sim::UnitModel& m) { m.config().faults = {}; });
    const double late = row.fault.faults.replyDelay;
    if (late > 0) std::this_thread::sleep_for(std::chrono::duration<double>(row.fault.nth == 0 ? late + 0.2 : 0.5));
    form.Combo1.setText(std::to_string(unit->port()));
    ui.boxes.clear();
    form.cmdReadCurrentValues_Click();
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
    EXPECT_EQ(form.Label2.caption(), "Configuration values read successfully.");
    EXPECT_EQ(form.txt12HourTemp.text(), " " + stored().jh);
    EXPECT_FALSE(port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(allRows()), [](const auto& info) {
    return std::string(OpNames[static_cast<int>(info.param.op)]) + "_" + info.param.fault.name;
});

}  // namespace
}  // namespace qv::test
