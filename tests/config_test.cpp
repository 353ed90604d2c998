// "Detect Unit", "Get Current Values From Unit", "Save Displayed Values To
// Unit" and the barometric mode write against a simulated or scripted unit
// over a pseudo terminal. Silent, late, garbled and hung-up units are the
// fault matrix's; here are the lines on the wire, the value checks and the
// replies only a scripted peer gives.
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
using Boxes = std::vector<Box>;
const Box NotDetected{" Unit not detected!  Check communication settings and connections. "};
const Box ErrComm{" Error communicating with unit "};
const Box Illegal{" Illegal table temp unit returned. "};
const Box NoReplyJh{" Unit is not responding or is not a Rarerizeza Rerededo!  ", "Communications"};
const Box NoReply{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Communications"};
const Box NotConfirmed{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Info"};
const Box Differs{" Value retuned is different than value set. ", "Info"};
const Box TempRefused{" 12 H Temperature Value Not Set or Not in Table. ", "Transfer"};
const std::string SavedOk = "Configuration values saved successfully.";

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

// A simulated unit's replies: "*0001" CR LF each, none after the first n, or
// every write echoing the given value.
sim::Faults faults(bool shortReply, int silentAfter = -1, const char* echo = "") {
    sim::Faults f;
    f.shortReply = shortReply, f.silentAfter = silentAfter, f.echoOverride = echo;
    return f;
}

// One reply of a scripted unit of kind P differs. The identity is the first
// nine characters; a reply too short to carry a value text ends the detection;
// a table unit outside 0 to 2 is refused. Each keeps what the boxes showed.
struct DetectRow { const char *mnemonic, *reply; Boxes boxes; size_t sent; const char* shown; };  // sent: VR twice, JH, JP, JC

class Detect : public ScriptedFixture, public ::testing::WithParamInterface<DetectRow> {};

TEST_P(Detect, EndsWhereItFails) {
    const DetectRow& row = GetParam();
    startPeer();
    script = [&](const std::string& line) -> std::string {
        const std::string m = line.substr(5);
        if (m == row.mnemonic && (m != "VR" || lines.size() == 2)) return row.reply;
        if (m == "VR") return lines.size() == 1 ? "*0001VR=1\r\n" : "*0001VR=P1.1.0\r\n";
        return m == "JH" ? "*0001JH=25\r\n" : m == "JP" ? "*0001JP=2.7\r\n" : "*0001JC=29.92\r\n";
    };
    form.defaultButton = &form.cmdDetectZov;
    show(form, 1, "old", "old");
    form.cmdDetectZov_Click();
    EXPECT_EQ(boxes(), row.boxes);
    const Lines all{"*0100VR", "*0100VR", "*0100JH", "*0100JP", "*0100JC"};
    EXPECT_EQ(lines, Lines(all.begin(), all.begin() + row.sent));
    EXPECT_EQ(shown(form) + "|" + form.Label2.caption(), row.shown + std::string(row.boxes.empty() ? "|Unit detected!" : "|"));
    EXPECT_EQ(frames(), row.boxes.empty() ? AllEnabled : "0000000011");  // the port closed, Enter no longer detects:
    EXPECT_FALSE(port.isOpen() || form.defaultButton);
}

INSTANTIATE_TEST_SUITE_P(Replies, Detect, ::testing::Values(
    DetectRow{"VR", "*0001vr=p\r\n", {NotDetected}, 2, "old|1|old"},
    DetectRow{"VR", "*0001VR=\r\n", {NotDetected}, 2, "old|1|old"},
    DetectRow{"VR", "*0001VR=Q1.1.0\r\n", {NotDetected}, 2, "old|1|old"},
    DetectRow{"VR", "*0001VR=Mrest\r\n", {}, 5, "25|2|29.92"},  // 2.7 rounds down
    DetectRow{"JH", "\n", {ErrComm}, 3, "old|1|old"},
    DetectRow{"JP", "*0001\r\n", {ErrComm}, 4, "25|1|old"},
    DetectRow{"JC", "*0001JC\r\n", {ErrComm}, 5, "25|2|old"},
    DetectRow{"JP", "*0001JP=3\r\n", {Illegal}, 4, "25|1|old"},
    DetectRow{"JP", "*0001JP=-0.5\r\n", {Illegal}, 4, "25|1|old"},
    DetectRow{"JP", "*0001JP=abc\r\n", {Illegal}, 4, "25|1|old"}));

// One query per value. The 12-hour value must lie strictly between -10000
// and 100000; the table unit is the reply's ninth character alone. A value
// refused or not answered is reported on its own and the next one is read.
struct ReadRow { const char *jh, *jp; sim::Faults faults; Boxes boxes; const char* shown; std::string status; };

class Read : public UnitFixture, public ::testing::WithParamInterface<ReadRow> {};

TEST_P(Read, ShowsOnlyValidValues) {
    const ReadRow& row = GetParam();
    startUnitWith([&](sim::UnitConfig& c) { c.jh = row.jh, c.jp = row.jp, c.faults = row.faults; });
    show(form, 1, "before", "before");
    form.cmdReadCurrentValues_Click();
    EXPECT_EQ(boxes(), row.boxes);
    EXPECT_EQ(unitReceived(), (Lines{"*0100VR", "*0100JH", "*0100JP", "*0100JC"}));
    EXPECT_EQ(shown(form) + "|" + form.Label2.caption(), row.shown + ("|" + row.status));
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

const std::string ReadingJc = "Reading Pressure Reduction Constant Value from unit...";
INSTANTIATE_TEST_SUITE_P(Values, Read, ::testing::Values(
    ReadRow{"99999.5", "12", {}, {}, " 99999.5|1|29.92", "Configuration values read successfully."},
    ReadRow{"-10000", "3", {}, {TempRefused, Illegal}, "before|1|29.92", ReadingJc},
    ReadRow{"100000", "x", {}, {TempRefused, Illegal}, "before|1|29.92", ReadingJc},
    // "*0001" CR LF: JH reads as 0, JP has no ninth character, JC no value.
    ReadRow{"25", "1", faults(true), {Illegal, NoReply}, " 0|1|before", ""},
    ReadRow{"25", "1", faults(false, 1), {NoReplyJh, NoReply, NoReply}, "before|1|before", ""}));

// Each value goes out in its shortest form and its echo is shown. With a
// table read from the unit the 12-hour value must be one of its
// temperatures; with no unit selected no unit line is sent. A constant echoed
// within 0.000001 is shown as returned; an echo with no number confirms
// nothing, not even a 0.
// table: List2 holds 10, 20 and -30; sent: the lines after "*0100EW*0100".
struct WriteRow { sim::Faults faults; bool table; int position; const char *temp, *constant, *sent; Boxes boxes; const char* shown; };

class Write : public UnitFixture, public ::testing::WithParamInterface<WriteRow> {};

TEST_P(Write, SendsTheShownValuesAndShowsTheirEchoes) {
    const WriteRow& row = GetParam();
    startUnit(row.faults);
    if (row.table)
        for (const char* line : {" 10  1.01", "   20  1.1 ", "-30  .98"}) form.List2.addItem(line);
    form.EnableFrames();
    show(form, row.position, row.temp, row.constant);
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), row.boxes);
    Lines sent{"*0100VR"};
    std::istringstream words(row.sent);
    for (std::string w; words >> w;) sent.push_back("*0100EW*0100" + w);
    EXPECT_EQ(unitReceived(), sent);
    EXPECT_EQ(shown(form) + "|" + form.Label2.caption(),
              row.shown + ("|" + (row.boxes.empty() ? SavedOk : "Writing config data to unit...")));
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

const char* const Sent25 = "JP=1 JH=25 JC=29.92";
INSTANTIATE_TEST_SUITE_P(Rows, Write, ::testing::Values(
    WriteRow{{}, false, 0, "-40", "-0.5", "JP=0 JH=-40 JC=-.5", {}, "-40|0|-.5"},
    WriteRow{{}, true, 1, "20", "29.92", "JP=1 JH=20 JC=29.92", {}, " 20|1|29.92"},
    WriteRow{{}, true, -1, "25", "29.92", "JC=29.92", {NotConfirmed, {" 12 H Temperature Value Not in Table. ", "Write"}},
             "25|-1|29.92"},
    WriteRow{faults(false, -1, "29.9200005"), false, 1, "25", "29.92", Sent25, {NotConfirmed, Differs}, "25|1|29.9200005"},
    WriteRow{faults(false, -1, "29.92001"), false, 1, "25", "29.92", Sent25, {NotConfirmed, Differs, NotConfirmed}, "25|1|29.92"},
    WriteRow{faults(true), false, 1, "0", "29.92", "JP=1 JH=0 JC=29.92", {NotConfirmed, Differs, NotConfirmed}, "0|1|29.92"},
    WriteRow{faults(false, -1, "abc"), false, 1, "0", "29.92", "JP=1 JH=0 JC=29.92", {NotConfirmed, Differs, NotConfirmed}, "0|1|29.92"}));

// The checks before anything is sent stop at the first failure; a click whose
// checks all pass ends, with no port chosen, at the link check's message.
const std::string Passes = "Must supply value for COM port, baud rate, and ID.";
const std::string NotInteger = "Invalid 12-hour temperature value - integers only";
const std::string TempRange = "12-hour temperature value out of range (-9999999  to 9999999)";
const std::string NotNumber = "Invalid pressure reduction constant value";
const std::string ConstantRange = "Pressure reduction constant value out of range (-9999999  to 9999999)";
using CheckRow = std::tuple<std::string, std::string, std::string>;  // temperature, constant, box

class WriteCheck : public UnitFixture, public ::testing::WithParamInterface<CheckRow> {};

TEST_P(WriteCheck, StopsAtTheFirstFailure) {
    const auto& [temp, constant, box] = GetParam();
    setLink("", "01");
    const std::string before = frames();
    show(form, 1, temp, constant);
    form.cmdWriteValues_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, box);
    if (box != Passes) { EXPECT_EQ(frames(), before); }
}

INSTANTIATE_TEST_SUITE_P(Values, WriteCheck, ::testing::Values(
    CheckRow{"12.5", "29.92", NotInteger}, CheckRow{"", "29.92", NotInteger},
    CheckRow{"10000000", "29.92", TempRange}, CheckRow{"-1E300", "29.92", TempRange},
    CheckRow{"-9999999", "29.92", Passes}, CheckRow{"1" + std::string(309, '0'), "29.92", TempRange},
    CheckRow{"25", "-1E400", ConstantRange}, CheckRow{"25", "1.2.3", NotNumber},
    CheckRow{"25", "9999999.5", ConstantRange}, CheckRow{"25", "-10000000", ConstantRange},
    CheckRow{"25", "9999999.4", Passes}));

// Under a locale with a decimal comma the values still read with "." as their
// point and with no grouping separator.
class WriteInLocale : public UnitFixture, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override { QV_SET_LOCALE_OR_SKIP(GetParam()); }
    void TearDown() override { std::setlocale(LC_ALL, saved.c_str()); }
    const std::string saved = std::setlocale(LC_ALL, nullptr);
};

