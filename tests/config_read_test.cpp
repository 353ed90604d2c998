// "Get Current Values From Unit" and the barometric mode write against a
// simulated unit over a pseudo terminal.
#include <gtest/gtest.h>

#include "support/unit_fixture.h"

namespace qv::test {
namespace {

const std::string NoReplyJh = " Unit is not responding or is not a Rarerizeza Rerededo!  ";
const std::string NoReply = " Unit is not responding or is not a Rarerizeza Rerededo! ";
const std::string NotInRange = " 12 H Temperature Value Not Set or Not in Table. ";
const std::string IllegalUnit = " Illegal table temp unit returned. ";
const std::string ReadOk = "Configuration values read successfully.";

class ReadValues : public UnitFixture {};

TEST_F(ReadValues, ShowsTheThreeValues) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.id = "07";
    cfg.jh = "25";
    cfg.jp = "2";
    cfg.jc = "29.921";
    startUnit(cfg);
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

TEST_F(ReadValues, TwelveHourValueMustLieStrictlyWithinItsRange) {
    startUnit();
    const struct {
        const char* stored;
        const char* shown;  // nullptr: refused
    } cases[] = {{"-9999", "-9999"}, {"99999.5", " 99999.5"}, {"-10000", nullptr}, {"100000", nullptr},
                 {"0", " 0"}, {"12345.678912", " 12345.6789"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        unit->withModel([&](sim::UnitModel& m) { m.config().jh = c.stored; });
        ui.boxes.clear();
        form.txt12HourTemp.setText("before");
        form.cmdReadCurrentValues_Click();
        if (c.shown) {
            EXPECT_EQ(boxes(), std::vector<Box>{});
            EXPECT_EQ(form.txt12HourTemp.text(), c.shown);
            EXPECT_EQ(form.Label2.caption(), ReadOk);
        } else {
            EXPECT_EQ(boxes(), (std::vector<Box>{{NotInRange, "Transfer"}}));
            EXPECT_EQ(form.txt12HourTemp.text(), "before");
            EXPECT_EQ(form.Label2.caption(), "Reading Pressure Reduction Constant Value from unit...");
            // The next values are read regardless.
            EXPECT_EQ(form.txtPressureReductionConstant.text(), "29.92");
        }
    }
}

TEST_F(ReadValues, TableUnitIsTheNinthCharacterOnly) {
    startUnit();
    for (const char* stored : {"12", "3", "x"}) {
        SCOPED_TRACE(stored);
        unit->withModel([&](sim::UnitModel& m) { m.config().jp = stored; });
        ui.boxes.clear();
        form.cboTableTempUnit.setListIndex(0);
        form.cmdReadCurrentValues_Click();
        if (stored[0] == '1') {
            EXPECT_EQ(boxes(), std::vector<Box>{});
            EXPECT_EQ(form.cboTableTempUnit.listIndex(), 1);
        } else {
            EXPECT_EQ(boxes(), std::vector<Box>{{IllegalUnit}});
            EXPECT_EQ(form.cboTableTempUnit.listIndex(), 0);
        }
    }
}

TEST_F(ReadValues, ShortRepliesNeverReadOutsideTheReply) {
    sim::Faults f;
    f.shortReply = true;  // every reply is "*0001" CR LF
    startUnit(f);
    form.cboTableTempUnit.setListIndex(2);
    form.txtPressureReductionConstant.setText("keep");

    form.cmdReadCurrentValues_Click();

    // A JH reply that ends before its value reads as 0; JP has no character 9;
    // the JC reply has no value text at all and counts as no reply.
    EXPECT_EQ(boxes(), (std::vector<Box>{{IllegalUnit}, {NoReply, "Communications"}}));
    EXPECT_EQ(form.txt12HourTemp.text(), " 0");
    EXPECT_EQ(form.cboTableTempUnit.listIndex(), 2);
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "keep");
    EXPECT_EQ(form.Label2.caption(), "");
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(ReadValues, TimeOutsAreReportedValueByValue) {  // two 3 s waits
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.faults.silentAfter = 2;  // VR and JH answered
    startUnit(cfg);
    std::vector<std::string> statusAtBox;
    ui.onBox = [&](const MessageRecord&) { statusAtBox.push_back(form.Label2.caption()); };

    form.cmdReadCurrentValues_Click();

    EXPECT_EQ(boxes(), (std::vector<Box>{{NoReply, "Communications"}, {NoReply, "Communications"}}));
    EXPECT_EQ(statusAtBox, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(unitReceived(), (std::vector<std::string>{"*0100VR", "*0100JH", "*0100JP", "*0100JC"}));
    EXPECT_EQ(form.txt12HourTemp.text(), " 25");
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(ReadValues, LinkNotVerifiedChangesNothing) {
    startUnit();
    form.Combo2.setText("");
    form.txt12HourTemp.setText("keep");
    form.cmdReadCurrentValues_Click();
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_EQ(unitReceived(), std::vector<std::string>{});
    EXPECT_EQ(form.txt12HourTemp.text(), "keep");
    EXPECT_EQ(frames(), AllEnabled);
}

TEST_F(ReadValues, PortFailureStopsTheReadAndLeavesTheWindowUsable) {
    sim::Faults f;
    f.hangupAfter = 2;  // the line drops when JP arrives
    startUnit(f);
    form.cmdReadCurrentValues_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Port");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Exclamation);
    EXPECT_EQ(form.txt12HourTemp.text(), " 25");
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

class ReadScripted : public ScriptedFixture {};

TEST_F(ReadScripted, MissingTwelveHourReplyStillReadsTheOthers) {  // one 3 s wait
    startPeer();
    script = [](const std::string& line) -> std::string {
        if (line == "*0100VR") return "*0001VR=P\r\n";
        if (line == "*0100JP") return "*0001JP=0\r\n";
        if (line == "*0100JC") return "*0001JC=30\r\n";
        return "";
    };
    form.txt12HourTemp.setText("keep");
    form.cmdReadCurrentValues_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{NoReplyJh, "Communications"}}));
    EXPECT_EQ(form.txt12HourTemp.text(), "keep");
    EXPECT_EQ(form.cboTableTempUnit.listIndex(), 0);
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "30");
    EXPECT_EQ(form.Label2.caption(), "Reading Pressure Reduction Constant Value from unit...");
}

// ---- Barometric mode -------------------------------------------------------

class BaroMode : public UnitFixture {};

TEST_F(BaroMode, EnableAndDisableAreWrittenAndConfirmed) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.pb = "0";
    startUnit(cfg);
    std::string framesDuring;
    ui.onEvents = [&] {
        if (form.Label2.caption() == "Writing Barometric mode...") framesDuring = frames();
    };

