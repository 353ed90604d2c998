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
    f.cboTableTempUnit.setListIndex(position), f.txt12HourTemp.setText(temp), f.txtPressureReductionConstant.setText(constant);
}

// A simulated unit with the given JH and JP values whose replies are "*0001"
// CR LF, stop after the first n, or echo every write as the given value.
sim::UnitConfig unit(const char* jh, const char* jp, bool shortReply = false, int silentAfter = -1, const char* echo = "",
                     char kind = 'P') {
    sim::UnitConfig c = sim::defaultConfig();
    c.jh = jh, c.jp = jp, c.kind = kind;
    c.faults.shortReply = shortReply, c.faults.silentAfter = silentAfter, c.faults.echoOverride = echo;
    return c;
}

// Detecting: the identity is the first nine characters of the second VR
// reply, of a unit of kind P, M or X; a missing value ends the detection; a
// table unit outside 0 to 2 is refused; each keeps what the boxes showed and
// leaves only the link settings and "Detect Unit" usable.
// Reading: one query per value. The 12-hour value must lie strictly between
// -10000 and 100000; the table unit is the reply's ninth character alone.
// Writing: each value goes out in its shortest form and its echo is shown; the
// 12-hour value must be one of the table's temperatures; with no unit
// selected no unit line is sent; a constant echoed within 0.000001 is shown as
// returned; an echo with no number confirms nothing, not even a 0. Either way
// a value that fails is reported on its own and the next one goes ahead.
// sent: after the link check, "*0100" before each word, "*0100EW*0100" before
// a write's; shown: the three values and the status.
struct OpRow { void (MainForm::*click)(); sim::UnitConfig unit; int position; const char *temp, *constant, *sent; Boxes boxes; std::string shown; };

void PrintTo(const OpRow& r, std::ostream* out) { *out << r.sent << " -> " << r.shown; }

constexpr auto Detect = &MainForm::cmdDetectZov_Click;
class Operation : public UnitFixture, public ::testing::WithParamInterface<OpRow> {};

TEST_P(Operation, SendsItsLinesAndShowsWhatTheUnitTold) {
    const OpRow& row = GetParam();
    startUnit(row.unit);
    for (const char* line : {" 10  1.01", "   20  1.1 ", "-30  .98", "0 1"}) form.List2.addItem(line);
    form.Option4_1.setValue(true);
    form.defaultButton = &form.cmdDetectZov;
    show(form, row.position, row.temp, row.constant);
    (form.*row.click)();
    EXPECT_EQ(boxes(), row.boxes);
    Lines sent{"*0100VR"};
    std::istringstream words(row.sent);
    for (std::string w; words >> w;)
        sent.push_back((w.find('=') != std::string::npos && w[0] == 'J' ? "*0100EW*0100" : "*0100") + w);
    EXPECT_EQ(unitReceived(), sent);
    EXPECT_EQ(shown(form) + "|" + form.Label2.caption(), row.shown);
    EXPECT_EQ(frames(), row.click == Detect && !row.boxes.empty() ? "0000000011" : AllEnabled);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(form.defaultButton, row.click == Detect ? nullptr : &form.cmdDetectZov);  // Enter no longer detects
}

