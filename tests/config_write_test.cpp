// "Save Displayed Values To Unit" against a simulated unit over a pseudo
// terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cmath>

#include "support/locale.h"
#include "support/unit_fixture.h"

namespace qv::test {
namespace {

const Box NotConfirmed{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Info"};
const Box Differs{" Value retuned is different than value set. ", "Info"};
const std::string SavedOk = "Configuration values saved successfully.";
const std::string Writing = "Writing config data to unit...";
using Lines = std::vector<std::string>;

class WriteValues : public UnitFixture {
protected:
    void show(int unitPosition, const std::string& temp, const std::string& constant) {
        form.cboTableTempUnit.setListIndex(unitPosition);
        form.txt12HourTemp.setText(temp);
        form.txtPressureReductionConstant.setText(constant);
    }
    // What the unit got since the last call, without the link checks.
    size_t seen = 0;
    Lines writesSeen() {
        Lines all = unitReceived(), out;
        for (size_t i = seen; i < all.size(); ++i)
            if (all[i] != "*0100VR") out.push_back(all[i]);
        seen = all.size();
        return out;
    }
    std::string shown() const { return form.txt12HourTemp.text() + "|" + form.txtPressureReductionConstant.text(); }
};

TEST_F(WriteValues, WritesTheThreeValuesInTheirShortestFormAndShowsTheEchoes) {
    startUnitWith([](sim::UnitConfig& c) { c.jp = "0", c.jh = "10", c.jc = "30"; });
    form.EnableFrames();
    show(1, "25", "29.92");
    std::string framesDuringLink;
    ui.onEvents = [&] { if (framesDuringLink.empty()) framesDuringLink = frames(); };
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(writesSeen(), (Lines{"*0100EW*0100JP=1", "*0100EW*0100JH=25", "*0100EW*0100JC=29.92"}));
    EXPECT_EQ(stored().jp + "|" + stored().jh + "|" + stored().jc, "1|25|29.92");
    EXPECT_EQ(shown(), " 25|29.92");
    EXPECT_EQ(form.Label2.caption(), SavedOk);
    EXPECT_EQ(framesDuringLink, "0000000000");  // off already while the link is verified
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());

    show(0, "-40", "-0.5");
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(writesSeen(), (Lines{"*0100EW*0100JP=0", "*0100EW*0100JH=-40", "*0100EW*0100JC=-.5"}));
    EXPECT_EQ(shown(), "-40|-.5");
}

// Under a locale with a decimal comma the values still read with "." as
// their point and with no grouping separator.
class WriteInLocale : public WriteValues, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        QV_SET_LOCALE_OR_SKIP(GetParam());
    }
    void TearDown() override { std::setlocale(LC_ALL, saved.c_str()); }
    const std::string saved = std::setlocale(LC_ALL, nullptr);
};

TEST_P(WriteInLocale, ValuesReadWithAPointAndACommaIsNoNumber) {
    startUnitWith([](sim::UnitConfig& c) { c.jc = "29.921"; });
    show(1, "25", "29.921");  // as detection leaves them
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{});
    EXPECT_EQ(writesSeen(), (Lines{"*0100EW*0100JP=1", "*0100EW*0100JH=25", "*0100EW*0100JC=29.921"}));
    EXPECT_EQ(form.Label2.caption(), SavedOk);
    const std::tuple<const char*, const char*, const char*> refused[] = {
        {"25", "29,92", "Invalid pressure reduction constant value"},
        {"1,000", "29.92", "Invalid 12-hour temperature value - integers only"},
    };
    for (const auto& [temp, constant, box] : refused) {
        ui.boxes.clear();
        show(1, temp, constant);
        form.cmdWriteValues_Click();
        EXPECT_EQ(boxes(), std::vector<Box>{{box}}) << temp << " / " << constant;
        EXPECT_EQ(writesSeen(), Lines{});
    }
}

INSTANTIATE_TEST_SUITE_P(DecimalComma, WriteInLocale, ::testing::Values("de_DE.UTF-8", "fr_FR.UTF-8"));

TEST_F(WriteValues, ChecksBeforeSendingStopAtTheFirstFailure) {
    // No unit and an empty port box: a click whose checks all pass ends with
    // the link check's own message, and nothing can be sent either way.
    setLink("", "01");
    const std::string Passes = "Must supply value for COM port, baud rate, and ID.";
    const std::string NotInteger = "Invalid 12-hour temperature value - integers only";
    const std::string TempRange = "12-hour temperature value out of range (-9999999  to 9999999)";
    const std::string NotNumber = "Invalid pressure reduction constant value";
    const std::string ConstantRange = "Pressure reduction constant value out of range (-9999999  to 9999999)";
    const std::tuple<std::string, const char*, std::string> cases[] = {
        {"12.5", "29.92", NotInteger}, {"", "29.92", NotInteger}, {"2-5", "29.92", NotInteger},
        {"10000000", "29.92", TempRange}, {"-1E300", "29.92", TempRange}, {"-9999999", "29.92", Passes},
        // However large, beyond a double's range included.
        {"1E400", "29.92", TempRange}, {"1" + std::string(309, '0'), "29.92", TempRange},
        {"25", "-1E400", ConstantRange},
        {"25", "", NotNumber}, {"25", "1.2.3", NotNumber}, {"25", "9999999.5", ConstantRange},
        {"25", "-10000000", ConstantRange}, {"25", "9999999.4", Passes}, {"25", "-0.5", Passes},
    };
    for (const auto& [temp, constant, box] : cases) {
        SCOPED_TRACE(temp.substr(0, 20) + " / " + constant);
        const std::string before = frames();
        ui.boxes.clear();
        show(1, temp, constant);
        form.cmdWriteValues_Click();
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, box);
        if (box != Passes) {
            EXPECT_EQ(boxes(), std::vector<Box>{{box}});
            EXPECT_EQ(frames(), before);
        }
    }
    EXPECT_FALSE(port.isOpen());
}

