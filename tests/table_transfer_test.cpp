// Moving the table between the window and a simulated unit over a pseudo
// terminal: "Get Table from Unit" and "Save Table to Unit", and closing the
// window while an operation waits for the unit. A silent, late, garbled or
// hung-up unit is in fault_matrix_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <tuple>

#include "support/unit_fixture.h"

namespace qv::test {
namespace {

const Box Complete{"           Transfer Complete.                           ", "Information", Icon::Information};

// A table file of `lines` lines "<i> 1.<i>".
std::string countingFile(int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i) text += std::to_string(i) + " 1." + std::to_string(i) + "\r\n";
    return text;
}

class TableTransfer : public UnitFixture {
protected:
    // Loads a table file into List1 as the user would before a write.
    void loadFile(const std::string& content) {
        dir.write("table.txt", content);
        form.Text1.setText(dir.file("table.txt"));
        form.Command10_Click();
        ui.boxes.clear();
    }
    void expectEndedCleanly() {
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(form.ProgressBar1.value(), 0);
        EXPECT_EQ(frames(), AllEnabled);
    }
};

// ---- Reading the table from the unit ---------------------------------------------

TEST_F(TableTransfer, ReadTakesTwoCommandsPerLineAndOneForTheEndMarker) {
    startUnitWith([](sim::UnitConfig& c) { c.table = {{"20", "1.0123"}, {"-40", "0.9876"}, {"0", "1.50"}}; });
    std::set<std::string> statusSeen;
    ui.onEvents = [&] { statusSeen.insert(form.Label2.caption()); };
    int progressAtBox = -1;
    ui.onBox = [&](const MessageRecord&) { progressAtBox = form.ProgressBar1.value(); };

    form.Command4_Click();

    EXPECT_EQ(unitReceived(), (std::vector<std::string>{"*0100VR", "*0100JT001", "*0100JR001", "*0100JT002",
                                                        "*0100JR002", "*0100JT003", "*0100JR003", "*0100JT004"}));
    EXPECT_EQ(form.List2.items(), (std::vector<std::string>{" 20  1.0123", "-40  .9876", " 0  1.5"}));
    EXPECT_EQ(boxes(), std::vector<Box>{Complete});
    EXPECT_EQ(progressAtBox, 4);
    EXPECT_EQ(form.ProgressBar1.max(), 180);
    EXPECT_TRUE(statusSeen.count("Sending: *0100JR002"));
    EXPECT_TRUE(statusSeen.count("Received :*0001JR002=0.9876\r\n"));
    EXPECT_EQ(form.Label2.caption(), "Table transferred successfully from unit.");
    EXPECT_EQ(form.CommOK, 1);
    expectEndedCleanly();
}

// The end marker is recognised by its value, however the unit writes it.
class EndMarker : public ScriptedFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(EndMarker, EndsTheReadWithTheRowsBeforeIt) {
    startPeer();
    script = [this](const std::string& line) -> std::string {
        if (line == "*0100VR") return "*0001VR=P1.1.0\r\n";
        return line == "*0100JT001" ? "*0001JT001=" + std::string(GetParam()) + "\r\n" : "";
    };
    form.List2.addItem("old row");
    form.Command4_Click();
    EXPECT_EQ(lines, (std::vector<std::string>{"*0100VR", "*0100JT001"}));
    EXPECT_EQ(form.List2.listCount(), 0);
    EXPECT_EQ(boxes(), std::vector<Box>{Complete});
    EXPECT_EQ(form.Label2.caption(), "Table transferred successfully from unit.");
}

INSTANTIATE_TEST_SUITE_P(Texts, EndMarker, ::testing::Values("9999", "9999.0", " 9999"));

// ---- Closing the window while an operation waits ---------------------------------

// A close by the user while values are being written asks first; a close by
// the system (a termination signal) never asks; reading operations end at
// once. The close comes when the status line first shows the given text.
enum class Task { TableWrite, ConfigWrite, BaroWrite, TableRead, ConfigRead };
struct Closing {
    const char* name;
    Task task;
    std::string closeAt;
    CloseRequest how;
    std::optional<Answer> answer;  // none: nobody is asked
    std::string lastSent;          // empty: the operation runs on to its end
};
void PrintTo(const Closing& row, std::ostream* out) { *out << row.name; }

class ClosingTheWindow : public TableTransfer, public ::testing::WithParamInterface<Closing> {};

TEST_P(ClosingTheWindow, WhileWritingAsksFirstAndOtherwiseEndsTheOperation) {
    const Closing& c = GetParam();
    startUnit();
    loadFile(countingFile(30));
    form.txt12HourTemp.setText("25");
    form.txtPressureReductionConstant.setText("29.92");
    form.cboTableTempUnit.setListIndex(1);
    form.Option4_0.setValue(true);
    form.EnableFrames();
    if (c.answer) ui.answerNextQuestion(*c.answer);
    bool requested = false;
    ui.onEvents = [&] {
        if (!requested && form.Label2.caption().rfind(c.closeAt, 0) == 0) {
            requested = true;
            EXPECT_FALSE(form.requestClose(c.how));
        }
    };
    Button* const buttons[] = {&form.Command1, &form.cmdWriteValues, &form.Command12, &form.Command4,
                               &form.cmdReadCurrentValues};
    const std::string succeeded[] = {"Table successfully transferred to unit...",
                                     "Configuration values saved successfully.", "Barometric Mode OK",
                                     "Table transferred successfully from unit.",
                                     "Configuration values read successfully."};
    EXPECT_TRUE(buttons[static_cast<int>(c.task)]->press());
    ui.onEvents = nullptr;
    EXPECT_TRUE(requested);
    const bool goesOn = c.answer == Answer::No;
    EXPECT_EQ(form.closing(), !goesOn);
    EXPECT_EQ(form.Label2.caption() == succeeded[static_cast<int>(c.task)], goesOn) << form.Label2.caption();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(form.busy());
    if (!c.lastSent.empty()) {
        EXPECT_EQ(unitReceived().back(), c.lastSent);
    }
    if (c.answer) {
        ASSERT_FALSE(ui.boxes.empty());
        const MessageRecord& q = ui.boxes.front();
        EXPECT_EQ(q.text, " Values are still being written to the unit.  Closing now leaves the unit "
                          "partly written.  Close anyway? ");
        EXPECT_EQ(std::make_tuple(q.title, q.buttons, q.icon),
                  std::make_tuple(AppTitle, Buttons::YesNo, Icon::Exclamation));
    } else {
        EXPECT_TRUE(ui.boxes.empty());
    }
    EXPECT_TRUE(ui.scriptDone());
}

const std::string AtThirdLine = "Sending: *0100EW*0100JT003";
INSTANTIATE_TEST_SUITE_P(Tasks, ClosingTheWindow, ::testing::Values(
    Closing{"TableWriteNo", Task::TableWrite, AtThirdLine, CloseRequest::User, Answer::No, ""},
    Closing{"TableWriteYes", Task::TableWrite, AtThirdLine, CloseRequest::User, Answer::Yes, "*0100EW*0100JT003=3"},
    Closing{"TableWriteSignal", Task::TableWrite, AtThirdLine, CloseRequest::Forced, {}, "*0100EW*0100JT003=3"},
    Closing{"ConfigWriteNo", Task::ConfigWrite, "Writing config data to unit...", CloseRequest::User, Answer::No, ""},
    Closing{"BaroWriteYes", Task::BaroWrite, "Writing Barometric mode...", CloseRequest::User, Answer::Yes, ""},
    // Between two lines, and while the unit is asked.
    Closing{"TableRead", Task::TableRead, "Received :*0001JR002", CloseRequest::User, {}, "*0100JR002"},
    Closing{"ConfigRead", Task::ConfigRead, "Reading Table Temperature Units Value from unit...", CloseRequest::User,
            {}, "*0100JP"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Writing the table to the unit -------------------------------------------------

TEST_F(TableTransfer, WriteSendsShortestValuesAndTheTableReadsBackTheSame) {
    startUnitWith([](sim::UnitConfig& c) { c.table.clear(); });
    loadFile("* PRR\r\n*\r\n20.50 1.0000\r\n\r\n   +5 0.9876\r\n-40     1.0123   \r\n"
             "2            1.0123456789\r\n");
    form.List2.addItem("old row");
    form.Command1_Click();

    EXPECT_EQ(unitReceived(),
              (std::vector<std::string>{"*0100VR", "*0100PB", "*0100EW*0100JT001=20.5", "*0100EW*0100JR001=1",
                                        "*0100EW*0100JT002=5", "*0100EW*0100JR002=.9876",
                                        "*0100EW*0100JT003=-40", "*0100EW*0100JR003=1.0123",
                                        "*0100EW*0100JT004=2", "*0100EW*0100JR004=1.0123456789"}));
    EXPECT_EQ(boxes(), std::vector<Box>{Complete});
    EXPECT_EQ(form.Label2.caption(), "Table successfully transferred to unit...");
    EXPECT_EQ(form.List2.listCount(), 0);
    EXPECT_EQ(form.CommOK, 1);
    expectEndedCleanly();

    ui.boxes.clear();
    form.Command4_Click();
    EXPECT_EQ(form.List2.items(),
              (std::vector<std::string>{" 20.5  1", " 5  .9876", "-40  1.0123", " 2  1.0123456789"}));

    // The longest table the write takes reads back whole; its end marker is
    // asked for as line 1000.
    loadFile(countingFile(999));
    form.Command1_Click();
    form.Command4_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{Complete, Complete}));
    ASSERT_EQ(form.List2.listCount(), 999);
    EXPECT_EQ(form.List2.list(998), " 999  1.999");
    EXPECT_EQ(unitReceived().back(), "*0100JT1000");
    EXPECT_EQ(form.Label2.caption(), "Table transferred successfully from unit.");
}

// A write ends with "Table successfully transferred to unit..." or, refused,
// with "Transfer aborted..."; either way the port is closed and the window
// usable. The checks of the whole file come before anything is sent; the
// write pass reads the file again as it is then, counts the data lines and
// leaves the unit with what was written before a refusal. The progress bar
// was sized for the lines loaded and never goes beyond its end (a value
// beyond it is refused).
struct Write {
    const char* name;
    std::optional<std::string> file;  // none: no table loaded
    std::string now;                  // the file's content at the write; empty: as loaded
    bool gone;                        // the file was removed after loading
    std::string echo;                 // what the unit echoes instead of the value sent
    Box box;
    std::vector<sim::TableLine> stored;
    std::string lastSent;
    bool writing;  // the write pass began: List2 is cleared
    int bar;       // the highest value the progress bar showed, up to the box
};
void PrintTo(const Write& row, std::ostream* out) { *out << row.name; }

class TableWrite : public TableTransfer, public ::testing::WithParamInterface<Write> {};

TEST_P(TableWrite, EndsAsTheFileAndTheEchoesAllow) {
    const Write& c = GetParam();
    startUnitWith([&](sim::UnitConfig& u) { u.table.clear(), u.faults.echoOverride = c.echo; });
    if (c.file) loadFile(*c.file);
    if (c.gone) std::filesystem::remove(dir.file("table.txt"));
    if (!c.now.empty()) dir.write("table.txt", c.now);
    form.List2.addItem("kept");
    int highest = 0;
    ui.onEvents = [&] { highest = std::max(highest, form.ProgressBar1.value()); };
    ui.onBox = [&](const MessageRecord&) { ui.onEvents(); };
    EXPECT_NO_THROW(form.Command1_Click());
    const bool done = c.box == Complete;
    EXPECT_EQ(boxes(), std::vector<Box>{c.box});
    EXPECT_EQ(stored().table, c.stored);
    EXPECT_EQ(unitReceived().back(), c.lastSent);
    EXPECT_EQ(form.List2.listCount(), c.writing ? 0 : 1);
    EXPECT_EQ(highest, c.bar);
    EXPECT_EQ(form.CommOK, done ? 1 : 0);
    EXPECT_EQ(form.Label2.caption(), done ? "Table successfully transferred to unit..." : "Transfer aborted...");
    expectEndedCleanly();
}

Box error(const std::string& text) { return {text, "Error", Icon::Exclamation}; }
std::string repeated(const std::string& line, int n) {
    std::string text;
    while (n-- > 0) text += line;
    return text;
}

INSTANTIATE_TEST_SUITE_P(Files, TableWrite, ::testing::Values(
    Write{"FileGrownSinceLoading", "1 2\r\n", "1 2\r\n3 4\r\n5 6\r\n", false, "", Complete,
          {{"1", "2"}, {"3", "4"}, {"5", "6"}}, "*0100EW*0100JR003=6", true, 1},
    Write{"CommentsOnlyWriteNothing", "1 2\r\n", "* only a comment\r\n\r\n   \r\n", false, "", Complete, {},
          "*0100PB", true, 0},
    Write{"EchoEqualInValue", "20 20\r\n", "", false, "20.000", Complete, {{"20", "20"}}, "*0100EW*0100JR001=20",
          true, 1},
    Write{"NoTableLoaded", {}, "", false, "", {" No Table from File to transfer. ", "Info", Icon::Exclamation}, {},
          "*0100VR", false, 0},
    Write{"TableFileGone", "20 1.0\r\n", "", true, "",
          {" Can't find selected file. Please verify... ", "File", Icon::Exclamation}, {}, "*0100VR", false, 0},
    Write{"MoreThan999Lines", repeated("1 2\r\n", 1000), "", false, "",
          error(" Table has more than 999 lines.  Transfer aborted. "), {}, "*0100VR", false, 0},
    Write{"MalformedLine7", repeated("*\r\n", 6) + "12\r\n20 1.0\r\n", "", false, "",
          error(" Invalid table entry, line  7.  Transfer aborted."), {}, "*0100VR", false, 0},
    Write{"TemperatureOfDataLine2", "*\r\n*\r\n*\r\n\r\n20 1.0\r\nabc 1.0\r\n", "", false, "",
          {" Non-numeric temperature value detected, line  2.  Transfer aborted.", "Error"}, {{"20", "1"}},
          "*0100EW*0100JR001=1", true, 2},
    Write{"RatioOfDataLine1", "* x\r\n3 x1\r\n", "", false, "",
          {" Non-numeric ratio value detected, line  1.  Transfer aborted.", "Error"}, {}, "*0100PB", true, 1},
    Write{"TemperatureBeyondADouble", "1E400 1.0\r\n", "", false, "",
          {" Non-numeric temperature value detected, line  1.  Transfer aborted.", "Error"}, {}, "*0100PB", true, 1},
    Write{"EchoThatDiffers", "1.0123 1.01234\r\n5 6\r\n", "", false, "1.0123",
          {" Value returned ( 1.0123) does not match value sent! ( 1.01234), can't continue... ", "Error"},
          {{"1.0123", "1.01234"}}, "*0100EW*0100JR001=1.01234", true, 1},
    // An echo without a number confirms nothing, not even a 0.
    Write{"EchoWithoutANumber", "0 1\r\n", "", false, "abc",
          {" Value returned (abc) does not match value sent! ( 0), can't continue... ", "Error"}, {{"0", "0"}},
          "*0100EW*0100JT001=0", true, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::test
