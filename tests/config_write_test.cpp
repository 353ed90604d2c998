// "Save Displayed Values To Unit" against a simulated unit over a pseudo
// terminal.
#include <gtest/gtest.h>

#include "support/unit_fixture.h"

namespace qv::test {
namespace {

const std::string NoReplyJh = " Unit is not responding or is not a Rarerizeza Rerededo!  ";
const std::string NotConfirmed = " Unit is not responding or is not a Rarerizeza Rerededo! ";
const std::string Differs = " Value retuned is different than value set. ";
const std::string SavedOk = "Configuration values saved successfully.";
const std::string Writing = "Writing config data to unit...";

class WriteValues : public UnitFixture {
protected:
    void show(int unitPosition, const std::string& temp, const std::string& constant) {
        form.cboTableTempUnit.setListIndex(unitPosition);
        form.txt12HourTemp.setText(temp);
        form.txtPressureReductionConstant.setText(constant);
    }
    std::vector<std::string> writesSeen() {
        std::vector<std::string> all = unitReceived();
        std::vector<std::string> out;
        for (const std::string& l : all)
            if (l != "*0100VR") out.push_back(l);
        return out;
    }
};

TEST_F(WriteValues, WritesTheThreeValuesAndShowsTheEchoes) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.jp = "0";
    cfg.jh = "10";
    cfg.jc = "30";
    startUnit(cfg);
    form.EnableFrames();
    show(1, "25", "29.92");
    std::string framesDuringLink;
    ui.onEvents = [&] { if (framesDuringLink.empty()) framesDuringLink = frames(); };

    form.cmdWriteValues_Click();

    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(writesSeen(), (std::vector<std::string>{"*0100EW*0100JP=1", "*0100EW*0100JH=25",
                                                      "*0100EW*0100JC=29.92"}));
    EXPECT_EQ(stored().jp, "1");
    EXPECT_EQ(stored().jh, "25");
    EXPECT_EQ(stored().jc, "29.92");
    EXPECT_EQ(form.txt12HourTemp.text(), " 25");
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "29.92");
    EXPECT_EQ(form.Label2.caption(), SavedOk);
    // The frames are off already while the link is being verified.
    EXPECT_EQ(framesDuringLink, "0000000000");
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(WriteValues, ValuesTravelInTheirShortestForm) {
    startUnit();
    show(0, "-40", "-0.5");
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(writesSeen(), (std::vector<std::string>{"*0100EW*0100JP=0", "*0100EW*0100JH=-40",
                                                      "*0100EW*0100JC=-.5"}));
    EXPECT_EQ(form.txt12HourTemp.text(), "-40");
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "-.5");
}

TEST_F(WriteValues, ChecksBeforeSendingStopAtTheFirstFailure) {
    // No unit and an empty port box: a click whose checks all pass ends with
    // the link check's own message, and nothing can be sent either way.
    setLink("", "01");
    const std::string PassesChecks = "Must supply value for COM port, baud rate, and ID.";
    const struct {
        const char* temp;
        const char* constant;
        std::string box;
    } cases[] = {
        {"12.5", "29.92", "Invalid 12-hour temperature value - integers only"},
        {"", "29.92", "Invalid 12-hour temperature value - integers only"},
        {"2-5", "29.92", "Invalid 12-hour temperature value - integers only"},
        {"10000000", "29.92", "12-hour temperature value out of range (-9999999  to 9999999)"},
        {"-1E300", "29.92", "12-hour temperature value out of range (-9999999  to 9999999)"},
        {"-9999999", "29.92", PassesChecks},
        {"25", "", "Invalid pressure reduction constant value"},
        {"25", "1.2.3", "Invalid pressure reduction constant value"},
        {"25", "9999999.5", "Pressure reduction constant value out of range (-9999999  to 9999999)"},
        {"25", "-10000000", "Pressure reduction constant value out of range (-9999999  to 9999999)"},
        {"25", "9999999.4", PassesChecks},
        {"25", "-0.5", PassesChecks},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.temp) + " / " + c.constant);
        const std::string before = frames();
        ui.boxes.clear();
        show(1, c.temp, c.constant);
        form.cmdWriteValues_Click();
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, c.box);
        if (c.box != PassesChecks) {
            EXPECT_EQ((Box{ui.boxes[0].text, ui.boxes[0].title, ui.boxes[0].icon}), Box{c.box});
            EXPECT_EQ(frames(), before);
        }
    }
    EXPECT_FALSE(port.isOpen());
}