TEST_F(WriteValues, WrongOrShortEchoesFailTheirOwnWriteOnly) {
    const struct {
        const char* what;
        std::function<void(sim::Faults&)> fault;
        const char* temp;
        std::vector<Box> boxes;
        std::string shown;
    } cases[] = {
        {"echo 24", [](sim::Faults& f) { f.echoOverride = "24"; }, "25", {NotConfirmed, Differs, NotConfirmed},
         "25|29.92"},
        // A constant within the tolerance is shown as returned.
        {"echo 29.9200001", [](sim::Faults& f) { f.echoOverride = "29.9200001"; }, "25", {NotConfirmed, Differs},
         "25|29.9200001"},
        {"echo 29.9200005", [](sim::Faults& f) { f.echoOverride = "29.9200005"; }, "25", {NotConfirmed, Differs},
         "25|29.9200005"},
        // Beyond it the constant is refused.
        {"echo 29.92001", [](sim::Faults& f) { f.echoOverride = "29.92001"; }, "25",
         {NotConfirmed, Differs, NotConfirmed}, "25|29.92"},
        // Echoes that carry no number confirm nothing, not even a 0.
        {"short replies", [](sim::Faults& f) { f.shortReply = true; }, "0", {NotConfirmed, Differs, NotConfirmed},
         "0|29.92"},
        {"echo abc", [](sim::Faults& f) { f.echoOverride = "abc"; }, "0", {NotConfirmed, Differs, NotConfirmed},
         "0|29.92"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui.boxes.clear();
        unit.reset();
        seen = 0;
        startUnitWith([&](sim::UnitConfig& cfg) { c.fault(cfg.faults); });
        show(1, c.temp, "29.92");
        form.cmdWriteValues_Click();
        EXPECT_EQ(boxes(), c.boxes);
        EXPECT_EQ(writesSeen().size(), 3u);
        EXPECT_EQ(shown(), c.shown);
        EXPECT_EQ(form.Label2.caption(), Writing);
        EXPECT_EQ(form.CommOK, 0);
        EXPECT_EQ(frames(), AllEnabled);
        EXPECT_FALSE(port.isOpen());
    }
}

TEST_F(WriteValues, TwelveHourValueMustBeInTheUnitTableAndNoUnitSelectedSendsNoUnitLine) {
    startUnit();
    for (const char* row : {" 10  1.01", "   20  1.1 ", "-30  .98"}) form.List2.addItem(row);
    show(-1, "25", "29.92");
    form.cmdWriteValues_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{NotConfirmed, {" 12 H Temperature Value Not in Table. ", "Write"}}));
    EXPECT_EQ(writesSeen(), Lines{"*0100EW*0100JC=29.92"});
    EXPECT_EQ(stored().jp, "1");
    EXPECT_EQ(form.Label2.caption(), Writing);
    for (const char* temp : {"20", "-30"}) {
        ui.boxes.clear();
        show(1, temp, "29.92");
        form.cmdWriteValues_Click();
        EXPECT_EQ(boxes(), std::vector<Box>{}) << temp;
        EXPECT_EQ(stored().jh, std::string(temp));
        EXPECT_EQ(form.Label2.caption(), SavedOk);
    }
}

TEST_F(WriteValues, PortFailureStopsTheWriteAndAClickDuringTheLinkCheckStartsNothing) {
    startUnitWith([](sim::UnitConfig& c) { c.faults.hangupAfter = 5; });  // the second JP line drops the line
    form.EnableFrames();
    show(1, "25", "29.92");
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

    form.cmdWriteValues_Click();
    expectPortFailure();
}

// JP and JC lines that get no reply go out three times at most, the JH line
// once (3 s + 3 s + 3 s, 5 s, 3 s + 3 s of waits).
class WriteScripted : public ScriptedFixture {};

TEST_F(WriteScripted, UnitAndConstantLinesAreSentAgainAfterAMissingReply) {
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
    form.cboTableTempUnit.setListIndex(2);
    form.txt12HourTemp.setText("7");
    form.txtPressureReductionConstant.setText("30");
    form.cmdWriteValues_Click();
    const std::string jp = "*0100EW*0100JP=2", jc = "*0100EW*0100JC=30";
    EXPECT_EQ(lines, (Lines{"*0100VR", jp, jp, jp, "*0100EW*0100JH=7", jc, jc, jc}));
    // Each line waited its own time for the reply that did not come.
    std::vector<long> waited;
    for (size_t i = 1; i < at.size(); ++i)
        waited.push_back(std::lround(std::chrono::duration<double>(at[i] - at[i - 1]).count()));
    EXPECT_EQ(waited, (std::vector<long>{0, 3, 3, 3, 5, 3, 3}));
    EXPECT_EQ(boxes(), (std::vector<Box>{NotConfirmed,
                                         {" Unit is not responding or is not a Rarerizeza Rerededo!  ", "Communications"}}));
    EXPECT_EQ(statusAtBox, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(form.txt12HourTemp.text(), "7");
    EXPECT_EQ(form.txtPressureReductionConstant.text(), "30.0000005");
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(frames(), AllEnabled);
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace qv::test
