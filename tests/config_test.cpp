// "Detect Unit", "Get Current Values From Unit", "Save Displayed Values To
// Unit" and the barometric mode write against a simulated unit over a pseudo
// terminal. Silent, late, garbled and short replies and a line that drops at
// each exchange are the fault matrix's; here are the lines on the wire, the
// value checks and the replies only a scripted peer gives.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cmath>
#include <sstream>

#include "support/locale.h"
#include "support/unit_fixture.h"

namespace qv::test {
namespace {

using Lines = std::vector<std::string>;
const Box NotDetected{" Unit not detected!  Check communication settings and connections. "};
const Box ErrComm{" Error communicating with unit "};
const Box IllegalUnit{" Illegal table temp unit returned. "};
const Box NoReplyJh{" Unit is not responding or is not a Rarerizeza Rerededo!  ", "Communications"};
const Box NoReply{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Communications"};
const Box NotConfirmed{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Info"};
const Box Differs{" Value retuned is different than value set. ", "Info"};
const Box TempRefused{" 12 H Temperature Value Not Set or Not in Table. ", "Transfer"};
const std::string SetupOnly = "0000000011";  // after a failed detection
const std::string AllFrames = "1111111111";
const std::string ReadOk = "Configuration values read successfully.";
const std::string ReadingJc = "Reading Pressure Reduction Constant Value from unit...";
const std::string SavedOk = "Configuration values saved successfully.";
const std::string Writing = "Writing config data to unit...";

// The three value boxes as "temperature|unit position|constant".
std::string shown(const MainForm& f) {
    return f.txt12HourTemp.text() + "|" + std::to_string(f.cboTableTempUnit.listIndex()) + "|" +
           f.txtPressureReductionConstant.text();
}
void show(MainForm& f, int position, const std::string& temp, const std::string& constant) {
    f.cboTableTempUnit.setListIndex(position);
    f.txt12HourTemp.setText(temp);
    f.txtPressureReductionConstant.setText(constant);
}

class ConfigScripted : public ScriptedFixture {};

class Config : public UnitFixture {
protected:
    // The lines the unit got, without the link checks.
    Lines writesSeen() {
        Lines out;
        for (const std::string& l : unitReceived())
            if (l != "*0100VR") out.push_back(l);
        return out;
    }
};

// ---- Detect Unit ------------------------------------------------------------

class DetectKind : public Config, public ::testing::WithParamInterface<char> {};

TEST_P(DetectKind, AcceptsTheUnitAndFillsTheConfiguration) {
    startUnitWith([&](sim::UnitConfig& c) { c.id = "07", c.kind = GetParam(), c.jh = "-40", c.jp = "2.7", c.jc = "29.921"; });
    form.defaultButton = &form.cmdDetectZov;
    show(form, 0, "old", "old");
    std::string framesDuring;
    ui.onEvents = [&] { if (form.CommOK == 1 && framesDuring.empty()) framesDuring = frames(); };
    form.cmdDetectZov_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(unitReceived(), (Lines{"*0700VR", "*0700VR", "*0700JH", "*0700JP", "*0700JC"}));
    EXPECT_EQ(shown(form), "-40|2|29.921");  // as received; 2.7 rounds down
    EXPECT_EQ(form.Label2.caption(), "Unit detected!");
    EXPECT_EQ(framesDuring, "0000000001");
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_EQ(form.defaultButton, nullptr);  // Enter no longer detects
    EXPECT_FALSE(port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(KnownKinds, DetectKind, ::testing::Values('P', 'M', 'X'));

// One reply the simulated unit does not give, the others as a unit of kind P
// gives them. The identity is the first nine characters compared; a reply too
// short to carry a value text ends the detection as a missing one; a table
// unit outside the list is refused. Each keeps what the boxes showed.
struct DetectRow {
    const char* mnemonic;
    const char* reply;
    std::vector<Box> boxes;
    size_t sent;  // VR twice, then JH, JP, JC
    const char* shown;
};

void PrintTo(const DetectRow& r, std::ostream* out) { *out << r.mnemonic << " " << ::testing::PrintToString(r.reply); }

class DetectReply : public ScriptedFixture, public ::testing::WithParamInterface<DetectRow> {};

TEST_P(DetectReply, EndsTheDetectionWhereItFails) {
    const DetectRow& row = GetParam();
    startPeer();
    script = [&](const std::string& line) -> std::string {
        const std::string m = line.substr(5);
        if (m == row.mnemonic && (m != "VR" || lines.size() == 2)) return row.reply;
        if (m == "VR") return lines.size() == 1 ? "*0001VR=1\r\n" : "*0001VR=P1.1.0\r\n";
        return m == "JH" ? "*0001JH=25\r\n" : m == "JP" ? "*0001JP=1\r\n" : m == "JC" ? "*0001JC=29.92\r\n" : "";
    };
    show(form, 1, "old", "old");
    form.cmdDetectZov_Click();
    EXPECT_EQ(boxes(), row.boxes);
    const Lines all{"*0100VR", "*0100VR", "*0100JH", "*0100JP", "*0100JC"};
    EXPECT_EQ(lines, Lines(all.begin(), all.begin() + row.sent));
    EXPECT_EQ(shown(form), row.shown);
    EXPECT_EQ(form.Label2.caption(), row.boxes.empty() ? "Unit detected!" : "");
    EXPECT_EQ(frames(), row.boxes.empty() ? AllEnabled : SetupOnly);
    EXPECT_FALSE(port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Replies, DetectReply, ::testing::Values(
    DetectRow{"VR", "*0001vr=p\r\n", {NotDetected}, 2, "old|1|old"},
    DetectRow{"VR", "*0002VR=P\r\n", {NotDetected}, 2, "old|1|old"},
    DetectRow{"VR", "*0001VR=\r\n", {NotDetected}, 2, "old|1|old"},
    DetectRow{"VR", "*0001VR=Q1.1.0\r\n", {NotDetected}, 2, "old|1|old"},
    DetectRow{"VR", "*0001VR=Mrest\r\n", {}, 5, "25|1|29.92"},
    DetectRow{"JH", "*0001\r\n", {ErrComm}, 3, "old|1|old"},
    DetectRow{"JH", "\n", {ErrComm}, 3, "old|1|old"},
    DetectRow{"JP", "*0001\r\n", {ErrComm}, 4, "25|1|old"},
    DetectRow{"JC", "*0001JC\r\n", {ErrComm}, 5, "25|1|old"},
    DetectRow{"JP", "*0001JP=3\r\n", {IllegalUnit}, 4, "25|1|old"},
    DetectRow{"JP", "*0001JP=-0.5\r\n", {IllegalUnit}, 4, "25|1|old"},
    DetectRow{"JP", "*0001JP=abc\r\n", {IllegalUnit}, 4, "25|1|old"}));

// ---- Get Current Values From Unit -------------------------------------------

// One query per value, with the frames off. The 12-hour value must lie
// strictly between -10000 and 100000; the table unit is the reply's ninth
// character alone. A value refused is reported on its own and the next one is
// read regardless. Short replies ("*0001" CR LF) are never read beyond their
// end: JH reads as 0, JP has no ninth character and JC, with no value text at
// all, counts as no reply.
struct ReadRow {
    const char* jh;
    const char* jp;
    bool shortReplies;
    std::vector<Box> boxes;
    const char* shown;
    std::string status;
};

void PrintTo(const ReadRow& r, std::ostream* out) { *out << r.jh << " / " << r.jp << (r.shortReplies ? " short" : ""); }

class ReadValue : public Config, public ::testing::WithParamInterface<ReadRow> {};

TEST_P(ReadValue, IsShownOnlyWhenValid) {
    const ReadRow& row = GetParam();
    startUnitWith([&](sim::UnitConfig& c) { c.jh = row.jh, c.jp = row.jp, c.faults.shortReply = row.shortReplies; });
    show(form, 1, "before", "before");
    std::string framesDuring;
    ui.onEvents = [&] {
        if (form.Label2.caption() == "Reading 12-hour temperature value from unit...") framesDuring = frames();
    };
    form.cmdReadCurrentValues_Click();
    EXPECT_EQ(boxes(), row.boxes);
    EXPECT_EQ(unitReceived(), (Lines{"*0100VR", "*0100JH", "*0100JP", "*0100JC"}));
    EXPECT_EQ(framesDuring, "0000000000");
    EXPECT_EQ(shown(form), row.shown);
    EXPECT_EQ(form.Label2.caption(), row.status);
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Values, ReadValue, ::testing::Values(
    ReadRow{"-9999", "1", false, {}, "-9999|1|29.92", ReadOk},
    ReadRow{"99999.5", "12", false, {}, " 99999.5|1|29.92", ReadOk},
    ReadRow{"0", "0", false, {}, " 0|0|29.92", ReadOk},
    ReadRow{"12345.678912", "2", false, {}, " 12345.6789|2|29.92", ReadOk},
    ReadRow{"-10000", "3", false, {TempRefused, IllegalUnit}, "before|1|29.92", ReadingJc},
    ReadRow{"100000", "x", false, {TempRefused, IllegalUnit}, "before|1|29.92", ReadingJc},
    ReadRow{"25", "1", true, {IllegalUnit, NoReply}, " 0|1|before", ""}));

// JH and JP get no reply (two 3 s waits): each is reported on its own, the
// status emptied first, and JC is still read.
TEST_F(ConfigScripted, ReadReportsMissingRepliesOneByOneAndReadsTheRest) {
    startPeer();
    script = [](const std::string& line) -> std::string {
        return line == "*0100VR" ? "*0001VR=P\r\n" : line == "*0100JC" ? "*0001JC=30\r\n" : "";
    };
    std::vector<std::string> statusAtBox;
    ui.onBox = [&](const MessageRecord&) { statusAtBox.push_back(form.Label2.caption()); };
    show(form, 2, "keep", "");
    form.cmdReadCurrentValues_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{NoReplyJh, NoReply}));
    EXPECT_EQ(statusAtBox, (Lines{"", ""}));
    EXPECT_EQ(lines, (Lines{"*0100VR", "*0100JH", "*0100JP", "*0100JC"}));
    EXPECT_EQ(shown(form), "keep|2|30");
    EXPECT_EQ(form.Label2.caption(), ReadingJc);
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

// ---- Save Displayed Values To Unit ----------------------------------------------

// Each value goes out in its shortest form and its echo is shown. With a
// table read from the unit the 12-hour value must be one of its
// temperatures; with no unit selected no unit line is sent. A wrong or short
// echo fails its own write only: a constant echoed within 0.000001 of the one
// written is shown as returned, beyond it refused; an echo that carries no
// number confirms nothing, not even a 0.
struct WriteRow {
    sim::Faults faults;
    bool table;  // List2 holds 10, 20 and -30
    int position;
    const char* temp;
    const char* constant;
    const char* sent;  // the lines after "*0100EW*0100", blank-separated
    std::vector<Box> boxes;
    const char* shown;
};

void PrintTo(const WriteRow& r, std::ostream* out) {
    *out << r.temp << " / " << r.constant << " / echo " << r.faults.echoOverride << (r.faults.shortReply ? "short" : "");
}

class Write : public Config, public ::testing::WithParamInterface<WriteRow> {};

TEST_P(Write, SendsTheShownValuesAndShowsTheirEchoes) {
    const WriteRow& row = GetParam();
    startUnit(row.faults);
    if (row.table)
        for (const char* line : {" 10  1.01", "   20  1.1 ", "-30  .98"}) form.List2.addItem(line);
    form.EnableFrames();
    show(form, row.position, row.temp, row.constant);
    std::string framesDuringLink;
    ui.onEvents = [&] { if (framesDuringLink.empty()) framesDuringLink = frames(); };
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), row.boxes);
    Lines sent;
    std::istringstream words(row.sent);
    for (std::string w; words >> w;) sent.push_back("*0100EW*0100" + w);
    EXPECT_EQ(writesSeen(), sent);
    EXPECT_EQ(shown(form), row.shown);
    EXPECT_EQ(form.Label2.caption(), row.boxes.empty() ? SavedOk : Writing);
    EXPECT_EQ(form.CommOK, row.boxes.empty() ? 1 : 0);
    EXPECT_EQ(framesDuringLink, "0000000000");  // off already while the link is verified
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

sim::Faults echo(const std::string& value) {
    sim::Faults f;
    f.echoOverride = value;
    return f;
}
sim::Faults shortReplies() {
    sim::Faults f;
    f.shortReply = true;
    return f;
}
const char* const Sent25 = "JP=1 JH=25 JC=29.92";
const char* const Sent0 = "JP=1 JH=0 JC=29.92";
INSTANTIATE_TEST_SUITE_P(Rows, Write, ::testing::Values(
    WriteRow{{}, false, 1, "25", "29.92", Sent25, {}, " 25|1|29.92"},
    WriteRow{{}, false, 0, "-40", "-0.5", "JP=0 JH=-40 JC=-.5", {}, "-40|0|-.5"},
    WriteRow{{}, true, -1, "25", "29.92", "JC=29.92", {NotConfirmed, {" 12 H Temperature Value Not in Table. ", "Write"}},
             "25|-1|29.92"},
    WriteRow{{}, true, 1, "20", "29.92", "JP=1 JH=20 JC=29.92", {}, " 20|1|29.92"},
    WriteRow{{}, true, 1, "-30", "29.92", "JP=1 JH=-30 JC=29.92", {}, "-30|1|29.92"},
    WriteRow{echo("24"), false, 1, "25", "29.92", Sent25, {NotConfirmed, Differs, NotConfirmed}, "25|1|29.92"},
    WriteRow{echo("29.9200005"), false, 1, "25", "29.92", Sent25, {NotConfirmed, Differs}, "25|1|29.9200005"},
    WriteRow{echo("29.92001"), false, 1, "25", "29.92", Sent25, {NotConfirmed, Differs, NotConfirmed}, "25|1|29.92"},
    WriteRow{shortReplies(), false, 1, "0", "29.92", Sent0, {NotConfirmed, Differs, NotConfirmed}, "0|1|29.92"},
    WriteRow{echo("abc"), false, 1, "0", "29.92", Sent0, {NotConfirmed, Differs, NotConfirmed}, "0|1|29.92"}));

// The checks before anything is sent stop at the first failure. With no unit
// and an empty port box a click whose checks all pass ends with the link
// check's own message instead.
const std::string Passes = "Must supply value for COM port, baud rate, and ID.";
const std::string NotInteger = "Invalid 12-hour temperature value - integers only";
const std::string TempRange = "12-hour temperature value out of range (-9999999  to 9999999)";
const std::string NotNumber = "Invalid pressure reduction constant value";
const std::string ConstantRange = "Pressure reduction constant value out of range (-9999999  to 9999999)";
using CheckRow = std::tuple<std::string, std::string, std::string>;  // temperature, constant, box

class WriteCheck : public Config, public ::testing::WithParamInterface<CheckRow> {};

TEST_P(WriteCheck, StopsAtTheFirstFailure) {
    const auto& [temp, constant, box] = GetParam();
    setLink("", "01");
    const std::string before = frames();
    show(form, 1, temp, constant);
    form.cmdWriteValues_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, box);
    if (box != Passes) {
        EXPECT_EQ(boxes(), std::vector<Box>{{box}});
        EXPECT_EQ(frames(), before);
    }
    EXPECT_FALSE(port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Values, WriteCheck, ::testing::Values(
    CheckRow{"12.5", "29.92", NotInteger}, CheckRow{"", "29.92", NotInteger}, CheckRow{"2-5", "29.92", NotInteger},
    CheckRow{"10000000", "29.92", TempRange}, CheckRow{"-1E300", "29.92", TempRange},
    CheckRow{"-9999999", "29.92", Passes},
    // However large, beyond a double's range included.
    CheckRow{"1E400", "29.92", TempRange}, CheckRow{"1" + std::string(309, '0'), "29.92", TempRange},
    CheckRow{"25", "-1E400", ConstantRange}, CheckRow{"25", "", NotNumber}, CheckRow{"25", "1.2.3", NotNumber},
    CheckRow{"25", "9999999.5", ConstantRange}, CheckRow{"25", "-10000000", ConstantRange},
    CheckRow{"25", "9999999.4", Passes}, CheckRow{"25", "-0.5", Passes}));

// Under a locale with a decimal comma the values still read with "." as their
// point and with no grouping separator.
class WriteInLocale : public Config, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override { QV_SET_LOCALE_OR_SKIP(GetParam()); }
    void TearDown() override { std::setlocale(LC_ALL, saved.c_str()); }
    const std::string saved = std::setlocale(LC_ALL, nullptr);
};

TEST_P(WriteInLocale, ValuesReadWithAPointAndACommaIsNoNumber) {
    startUnitWith([](sim::UnitConfig& c) { c.jc = "29.921"; });
    const CheckRow cases[] = {{"25", "29.921", SavedOk}, {"25", "29,92", NotNumber}, {"1,000", "29.92", NotInteger}};
    for (const auto& [temp, constant, outcome] : cases) {
        SCOPED_TRACE(temp + " / " + constant);
        ui.boxes.clear();
        show(form, 1, temp, constant);
        form.Label2.setCaption("");
        form.cmdWriteValues_Click();
        const bool saved = outcome == SavedOk;
        EXPECT_EQ(boxes(), saved ? std::vector<Box>{} : std::vector<Box>{{outcome}});
        EXPECT_EQ(form.Label2.caption(), saved ? SavedOk : "");
    }
    EXPECT_EQ(writesSeen(), (Lines{"*0100EW*0100JP=1", "*0100EW*0100JH=25", "*0100EW*0100JC=29.921"}));
}

INSTANTIATE_TEST_SUITE_P(DecimalComma, WriteInLocale, ::testing::Values("de_DE.UTF-8", "fr_FR.UTF-8"));

TEST_F(Config, AClickDuringTheWritesLinkCheckStartsNothing) {
    startUnit();
    form.EnableFrames();
    show(form, 1, "25", "29.92");
    bool delivered = true, tried = false;
    ui.onEvents = [&] {
        if (!tried) {
            tried = true;
            delivered = form.cmdReadCurrentValues.press() || form.cmdWriteValues.press() ||
                        form.cmdDetectZov.press() || form.Command12.press();
        }
    };
    form.cmdWriteValues_Click();
    EXPECT_TRUE(tried);
    EXPECT_FALSE(delivered);
    EXPECT_EQ(unitReceived().size(), 4u);
    EXPECT_EQ(form.Label2.caption(), SavedOk);
}

// JP and JC lines that get no reply go out three times at most, the JH line
// once (3 s + 3 s + 3 s, 5 s, 3 s + 3 s of waits); a late third JC reply is
// still taken.
TEST_F(ConfigScripted, WriteSendsUnitAndConstantLinesAgainAfterAMissingReply) {
    startPeer();
    int jcSeen = 0;
    std::vector<std::chrono::steady_clock::time_point> at;  // when each line came
    script = [&](const std::string& line) -> std::string {
        at.push_back(std::chrono::steady_clock::now());
        if (line == "*0100VR") return "*0001VR=P\r\n";
        return line == "*0100EW*0100JC=30" && ++jcSeen == 3 ? "*0001JC=30.0000005\r\n" : "";
    };
    std::vector<std::string> statusAtBox;
    ui.onBox = [&](const MessageRecord&) { statusAtBox.push_back(form.Label2.caption()); };
    show(form, 2, "7", "30");
    form.cmdWriteValues_Click();
    const std::string jp = "*0100EW*0100JP=2", jc = "*0100EW*0100JC=30";
    EXPECT_EQ(lines, (Lines{"*0100VR", jp, jp, jp, "*0100EW*0100JH=7", jc, jc, jc}));
    // Each line waited its own time for the reply that did not come.
    std::vector<long> waited;
    for (size_t i = 1; i < at.size(); ++i)
        waited.push_back(std::lround(std::chrono::duration<double>(at[i] - at[i - 1]).count()));
    EXPECT_EQ(waited, (std::vector<long>{0, 3, 3, 3, 5, 3, 3}));
    EXPECT_EQ(boxes(), (std::vector<Box>{NotConfirmed, NoReplyJh}));
    EXPECT_EQ(statusAtBox, (Lines{"", ""}));
    EXPECT_EQ(shown(form), "7|2|30.0000005");
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

// ---- Barometric mode ----------------------------------------------------------

TEST_F(Config, BaroModeEnableAndDisableAreWrittenAndConfirmed) {
    startUnitWith([](sim::UnitConfig& c) { c.pb = "0"; });
    std::string framesDuring;
    ui.onEvents = [&] { if (form.Label2.caption() == "Writing Barometric mode...") framesDuring = frames(); };
    form.Command12_Click();  // neither option chosen yet
    EXPECT_EQ(boxes(), (std::vector<Box>{{" Please Select Mode to write. ", "Info"}}));
    EXPECT_EQ(form.Label2.caption(), "Writing Barometric mode...");
    ui.boxes.clear();
    form.Option4_0.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(form.Label2.caption(), "Barometric Mode OK");
    EXPECT_EQ(stored().pb, "1");
    EXPECT_EQ(framesDuring, "0000000001");  // the Communications frame is left alone
    form.Option4_1.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(stored().pb, "0");
    EXPECT_EQ(unitReceived(), (Lines{"*0100VR", "*0100VR", "*0100EZ*0100PB=1", "*0100VR", "*0100EZ*0100PB=0"}));
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

// ---- The link check and a line that drops in the middle of an operation

// A link box left empty: nothing is sent and the window is usable again.
class EmptyLinkBox : public Config, public ::testing::WithParamInterface<int> {};

TEST_P(EmptyLinkBox, StopsTheOperationBeforeAnythingIsSent) {
    startUnit();
    ComboBox* const link[] = {&form.Combo1, &form.Combo2, &form.Combo3};
    link[GetParam()]->setText("");
    form.cmdReadCurrentValues_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{"Must supply value for COM port, baud rate, and ID.", "Error", Icon::Stop}}));
    EXPECT_EQ(unitReceived(), Lines{});
    EXPECT_EQ(frames(), AllEnabled);
}

INSTANTIATE_TEST_SUITE_P(PortBaudId, EmptyLinkBox, ::testing::Values(0, 1, 2));

struct DropRow {
    const char* name;
    void (MainForm::*click)();
    int answered;  // replies before the line drops
    std::string framesAfter;
};

void PrintTo(const DropRow& r, std::ostream* out) { *out << r.name; }

class LineDrop : public Config, public ::testing::WithParamInterface<DropRow> {};

TEST_P(LineDrop, IsReportedAndClosesThePort) {
    startUnitWith([&](sim::UnitConfig& c) { c.faults.hangupAfter = GetParam().answered; });
    form.Option4_0.setValue(true);
    show(form, 1, "25", "29.92");
    (form.*GetParam().click)();
    expectPortFailure(GetParam().framesAfter);
}

INSTANTIATE_TEST_SUITE_P(Operations, LineDrop, ::testing::Values(
    DropRow{"DetectAtIdentity", &MainForm::cmdDetectZov_Click, 1, SetupOnly},
    DropRow{"ReadAtJP", &MainForm::cmdReadCurrentValues_Click, 2, AllFrames},
    DropRow{"WriteAtJP", &MainForm::cmdWriteValues_Click, 1, AllFrames},
    DropRow{"BaroModeAtPB", &MainForm::Command12_Click, 1, AllFrames}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::test
