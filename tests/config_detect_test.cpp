// "Detect Unit" against a simulated unit over a pseudo terminal.
#include <gtest/gtest.h>

#include "support/unit_fixture.h"

namespace qv::test {
namespace {

const std::string NotDetected = " Unit not detected!  Check communication settings and connections. ";
const std::string ErrorCommunicating = " Error communicating with unit ";
const std::string IllegalUnit = " Illegal table temp unit returned. ";
// After a failed detection only Program Setup (with Communications) is usable.
const std::string SetupOnly = "0000000011";

class Detect : public UnitFixture {};

TEST_F(Detect, AcceptsEachKnownKindAndFillsTheConfiguration) {
    for (char kind : {'P', 'M', 'X'}) {
        SCOPED_TRACE(std::string("kind ") + kind);
        sim::UnitConfig cfg = sim::defaultConfig();
        cfg.id = "07";
        cfg.kind = kind;
        cfg.jh = "-40";
        cfg.jp = "2.7";
        cfg.jc = "29.921";
        unit.reset();
        startUnit(cfg);
        form.defaultButton = &form.cmdDetectZov;
        form.txt12HourTemp.setText("old");
        std::string framesDuring;
        ui.onEvents = [&] { if (form.CommOK == 1 && framesDuring.empty()) framesDuring = frames(); };

        form.cmdDetectZov_Click();

        EXPECT_EQ(boxes(), std::vector<Box>{});
        EXPECT_EQ(unitReceived(),
                  (std::vector<std::string>{"*0700VR", "*0700VR", "*0700JH", "*0700JP", "*0700JC"}));
        EXPECT_EQ(form.txt12HourTemp.text(), "-40");  // as received, no leading blank added
        EXPECT_EQ(form.cboTableTempUnit.listIndex(), 2);  // 2.7 rounds down
        EXPECT_EQ(form.txtPressureReductionConstant.text(), "29.921");
        EXPECT_EQ(form.Label2.caption(), "Unit detected!");
        EXPECT_EQ(framesDuring, "0000000001");
        EXPECT_EQ(frames(), AllEnabled);
        EXPECT_EQ(form.defaultButton, nullptr);
        EXPECT_FALSE(port.isOpen());
        ui.onEvents = nullptr;
    }
}

TEST_F(Detect, RefusesAnotherKindAndLeavesOnlyProgramSetupUsable) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.kind = 'Q';
    startUnit(cfg);
    form.EnableFrames();
    form.txt12HourTemp.setText("keep");

    form.cmdDetectZov_Click();

    EXPECT_EQ(boxes(), std::vector<Box>{{NotDetected}});
    EXPECT_EQ(unitReceived(), (std::vector<std::string>{"*0100VR", "*0100VR"}));
    EXPECT_EQ(form.txt12HourTemp.text(), "keep");
    EXPECT_EQ(frames(), SetupOnly);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(form.defaultButton, nullptr);

    // A second click starts again from the link check and ends the same way.
    form.cmdDetectZov_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{NotDetected}, {NotDetected}}));
    EXPECT_EQ(unitReceived().size(), 4u);
}

TEST_F(Detect, LinkNotVerifiedSendsNothing) {
    startUnit();
    form.Combo3.setText("");
    form.cmdDetectZov_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{"Must supply value for COM port, baud rate, and ID.", "Error",
                                          Icon::Stop}}));
    EXPECT_EQ(unitReceived(), std::vector<std::string>{});
    EXPECT_EQ(frames(), SetupOnly);
    EXPECT_EQ(form.defaultButton, nullptr);
}

TEST_F(Detect, PortFailureIsReportedAndClosesThePort) {
    sim::Faults f;
    f.hangupAfter = 1;  // the line drops when the identity query arrives
    startUnit(f);
    form.cmdDetectZov_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Port");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Exclamation);
    EXPECT_NE(ui.boxes[0].text.find("hung up"), std::string::npos) << ui.boxes[0].text;
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), SetupOnly);
}

// A time-out at each value query (5 s each): the values read before it stay,
// later queries are not sent.
class DetectTimeout : public Detect, public ::testing::WithParamInterface<int> {};

