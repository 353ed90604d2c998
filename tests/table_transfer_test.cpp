// Moving the table between the window and a simulated unit over a pseudo
// terminal: the lines on the wire of "Save Table to Unit" and "Get Table from
// Unit", and closing the window while an operation waits for the unit. Table
// files the write refuses, echoes and faults of the unit are in
// fault_matrix_test.cpp.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <tuple>

#include "support/unit_fixture.h"

namespace qv::test {
namespace {

using Lines = std::vector<std::string>;

class TableTransfer : public UnitFixture {
protected:
    // Loads a table file into List1 as the user would before a write.
    void loadFile(const std::string& content) {
        dir.write("table.txt", content);
        form.Text1.setText(dir.file("table.txt"));
        form.Command10_Click();
    }
    // The lines the unit got since the last call.
    Lines newLines() {
        Lines all = unitReceived();
        Lines out(all.begin() + seen, all.end());
        seen = all.size();
        return out;
    }
    size_t seen = 0;
};

// A write sends each value in its shortest form; a read asks for the
// temperature and the ratio of each line until the end marker, which is
// recognised by its value however the unit writes it.
TEST_F(TableTransfer, WriteSendsShortestValuesAndTheReadTakesThemBackLineByLine) {
    startUnitWith([](sim::UnitConfig& c) { c.table.clear(); });
    loadFile("* PRR\r\n*\r\n20.50 1.0000\r\n\r\n   +5 0.9876\r\n-40     1.0123   \r\n2            1.0123456789\r\n");
    form.Command1_Click();
    EXPECT_EQ(newLines(), (Lines{"*0100VR", "*0100PB", "*0100EW*0100JT001=20.5", "*0100EW*0100JR001=1",
                                 "*0100EW*0100JT002=5", "*0100EW*0100JR002=.9876", "*0100EW*0100JT003=-40",
                                 "*0100EW*0100JR003=1.0123", "*0100EW*0100JT004=2", "*0100EW*0100JR004=1.0123456789"}));

    unit->withModel([](sim::UnitModel& m) { m.config().table.insert(m.config().table.end(), {{"9999.0", "1"}, {"7", "7"}}); });
    std::set<std::string> seenStatus;
    ui.onEvents = [&] { seenStatus.insert(form.Label2.caption()); };
    int bar = -1;
    ui.onBox = [&](const MessageRecord&) { bar = form.ProgressBar1.value(); };
    form.Command4_Click();
    EXPECT_EQ(newLines(), (Lines{"*0100VR", "*0100JT001", "*0100JR001", "*0100JT002", "*0100JR002", "*0100JT003",
                                 "*0100JR003", "*0100JT004", "*0100JR004", "*0100JT005"}));
    EXPECT_EQ(form.List2.items(), (Lines{" 20.5  1", " 5  .9876", "-40  1.0123", " 2  1.0123456789"}));
    EXPECT_EQ(std::make_tuple(bar, form.ProgressBar1.max()), std::make_tuple(5, 180));
    EXPECT_TRUE(seenStatus.count("Sending: *0100JR002") && seenStatus.count("Received :*0001JR002=.9876\r\n"));

    // The longest table the write takes reads back whole; its end marker is
    // asked for as line 1000.
    std::string lines999;
    for (int i = 1; i <= 999; ++i) lines999 += std::to_string(i) + " 1." + std::to_string(i) + "\r\n";
    loadFile(lines999);
    form.Command1_Click();
    form.Command4_Click();
    ASSERT_EQ(form.List2.listCount(), 999);
    EXPECT_EQ(form.List2.list(998), " 999  1.999");
    EXPECT_EQ(newLines().back(), "*0100JT1000");
    EXPECT_EQ(form.Label2.caption(), "Table transferred successfully from unit.");
}

// A close by the user while values are being written asks first; a close by
// the system (a termination signal) never asks; reading operations end at
// once. The close comes when the status line first shows the given text.
struct Closing {
    const char* name;
    int task;  // table write, configuration write, barometric mode write, table read, configuration read
    std::string closeAt;
    CloseRequest how;
    std::optional<Answer> answer;  // none: nobody is asked
    std::string last;              // the last line sent; empty: the operation runs on to its end
};
void PrintTo(const Closing& row, std::ostream* out) { *out << row.name; }
class ClosingTheWindow : public TableTransfer, public ::testing::WithParamInterface<Closing> {};

TEST_P(ClosingTheWindow, WhileWritingAsksFirstAndOtherwiseEndsTheOperation) {
    const Closing& c = GetParam();
    startUnit();
    loadFile("1 2\r\n2 3\r\n3 4\r\n4 5\r\n");
    form.txt12HourTemp.setText("25");
    form.txtPressureReductionConstant.setText("29.92");
    form.cboTableTempUnit.setListIndex(1);
    form.Option4_0.setValue(true);
    form.EnableFrames();
    ui.boxes.clear();
    if (c.answer) ui.answerNextQuestion(*c.answer);
    ui.onEvents = [&, requested = false]() mutable {
        if (!requested && form.Label2.caption().starts_with(c.closeAt)) requested = true, form.requestClose(c.how);
    };
    Button* const buttons[] = {&form.Command1, &form.cmdWriteValues, &form.Command12, &form.Command4,
                               &form.cmdReadCurrentValues};
    const std::string done[] = {"Table successfully transferred to unit...", "Configuration values saved successfully.",
                                "Barometric Mode OK", "Table transferred successfully from unit.",
                                "Configuration values read successfully."};
    EXPECT_TRUE(buttons[c.task]->press());
    const bool goesOn = c.answer == Answer::No;
    EXPECT_EQ(form.closing(), !goesOn);
    EXPECT_EQ(form.Label2.caption() == done[c.task], goesOn) << form.Label2.caption();
    EXPECT_FALSE(port.isOpen() || form.busy());
    if (!c.last.empty()) { EXPECT_EQ(unitReceived().back(), c.last); }
    ASSERT_EQ(ui.boxes.empty(), !c.answer);
    if (c.answer) {  // the question comes first
        const MessageRecord& q = ui.boxes.front();
        EXPECT_EQ(std::make_tuple(q.text, q.title, q.buttons, q.icon),
                  std::make_tuple(" Values are still being written to the unit.  Closing now leaves the unit partly "
                                  "written.  Close anyway? ", AppTitle, Buttons::YesNo, Icon::Exclamation));
    }
}

const std::string AtThirdLine = "Sending: *0100EW*0100JT003";
INSTANTIATE_TEST_SUITE_P(Tasks, ClosingTheWindow, ::testing::Values(
    Closing{"TableWriteNo", 0, AtThirdLine, CloseRequest::User, Answer::No, ""},
    Closing{"TableWriteYes", 0, AtThirdLine, CloseRequest::User, Answer::Yes, "*0100EW*0100JT003=3"},
    Closing{"TableWriteSignal", 0, AtThirdLine, CloseRequest::Forced, {}, "*0100EW*0100JT003=3"},
    Closing{"ConfigWriteNo", 1, "Writing config data to unit...", CloseRequest::User, Answer::No, ""},
    Closing{"BaroWriteYes", 2, "Writing Barometric mode...", CloseRequest::User, Answer::Yes, ""},
    // Between two lines, and while the unit is asked.
    Closing{"TableRead", 3, "Received :*0001JR002", CloseRequest::User, {}, "*0100JR002"},
    Closing{"ConfigRead", 4, "Reading Table Temperature Units Value from unit...", CloseRequest::User, {}, "*0100JP"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::test
