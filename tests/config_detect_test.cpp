// "Detect Unit" against a simulated unit over a pseudo terminal.
#include <gtest/gtest.h>

#include "support/unit_fixture.h"

namespace qv::test {
namespace {

const Box NotDetected{" Unit not detected!  Check communication settings and connections. "};
const Box IllegalUnit{" Illegal table temp unit returned. "};
// After a failed detection only Program Setup (with Communications) is usable.
const std::string SetupOnly = "0000000011";
using Lines = std::vector<std::string>;

class Detect : public UnitFixture {
protected:
    void showOld() {
        form.txt12HourTemp.setText("old");
        form.cboTableTempUnit.setListIndex(0);
        form.txtPressureReductionConstant.setText("old");
    }
    std::string shown() const {
        return form.txt12HourTemp.text() + "|" + std::to_string(form.cboTableTempUnit.listIndex()) + "|" +
               form.txtPressureReductionConstant.text();
    }
};

TEST_F(Detect, AcceptsEachKnownKindAndFillsTheConfiguration) {
    for (char kind : {'P', 'M', 'X'}) {
        SCOPED_TRACE(std::string("kind ") + kind);
        unit.reset();
        startUnitWith([&](sim::UnitConfig& c) { c.id = "07", c.kind = kind, c.jh = "-40", c.jp = "2.7", c.jc = "29.921"; });
        form.defaultButton = &form.cmdDetectZov;
        showOld();
        std::string framesDuring;
        ui.onEvents = [&] { if (form.CommOK == 1 && framesDuring.empty()) framesDuring = frames(); };
        form.cmdDetectZov_Click();
        EXPECT_EQ(boxes(), std::vector<Box>{});
        EXPECT_EQ(unitReceived(), (Lines{"*0700VR", "*0700VR", "*0700JH", "*0700JP", "*0700JC"}));
        EXPECT_EQ(shown(), "-40|2|29.921");  // as received; 2.7 rounds down
        EXPECT_EQ(form.Label2.caption(), "Unit detected!");
        EXPECT_EQ(framesDuring, "0000000001");
        EXPECT_EQ(frames(), AllEnabled);
        EXPECT_EQ(form.defaultButton, nullptr);
        EXPECT_FALSE(port.isOpen());
    }
}

TEST_F(Detect, RefusalsLeaveOnlyProgramSetupUsable) {
    startUnitWith([](sim::UnitConfig& c) { c.kind = 'Q'; });
    form.EnableFrames();
    showOld();
    form.cmdDetectZov_Click();
    form.cmdDetectZov_Click();  // a second click starts again from the link check
    EXPECT_EQ(boxes(), (std::vector<Box>{NotDetected, NotDetected}));
    EXPECT_EQ(unitReceived(), (Lines{"*0100VR", "*0100VR", "*0100VR", "*0100VR"}));
    EXPECT_EQ(shown(), "old|0|old");
    EXPECT_EQ(frames(), SetupOnly);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(form.defaultButton, nullptr);

    // The link check fails: nothing is sent.
    ui.boxes.clear();
    form.Combo3.setText("");
    form.cmdDetectZov_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{"Must supply value for COM port, baud rate, and ID.", "Error", Icon::Stop}}));
    EXPECT_EQ(unitReceived().size(), 4u);
    EXPECT_EQ(frames(), SetupOnly);
}

TEST_F(Detect, PortFailureIsReportedAndClosesThePort) {
    // The line drops when the identity query arrives.
    startUnitWith([](sim::UnitConfig& c) { c.faults.hangupAfter = 1; });
    form.cmdDetectZov_Click();
    expectPortFailure(SetupOnly);
}

// A time-out at each value query (5 s each): the values read before it stay,
// later queries are not sent.
class DetectTimeout : public Detect, public ::testing::WithParamInterface<int> {};

