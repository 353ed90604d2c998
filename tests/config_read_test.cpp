// "Get Current Values From Unit" and the barometric mode write against a
// simulated unit over a pseudo terminal.
#include <gtest/gtest.h>

#include "support/unit_fixture.h"

namespace qv::test {
namespace {

const Box NoReplyJh{" Unit is not responding or is not a Rarerizeza Rerededo!  ", "Communications"};
const Box NoReply{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Communications"};
const Box IllegalUnit{" Illegal table temp unit returned. "};
const std::string ReadOk = "Configuration values read successfully.";
const std::string ReadingJc = "Reading Pressure Reduction Constant Value from unit...";

class ReadValues : public UnitFixture {};

TEST_F(ReadValues, ShowsTheThreeValues) {
    startUnitWith([](sim::UnitConfig& c) { c.id = "07", c.jp = "2", c.jc = "29.921"; });
    std::string framesDuring;
    ui.onEvents = [&] {
        if (form.Label2.caption() == "Reading 12-hour temperature value from unit...") framesDuring = frames();
    };
    form.cmdReadCurrentValues_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(unitReceived(), (std::vector<std::string>{"*0700VR", "*0700JH", "*0700JP", "*0700JC"}));
    EXPECT_EQ(form.txt12HourTemp.text(), " 25");
    EXPECT_EQ(form.cboTableTempUnit.text(), "    \u00b0R");
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "29.921");
    EXPECT_EQ(form.Label2.caption(), ReadOk);
    EXPECT_EQ(framesDuring, "0000000000");
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(ReadValues, TwelveHourValueInItsRangeAndTableUnitFromTheNinthCharacterOnly) {
    startUnit();
    const struct {
        const char* jh;
        const char* jp;
        const char* shown;  // nullptr: refused
        int position;       // -1: refused
    } cases[] = {{"-9999", "1", "-9999", 1}, {"99999.5", "12", " 99999.5", 1}, {"0", "0", " 0", 0},
                 {"12345.678912", "2", " 12345.6789", 2}, {"-10000", "3", nullptr, -1}, {"100000", "x", nullptr, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.jh) + " / " + c.jp);
        unit->withModel([&](sim::UnitModel& m) { m.config().jh = c.jh, m.config().jp = c.jp; });
        ui.boxes.clear();
        form.txt12HourTemp.setText("before");
        form.cboTableTempUnit.setListIndex(1);
        form.cmdReadCurrentValues_Click();
        if (c.shown) {
            EXPECT_EQ(boxes(), std::vector<Box>{});
            EXPECT_EQ(form.txt12HourTemp.text(), c.shown);
            EXPECT_EQ(form.cboTableTempUnit.listIndex(), c.position);
            EXPECT_EQ(form.Label2.caption(), ReadOk);
        } else {
            // Both refused; the next values are read regardless.
            EXPECT_EQ(boxes(), (std::vector<Box>{{" 12 H Temperature Value Not Set or Not in Table. ", "Transfer"},
                                                 IllegalUnit}));
            EXPECT_EQ(form.txt12HourTemp.text(), "before");
            EXPECT_EQ(form.cboTableTempUnit.listIndex(), 1);
            EXPECT_EQ(form.Label2.caption(), ReadingJc);
            EXPECT_EQ(form.txtPressureReductionConstant.text(), "29.92");
        }
    }
}

TEST_F(ReadValues, ShortRepliesNeverReadOutsideTheReply) {
    startUnitWith([](sim::UnitConfig& c) { c.faults.shortReply = true; });  // every reply is "*0001" CR LF
    form.cboTableTempUnit.setListIndex(2);
    form.txtPressureReductionConstant.setText("keep");
    form.cmdReadCurrentValues_Click();
    // A JH reply that ends before its value reads as 0; JP has no character 9;
    // the JC reply has no value text at all and counts as no reply.
    EXPECT_EQ(boxes(), (std::vector<Box>{IllegalUnit, NoReply}));
    EXPECT_EQ(form.txt12HourTemp.text(), " 0");
    EXPECT_EQ(form.cboTableTempUnit.listIndex(), 2);
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "keep");
    EXPECT_EQ(form.Label2.caption(), "");
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(ReadValues, LinkNotVerifiedChangesNothingAndAPortFailureStopsTheRead) {
    startUnitWith([](sim::UnitConfig& c) { c.faults.hangupAfter = 2; });  // the line drops when JP arrives
    form.Combo2.setText("");
    form.txt12HourTemp.setText("keep");
    form.cmdReadCurrentValues_Click();
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_EQ(unitReceived(), std::vector<std::string>{});
    EXPECT_EQ(form.txt12HourTemp.text(), "keep");
    EXPECT_EQ(frames(), AllEnabled);

    ui.boxes.clear();
    form.Combo2.setText("9600");
    form.cmdReadCurrentValues_Click();
    expectPortFailure();
    EXPECT_EQ(form.txt12HourTemp.text(), " 25");
}

// Time-outs are reported value by value and the read goes on (two 3 s waits).
class ReadScripted : public ScriptedFixture {};

TEST_F(ReadScripted, MissingRepliesAreReportedOneByOneAndTheRestIsRead) {
    startPeer();
    script = [](const std::string& line) -> std::string {
        return line == "*0100VR" ? "*0001VR=P\r\n" : line == "*0100JC" ? "*0001JC=30\r\n" : "";
    };
    std::vector<std::string> statusAtBox;
    ui.onBox = [&](const MessageRecord&) { statusAtBox.push_back(form.Label2.caption()); };
    form.txt12HourTemp.setText("keep");
    form.cboTableTempUnit.setListIndex(2);
    form.cmdReadCurrentValues_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{NoReplyJh, NoReply}));
    EXPECT_EQ(statusAtBox, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(lines, (std::vector<std::string>{"*0100VR", "*0100JH", "*0100JP", "*0100JC"}));
    EXPECT_EQ(form.txt12HourTemp.text(), "keep");
    EXPECT_EQ(form.cboTableTempUnit.listIndex(), 2);
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "30");
    EXPECT_EQ(form.Label2.caption(), ReadingJc);
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

// ---- Barometric mode -------------------------------------------------------

class BaroMode : public UnitFixture {};

TEST_F(BaroMode, EnableAndDisableAreWrittenAndConfirmed) {
    startUnitWith([](sim::UnitConfig& c) { c.pb = "0"; });
    std::string framesDuring;
    ui.onEvents = [&] {
        if (form.Label2.caption() == "Writing Barometric mode...") framesDuring = frames();
    };
    form.Option4_0.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(form.Label2.caption(), "Barometric Mode OK");
    EXPECT_EQ(stored().pb, "1");
    EXPECT_EQ(framesDuring, "0000000001");  // the Communications frame is left alone
    form.Option4_1.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(stored().pb, "0");
    EXPECT_EQ(unitReceived(), (std::vector<std::string>{"*0100VR", "*0100EZ*0100PB=1", "*0100VR", "*0100EZ*0100PB=0"}));
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(BaroMode, WrongEchoMissingSelectionAndPortFailureAreRefused) {
    startUnitWith([](sim::UnitConfig& c) { c.faults.echoOverride = "1", c.faults.hangupAfter = 4; });
    form.Command12_Click();  // neither option chosen yet
    EXPECT_EQ(unitReceived(), std::vector<std::string>{"*0100VR"});
    EXPECT_EQ(form.Label2.caption(), "Writing Barometric mode...");
    EXPECT_FALSE(port.isOpen());
    form.Option4_1.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{" Please Select Mode to write. ", "Info"}, {" Can't write Barometric Mode. ", "Info"}}));
    EXPECT_EQ(form.Label2.caption(), "Writing Barometric mode...");
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);

    ui.boxes.clear();
    form.Command12_Click();  // the line drops when the mode line arrives
    expectPortFailure();
}

TEST_F(BaroMode, NoReplyEmptiesTheStatusFirst) {  // one 5 s wait
    startUnitWith([](sim::UnitConfig& c) { c.faults.silentAfter = 1; });
    std::string statusAtBox = "unset";
    ui.onBox = [&](const MessageRecord&) { statusAtBox = form.Label2.caption(); };
    form.Option4_0.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{" Unit is not responding or Barometric mode is disabled.  ", "Communications"}}));
    EXPECT_EQ(statusAtBox, "");
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace qv::test