constexpr auto Read = &MainForm::cmdReadCurrentValues_Click;
constexpr auto Write = &MainForm::cmdWriteValues_Click;
const std::string ReadingJc = "|Reading Pressure Reduction Constant Value from unit...";
const std::string Writing = "|Writing config data to unit...";
const Boxes NoneConfirmed{NotConfirmed, Differs, NotConfirmed};
INSTANTIATE_TEST_SUITE_P(Rows, Operation, ::testing::Values(
    OpRow{Detect, unit("25", "1", false, -1, "", 'Q'), 1, "b", "b", "VR", {{" Unit not detected!  Check communication settings and connections. "}}, "b|1|b|"},
    OpRow{Detect, unit("-40", "2.7", false, -1, "", 'M'), 1, "b", "b", "VR JH JP JC", {}, "-40|2|29.92|Unit detected!"},  // 2.7 rounds down
    OpRow{Detect, unit("25", "1", false, 2), 1, "b", "b", "VR JH", {ErrComm}, "b|1|b|"},
    OpRow{Detect, unit("25", "1", false, 3), 1, "b", "b", "VR JH JP", {ErrComm}, "25|1|b|"},
    OpRow{Detect, unit("25", "3"), 1, "b", "b", "VR JH JP", {Illegal}, "25|1|b|"},
    OpRow{Detect, unit("25", "-0.5"), 1, "b", "b", "VR JH JP", {Illegal}, "25|1|b|"},
    OpRow{Detect, unit("25", "abc"), 1, "b", "b", "VR JH JP", {Illegal}, "25|1|b|"},
    OpRow{Read, unit("99999.5", "12"), 1, "b", "b", "JH JP JC", {}, " 99999.5|1|29.92|Configuration values read successfully."},
    OpRow{Read, unit("-10000", "3"), 1, "b", "b", "JH JP JC", {TempRefused, Illegal}, "b|1|29.92" + ReadingJc},
    OpRow{Read, unit("100000", "x"), 1, "b", "b", "JH JP JC", {TempRefused, Illegal}, "b|1|29.92" + ReadingJc},
    // "*0001" CR LF: JH reads as 0, JP has no ninth character, JC no value.
    OpRow{Read, unit("25", "1", true), 1, "b", "b", "JH JP JC", {Illegal, NoReply}, " 0|1|b|"},
    OpRow{Read, unit("25", "1", false, 1), 1, "b", "b", "JH JP JC", {NoReplyJh, NoReply, NoReply}, "b|1|b|"},
    OpRow{Write, unit("25", "1"), 0, "20", "-0.5", "JP=0 JH=20 JC=-.5", {}, " 20|0|-.5|" + SavedOk},
    OpRow{Write, unit("25", "1"), -1, "25", "29.92", "JC=29.92", {NotConfirmed, {" 12 H Temperature Value Not in Table. ", "Write"}}, "25|-1|29.92" + Writing},
    OpRow{Write, unit("25", "1", false, -1, "29.9200005"), 1, "-30", "29.92", "JP=1 JH=-30 JC=29.92", {NotConfirmed, Differs}, "-30|1|29.9200005" + Writing},
    OpRow{Write, unit("25", "1", false, -1, "29.92001"), 1, "-30", "29.92", "JP=1 JH=-30 JC=29.92", NoneConfirmed, "-30|1|29.92" + Writing},
    OpRow{Write, unit("25", "1", true), 1, "0", "29.92", "JP=1 JH=0 JC=29.92", NoneConfirmed, "0|1|29.92" + Writing},
    OpRow{Write, unit("25", "1", false, -1, "abc"), 1, "0", "29.92", "JP=1 JH=0 JC=29.92", NoneConfirmed, "0|1|29.92" + Writing},
    // "Disable" writes 0 ("Enable" is the fault matrix's).
    OpRow{&MainForm::Command12_Click, unit("25", "1"), 1, "b", "b", "EZ*0100PB=0", {}, "b|1|b|Barometric Mode OK"}));

// Nothing is sent without every link box filled in or with no mode chosen;
// a line that drops at the first exchange after the link check is reported
// and closes the port.
TEST_F(UnitFixture, NothingIsSentWithoutALinkOrAMode) {
    startUnit();
    for (ComboBox* box : {&form.Combo1, &form.Combo2, &form.Combo3}) {
        const std::string kept = box->text();
        box->setText(""), form.cmdReadCurrentValues_Click(), box->setText(kept);
    }
    form.Command12_Click();
    const Box link{"Must supply value for COM port, baud rate, and ID.", "Error", Icon::Stop};
    EXPECT_EQ(boxes(), (Boxes{link, link, link, {" Please Select Mode to write. ", "Info"}}));
    EXPECT_EQ(unitReceived(), Lines{"*0100VR"});
}

TEST_F(UnitFixture, ALineThatDropsIsReported) {
    for (auto click : {Read, Write, &MainForm::Command12_Click}) {
        ui.boxes.clear();
        startUnitWith([](sim::UnitConfig& c) { c.faults.hangupAfter = 1; });
        form.Option4_0.setValue(true);
        show(form, 1, "25", "29.92");
        // A click while the operation runs starts nothing.
        bool delivered = false;
        ui.onEvents = [&] {
            delivered = delivered || form.cmdReadCurrentValues.press() || form.cmdWriteValues.press() ||
                        form.cmdDetectZov.press() || form.Command12.press();
        };
        (form.*click)();
        ui.onEvents = nullptr;
        EXPECT_FALSE(delivered);
        const Box dropped{" The serial device " + unit->slavePath() + " was disconnected. Plug it in again and "
                          "repeat the operation. ", "Port", Icon::Exclamation};
        EXPECT_EQ(boxes(), Boxes{dropped});
        EXPECT_EQ(std::to_string(form.CommOK) + std::to_string(port.isOpen()) + frames(), "00" + std::string(AllEnabled));
    }
}