TEST_P(DetectTimeout, StopsAtTheSilentQuery) {
    const int answered = GetParam();  // VR twice, then JH, JP
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.jh = "33";
    cfg.faults.silentAfter = answered;
    startUnit(cfg);
    form.txt12HourTemp.setText("old");
    form.cboTableTempUnit.setListIndex(0);
    form.txtPressureReductionConstant.setText("old");

    form.cmdDetectZov_Click();

    EXPECT_EQ(boxes(), std::vector<Box>{{ErrorCommunicating}});
    const std::vector<std::string> all{"*0100VR", "*0100VR", "*0100JH", "*0100JP", "*0100JC"};
    EXPECT_EQ(unitReceived(), std::vector<std::string>(all.begin(), all.begin() + answered + 1));
    EXPECT_EQ(form.txt12HourTemp.text(), answered >= 3 ? "33" : "old");
    EXPECT_EQ(form.cboTableTempUnit.listIndex(), answered >= 4 ? 1 : 0);
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "old");
    EXPECT_EQ(frames(), SetupOnly);
    EXPECT_FALSE(port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(AtJhJpJc, DetectTimeout, ::testing::Values(2, 3, 4));

// Replies the simulated unit does not give.
class DetectScripted : public ScriptedFixture {
protected:
    std::string vr = "*0001VR=P1.1.0\r\n";
    std::string jh = "*0001JH=25\r\n";
    std::string jp = "*0001JP=1\r\n";
    std::string jc = "*0001JC=29.92\r\n";
    void SetUp() override {
        startPeer();
        script = [this](const std::string& line) -> std::string {
            if (line == "*0100VR") return lines.size() == 1 ? "*0001VR=1\r\n" : vr;
            if (line == "*0100JH") return jh;
            if (line == "*0100JP") return jp;
            if (line == "*0100JC") return jc;
            return "";
        };
    }
};

TEST_F(DetectScripted, IdentityIsTheFirstNineCharactersCompared) {
    for (const char* reply : {"*0001VR=X\r\n", "*0001VR=Mrest\r\n"}) {
        vr = reply;
        lines.clear();
        ui.boxes.clear();
        form.cmdDetectZov_Click();
        EXPECT_EQ(boxes(), std::vector<Box>{}) << reply;
        EXPECT_EQ(form.Label2.caption(), "Unit detected!");
    }
    for (const char* reply : {"*0001vr=p\r\n", "*0002VR=P\r\n", "*0001VR=\r\n"}) {
        vr = reply;
        lines.clear();
        ui.boxes.clear();
        form.cmdDetectZov_Click();
        EXPECT_EQ(boxes(), std::vector<Box>{{NotDetected}}) << reply;
        EXPECT_EQ(lines.size(), 2u);
    }
}

TEST_F(DetectScripted, TableUnitOutsideTheListIsRefusedAndEndsTheDetection) {
    for (const char* reply : {"*0001JP=3\r\n", "*0001JP=-0.5\r\n", "*0001JP=abc\r\n", "*0001\r\n"}) {
        SCOPED_TRACE(reply);
        jp = reply;
        lines.clear();
        ui.boxes.clear();
        form.cboTableTempUnit.setListIndex(1);
        form.txtPressureReductionConstant.setText("old");

        form.cmdDetectZov_Click();

        EXPECT_EQ(boxes(), std::vector<Box>{{IllegalUnit}});
        EXPECT_EQ(lines, (std::vector<std::string>{"*0100VR", "*0100VR", "*0100JH", "*0100JP"}));
        EXPECT_EQ(form.cboTableTempUnit.listIndex(), 1);
        EXPECT_EQ(form.txt12HourTemp.text(), "25");
        EXPECT_EQ(form.txtPressureReductionConstant.text(), "old");
        EXPECT_EQ(frames(), SetupOnly);
        EXPECT_FALSE(port.isOpen());
    }
}

TEST_F(DetectScripted, ReplyTooShortForAValueGivesAnEmptyValue) {
    jh = "*0001\r\n";
    jc = "*0001JC\r\n";
    form.txt12HourTemp.setText("old");
    form.txtPressureReductionConstant.setText("old");
    form.cmdDetectZov_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(form.txt12HourTemp.text(), "");
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "");
    EXPECT_EQ(form.Label2.caption(), "Unit detected!");
}

}  // namespace
}  // namespace qv::test