TEST_P(WriteInLocale, ValuesReadWithAPointAndACommaIsNoNumber) {
    startUnitWith([](sim::UnitConfig& c) { c.jc = "29.921"; });
    for (const auto& [temp, constant, outcome] : {CheckRow{"25", "29.921", SavedOk}, CheckRow{"25", "29,92", NotNumber},
                                                  CheckRow{"1,000", "29.92", NotInteger}}) {
        ui.boxes.clear();
        show(form, 1, temp, constant);
        form.cmdWriteValues_Click();
        EXPECT_EQ(boxes(), outcome == SavedOk ? Boxes{} : Boxes{{outcome}}) << temp << " / " << constant;
    }
    EXPECT_EQ(unitReceived(), (Lines{"*0100VR", "*0100EW*0100JP=1", "*0100EW*0100JH=25", "*0100EW*0100JC=29.921"}));
}

INSTANTIATE_TEST_SUITE_P(DecimalComma, WriteInLocale, ::testing::Values("de_DE.UTF-8", "fr_FR.UTF-8"));

// JP and JC lines that get no reply go out three times at most, the JH line
// once (3 s + 3 s + 3 s, 5 s, 3 s + 3 s of waits); a late third JC reply is
// still taken.
class Scripted : public ScriptedFixture {};