TEST_F(WriteValues, WrongEchoesFailTheirOwnWriteOnly) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.faults.echoOverride = "24";
    startUnit(cfg);
    show(1, "25", "29.92");

    form.cmdWriteValues_Click();

    EXPECT_EQ(boxes(), (std::vector<Box>{{NotConfirmed, "Info"}, {Differs, "Info"}, {NotConfirmed, "Info"}}));
    EXPECT_EQ(writesSeen().size(), 3u);
    EXPECT_EQ(form.txt12HourTemp.text(), "25");
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "29.92");
    EXPECT_EQ(form.Label2.caption(), Writing);
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(WriteValues, ConstantEchoWithinTheToleranceIsShownAsReturned) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.faults.echoOverride = "29.9200001";
    startUnit(cfg);
    show(1, "25", "29.92");
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{NotConfirmed, "Info"}, {Differs, "Info"}}));
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "29.9200001");
}

TEST_F(WriteValues, TwelveHourValueMustBeATemperatureOfTheUnitTable) {
    startUnit();
    for (const char* row : {" 10  1.01", "   20  1.1 ", "-30  .98"}) form.List2.addItem(row);

    show(1, "25", "29.92");
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{" 12 H Temperature Value Not in Table. ", "Write"}}));
    EXPECT_EQ(writesSeen(), (std::vector<std::string>{"*0100EW*0100JP=1", "*0100EW*0100JC=29.92"}));

    for (const char* temp : {"20", "-30"}) {
        ui.boxes.clear();
        show(1, temp, "29.92");
        form.cmdWriteValues_Click();
        EXPECT_EQ(boxes(), std::vector<Box>{}) << temp;
        EXPECT_EQ(stored().jh, std::string(temp));
        EXPECT_EQ(form.Label2.caption(), SavedOk);
    }
}

TEST_F(WriteValues, NoTableUnitSelectedSendsNoUnitLine) {
    startUnit();
    show(-1, "25", "29.92");
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{NotConfirmed, "Info"}}));
    EXPECT_EQ(writesSeen(), (std::vector<std::string>{"*0100EW*0100JH=25", "*0100EW*0100JC=29.92"}));
    EXPECT_EQ(stored().jp, "1");
    EXPECT_EQ(form.Label2.caption(), Writing);
}

TEST_F(WriteValues, ShortRepliesFailTheirWritesWithoutReadingPastThem) {
    sim::Faults f;
    f.shortReply = true;
    startUnit(f);
    show(2, "25", "29.92");
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{NotConfirmed, "Info"}, {Differs, "Info"}, {NotConfirmed, "Info"}}));
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "29.92");
    EXPECT_EQ(frames(), AllEnabled);
}

TEST_F(WriteValues, SilentUnitGetsEachUnitAndConstantLineThreeTimesAtMost) {  // 23 s of waits
    sim::Faults f;
    f.silentAfter = 1;  // only the link check is answered
    startUnit(f);
    show(1, "25", "29.92");
    std::vector<std::string> statusAtBox;
    ui.onBox = [&](const MessageRecord&) { statusAtBox.push_back(form.Label2.caption()); };

    form.cmdWriteValues_Click();

    const std::string jp = "*0100EW*0100JP=1", jh = "*0100EW*0100JH=25", jc = "*0100EW*0100JC=29.92";
    EXPECT_EQ(writesSeen(), (std::vector<std::string>{jp, jp, jp, jh, jc, jc, jc}));
    EXPECT_EQ(boxes(), (std::vector<Box>{{NotConfirmed, "Info"}, {NoReplyJh, "Communications"},
                                         {NotConfirmed, "Info"}}));
    EXPECT_EQ(statusAtBox, (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(form.txt12HourTemp.text(), "25");
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(WriteValues, PortFailureStopsTheWriteAndLeavesTheWindowUsable) {
    sim::Faults f;
    f.hangupAfter = 1;  // the line drops when the JP line arrives
    startUnit(f);
    show(1, "25", "29.92");
    form.cmdWriteValues_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Port");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Exclamation);
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(WriteValues, ClickDuringTheLinkCheckStartsNoSecondOperation) {
    startUnit();
    form.EnableFrames();
    show(1, "25", "29.92");
    bool delivered = true;
    bool tried = false;
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

class WriteScripted : public ScriptedFixture {};

TEST_F(WriteScripted, UnitLineIsSentAgainAfterAMissingReply) {  // one 3 s wait
    startPeer();
    int jpSeen = 0;
    script = [&](const std::string& line) -> std::string {
        if (line == "*0100VR") return "*0001VR=P\r\n";
        if (line == "*0100EW*0100JP=2") return ++jpSeen == 1 ? "" : "*0001JP=2\r\n";
        if (line == "*0100EW*0100JH=7") return "*0001JH=7\r\n";
        if (line == "*0100EW*0100JC=30") return "*0001JC=30.0000005\r\n";
        return "";
    };
    form.cboTableTempUnit.setListIndex(2);
    form.txt12HourTemp.setText("7");
    form.txtPressureReductionConstant.setText("30");
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(jpSeen, 2);
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "30.0000005");
    EXPECT_EQ(form.Label2.caption(), SavedOk);
}

}  // namespace
}  // namespace qv::test