TEST_P(DetectTimeout, StopsAtTheSilentQuery) {
    const int answered = GetParam();  // VR twice, then JH, JP
    startUnitWith([&](sim::UnitConfig& c) { c.jh = "33", c.faults.silentAfter = answered; });
    showOld();
    form.cmdDetectZov_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{{" Error communicating with unit "}});
    const Lines all{"*0100VR", "*0100VR", "*0100JH", "*0100JP", "*0100JC"};
    EXPECT_EQ(unitReceived(), Lines(all.begin(), all.begin() + answered + 1));
    const char* const expected[] = {"old|0|old", "33|0|old", "33|1|old"};
    EXPECT_EQ(shown(), expected[answered - 2]);
    EXPECT_EQ(frames(), SetupOnly);
    EXPECT_FALSE(port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(AtJhJpJc, DetectTimeout, ::testing::Values(2, 3, 4));

// Replies the simulated unit does not give.
class DetectScripted : public ScriptedFixture {
protected:
    std::string vr = "*0001VR=P1.1.0\r\n", jh = "*0001JH=25\r\n", jp = "*0001JP=1\r\n", jc = "*0001JC=29.92\r\n";
    void SetUp() override {
        startPeer();
        script = [this](const std::string& line) -> std::string {
            if (line == "*0100VR") return lines.size() == 1 ? "*0001VR=1\r\n" : vr;
            return line == "*0100JH" ? jh : line == "*0100JP" ? jp : line == "*0100JC" ? jc : "";
        };
    }
    void detect() {
        lines.clear();
        ui.boxes.clear();
        form.cmdDetectZov_Click();
    }
};

TEST_F(DetectScripted, IdentityIsTheFirstNineCharactersCompared) {
    for (std::string reply : {"*0001vr=p\r\n", "*0002VR=P\r\n", "*0001VR=\r\n"}) {
        vr = reply;
        detect();
        EXPECT_EQ(boxes(), std::vector<Box>{NotDetected}) << reply;
        EXPECT_EQ(lines.size(), 2u);
    }
    vr = "*0001VR=Mrest\r\n";
    detect();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(form.Label2.caption(), "Unit detected!");
}

// A reply too short to carry a value text tells no value: the detection ends
// as after a missing reply, and the boxes keep what they showed.
TEST_F(DetectScripted, AReplyWithoutValueTextEndsTheDetectionAsATimeOut) {
    const struct {
        std::string* reply;
        const char* text;
        size_t sent;  // VR twice, then JH, JP, JC
        const char* shown;
    } cases[] = {
        {&jh, "*0001\r\n", 3, "old|1|old"}, {&jh, "\n", 3, "old|1|old"},
        {&jp, "*0001\r\n", 4, "25|1|old"}, {&jc, "*0001JC\r\n", 5, "25|1|old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.sent) + " " + c.text);
        const std::string kept = *c.reply;
        *c.reply = c.text;
        form.txt12HourTemp.setText("old");
        form.cboTableTempUnit.setListIndex(1);
        form.txtPressureReductionConstant.setText("old");
        form.Label2.setCaption("");
        detect();
        *c.reply = kept;
        EXPECT_EQ(boxes(), std::vector<Box>{{" Error communicating with unit "}});
        EXPECT_EQ(lines.size(), c.sent);
        EXPECT_EQ(form.txt12HourTemp.text() + "|" + std::to_string(form.cboTableTempUnit.listIndex()) + "|" +
                      form.txtPressureReductionConstant.text(),
                  c.shown);
        EXPECT_EQ(form.Label2.caption(), "");
        EXPECT_EQ(frames(), SetupOnly);
        EXPECT_FALSE(port.isOpen());
    }
}

TEST_F(DetectScripted, TableUnitOutsideTheListIsRefusedAndEndsTheDetection) {
    for (const char* reply : {"*0001JP=3\r\n", "*0001JP=-0.5\r\n", "*0001JP=abc\r\n"}) {
        SCOPED_TRACE(reply);
        jp = reply;
        form.cboTableTempUnit.setListIndex(1);
        form.txtPressureReductionConstant.setText("old");
        detect();
        EXPECT_EQ(boxes(), std::vector<Box>{IllegalUnit});
        EXPECT_EQ(lines, (Lines{"*0100VR", "*0100VR", "*0100JH", "*0100JP"}));
        EXPECT_EQ(form.cboTableTempUnit.listIndex(), 1);
        EXPECT_EQ(form.txt12HourTemp.text() + "|" + form.txtPressureReductionConstant.text(), "25|old");
        EXPECT_EQ(frames(), SetupOnly);
        EXPECT_FALSE(port.isOpen());
    }
}

}  // namespace
}  // namespace qv::test