TEST_F(Scripted, WriteSendsUnitAndConstantLinesAgainAfterAMissingReply) {
    startPeer();
    int jcSeen = 0;
    std::vector<std::chrono::steady_clock::time_point> at;  // when each line came
    script = [&](const std::string& line) -> std::string {
        at.push_back(std::chrono::steady_clock::now());
        if (line == "*0100VR") return "*0001VR=P\r\n";
        return line == "*0100EW*0100JC=30" && ++jcSeen == 3 ? "*0001JC=30.0000005\r\n" : "";
    };
    show(form, 2, "7", "30");
    form.cmdWriteValues_Click();
    const std::string jp = "*0100EW*0100JP=2", jc = "*0100EW*0100JC=30";
    EXPECT_EQ(lines, (Lines{"*0100VR", jp, jp, jp, "*0100EW*0100JH=7", jc, jc, jc}));
    std::vector<long> waited;
    for (size_t i = 1; i < at.size(); ++i)
        waited.push_back(std::lround(std::chrono::duration<double>(at[i] - at[i - 1]).count()));
    EXPECT_EQ(waited, (std::vector<long>{0, 3, 3, 3, 5, 3, 3}));
    EXPECT_EQ(boxes(), (Boxes{NotConfirmed, NoReplyJh}));
    EXPECT_EQ(shown(form), "7|2|30.0000005");
}

// With no mode chosen nothing is written; "Disable" writes 0 and is confirmed
// ("Enable" is the fault matrix's).
class Config : public UnitFixture {};

TEST_F(Config, BaroModeIsChosenBeforeItIsWritten) {
    startUnit();
    form.Command12_Click();
    form.Option4_1.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(boxes(), (Boxes{{" Please Select Mode to write. ", "Info"}}));
    EXPECT_EQ(form.Label2.caption() + stored().pb, "Barometric Mode OK0");
    EXPECT_EQ(unitReceived(), (Lines{"*0100VR", "*0100VR", "*0100EZ*0100PB=0"}));
}

}  // namespace
}  // namespace qv::test