    form.Option4_0.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(form.Label2.caption(), "Barometric Mode OK");
    EXPECT_EQ(stored().pb, "1");
    EXPECT_EQ(framesDuring, "0000000001");  // the Communications frame is left alone

    form.Option4_1.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(stored().pb, "0");
    EXPECT_EQ(unitReceived(), (std::vector<std::string>{"*0100VR", "*0100EZ*0100PB=1", "*0100VR",
                                                        "*0100EZ*0100PB=0"}));
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(BaroMode, WrongEchoAndMissingSelectionAreRefused) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.faults.echoOverride = "1";
    startUnit(cfg);

    form.Command12_Click();  // neither option chosen yet
    EXPECT_EQ(boxes(), (std::vector<Box>{{" Please Select Mode to write. ", "Info"}}));
    EXPECT_EQ(unitReceived(), std::vector<std::string>{"*0100VR"});
    EXPECT_EQ(form.Label2.caption(), "Writing Barometric mode...");
    EXPECT_FALSE(port.isOpen());

    ui.boxes.clear();
    form.Option4_1.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{" Can't write Barometric Mode. ", "Info"}}));
    EXPECT_EQ(form.Label2.caption(), "Writing Barometric mode...");
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);
}

TEST_F(BaroMode, NoReplyEmptiesTheStatusFirst) {  // one 5 s wait
    sim::Faults f;
    f.silentAfter = 1;
    startUnit(f);
    std::string statusAtBox = "unset";
    ui.onBox = [&](const MessageRecord&) { statusAtBox = form.Label2.caption(); };
    form.Option4_0.setValue(true);
    form.Command12_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{" Unit is not responding or Barometric mode is disabled.  ",
                                          "Communications"}}));
    EXPECT_EQ(statusAtBox, "");
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(BaroMode, PortFailureLeavesTheWindowUsable) {
    sim::Faults f;
    f.hangupAfter = 1;
    startUnit(f);
    form.Option4_0.setValue(true);
    form.Command12_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Port");
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace qv::test