// The checks before anything is sent stop at the first failure; values that
// pass go out as shown, under a locale with a decimal comma too, where "."
// is still the point and a comma no number.
const std::string NotInteger = "Invalid 12-hour temperature value - integers only";
const std::string TempRange = "12-hour temperature value out of range (-9999999  to 9999999)";
const std::string NotNumber = "Invalid pressure reduction constant value";
const std::string ConstantRange = "Pressure reduction constant value out of range (-9999999  to 9999999)";
// locale, temperature, constant, the box ("" when the values pass)
using CheckRow = std::tuple<const char*, std::string, std::string, std::string>;

class WriteCheck : public UnitFixture, public ::testing::WithParamInterface<CheckRow> {
protected:
    void TearDown() override { std::setlocale(LC_ALL, saved.c_str()); }
    const std::string saved = std::setlocale(LC_ALL, nullptr);
};

TEST_P(WriteCheck, StopsAtTheFirstFailureOrSendsTheValues) {
    const auto& [locale, temp, constant, box] = GetParam();
    QV_SET_LOCALE_OR_SKIP(locale);
    startUnit();
    show(form, 1, temp, constant);
    const std::string before = frames();
    form.cmdWriteValues_Click();
    const Lines sent{"*0100VR", "*0100EW*0100JP=1", "*0100EW*0100JH=" + temp, "*0100EW*0100JC=" + constant};
    EXPECT_EQ(unitReceived(), box.empty() ? sent : Lines{});
    if (!box.empty()) { EXPECT_EQ(boxes().at(0).text + frames(), box + before); }
}

const char *const De = "de_DE.UTF-8", *const Fr = "fr_FR.UTF-8";
INSTANTIATE_TEST_SUITE_P(Values, WriteCheck, ::testing::Values(
    CheckRow{"C", "12.5", "29.92", NotInteger}, CheckRow{"C", "", "29.92", NotInteger},
    CheckRow{"C", "10000000", "29.92", TempRange}, CheckRow{"C", "1" + std::string(309, '0'), "29.92", TempRange},
    CheckRow{"C", "-9999999", "29.92", ""}, CheckRow{"C", "25", "", NotNumber},
    CheckRow{"C", "25", "9999999.5", ConstantRange}, CheckRow{"C", "25", "-10000000", ConstantRange},
    CheckRow{"C", "25", "9999999.4", ""}, CheckRow{De, "25", "29.921", ""}, CheckRow{Fr, "25", "29.921", ""},
    CheckRow{De, "25", "29,92", NotNumber}, CheckRow{De, "1,000", "29.92", NotInteger}));

// JP and JC lines that get no reply go out three times at most, the JH line
// once (3 s + 3 s + 3 s, 5 s, 3 s + 3 s of waits); a late third JC reply is
// still taken.
TEST_F(ScriptedFixture, WriteSendsUnitAndConstantLinesAgainAfterAMissingReply) {
    startPeer();
    int jcSeen = 0;
    std::vector<long> waited;  // seconds before each line came
    auto last = std::chrono::steady_clock::now();
    script = [&](const std::string& line) -> std::string {
        const auto now = std::chrono::steady_clock::now();
        waited.push_back(std::lround(std::chrono::duration<double>(now - last).count()));
        last = now;
        if (line == "*0100VR") return "*0001VR=P\r\n";
        return line == "*0100EW*0100JC=30" && ++jcSeen == 3 ? "*0001JC=30.0000005\r\n" : "";
    };
    show(form, 2, "7", "30");
    form.cmdWriteValues_Click();
    const std::string jp = "*0100EW*0100JP=2", jc = "*0100EW*0100JC=30";
    EXPECT_EQ(lines, (Lines{"*0100VR", jp, jp, jp, "*0100EW*0100JH=7", jc, jc, jc}));
    EXPECT_EQ(waited, (std::vector<long>{0, 0, 3, 3, 3, 5, 3, 3}));  // the first from the click
    EXPECT_EQ(boxes(), (Boxes{NotConfirmed, NoReplyJh}));
    EXPECT_EQ(shown(form), "7|2|30.0000005");
}

}  // namespace
}  // namespace qv::test
