// Moving the table between the window and a simulated unit over a pseudo
// terminal: "Get Table from Unit" and "Save Table to Unit".
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

const Box Complete{"           Transfer Complete.                           ", "Information",
                   Icon::Information};
const Box NotResponding{" Unit is not responding or is not a Rarerizeza Rerededo! ", "Communications"};
const Box CantFind{" Can't find selected file. Please verify... ", "File", Icon::Exclamation};

sim::UnitConfig withTable(std::vector<sim::TableLine> table) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.table = std::move(table);
    return cfg;
}

std::vector<sim::TableLine> countingTable(int lines) {
    std::vector<sim::TableLine> table;
    for (int i = 1; i <= lines; ++i) table.push_back({std::to_string(i), "1." + std::to_string(i)});
    return table;
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
    void expectWriteAborted() {
        EXPECT_EQ(form.CommOK, 0);
        EXPECT_EQ(form.Label2.caption(), "Transfer aborted...");
        expectEndedCleanly();
    }
};

// ---- Reading the table from the unit ---------------------------------------------

TEST_F(TableTransfer, ReadTakesTwoCommandsPerLineAndOneForTheEndMarker) {
    startUnit(withTable({{"20", "1.0123"}, {"-40", "0.9876"}, {"0", "1.50"}}));
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

using ScriptedTransfer = ScriptedFixture;

TEST_F(ScriptedTransfer, EndMarkerIsRecognisedByItsValue) {
    for (std::string marker : {"9999", "9999.0", " 9999"}) {
        startPeer();
        script = [&](const std::string& line) -> std::string {
            if (line == "*0100VR") return "*0001VR=P1.1.0\r\n";
            if (line == "*0100JT001") return "*0001JT001=" + marker + "\r\n";
            return "";
        };
        form.List2.addItem("old row");
        form.Command4_Click();
        EXPECT_EQ(lines, (std::vector<std::string>{"*0100VR", "*0100JT001"})) << marker;
        EXPECT_EQ(form.List2.listCount(), 0) << marker;
        EXPECT_EQ(boxes(), std::vector<Box>{Complete}) << marker;
        EXPECT_EQ(form.Label2.caption(), "Table transferred successfully from unit.");
        ui.boxes.clear();
        lines.clear();
        ui.onEvents = nullptr;
        peer.reset();
    }
}

// A failed read keeps the rows read so far (one 2 s wait).
TEST_F(TableTransfer, AFailedReadKeepsTheRowsReadAndStopsAtLine999) {
    const struct {
        const char* what;
        std::function<void(sim::UnitConfig&)> edit;
        size_t rows;
        std::string lastRow, lastSent;
        std::optional<Box> box;  // none: the line hung up
    } cases[] = {
        {"silent at line 50", [](sim::UnitConfig& c) { c.table = countingTable(60), c.faults.silentAfter = 1 + 2 * 49; },
         49, " 49  1.49", "*0100JT050", NotResponding},
        {"line 1000 offered", [](sim::UnitConfig& c) { c.table = countingTable(1010); }, 999, " 999  1.999", "*0100JT1000",
         Box{" Table has more than 999 lines. Transfer stopped. ", "Transfer", Icon::Exclamation}},
        {"hang-up at line 3", [](sim::UnitConfig& c) { c.faults.hangupAfter = 5; }, 2, "-20  .9934", "*0100JR002", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        unit.reset();
        ui.boxes.clear();
        startUnitWith(c.edit);
        form.Command4_Click();
        EXPECT_EQ(form.List2.listCount(), c.rows);
        EXPECT_EQ(form.List2.list(static_cast<int>(c.rows) - 1), c.lastRow);
        if (c.box) {
            EXPECT_EQ(unitReceived().back(), c.lastSent);
            EXPECT_EQ(boxes(), std::vector<Box>{*c.box});
            EXPECT_EQ(form.CommOK, 0);
            expectEndedCleanly();
        } else {
            expectPortFailure();
        }
        EXPECT_EQ(form.Label2.caption(), "");
        EXPECT_EQ(form.ProgressBar1.value(), 0);
    }
}

TEST_F(TableTransfer, ClosingTheWindowDuringTheReadEndsItAtOnce) {
    startUnit(withTable(countingTable(40)));
    form.EnableFrames();
    ui.onEvents = [&] {
        if (form.List2.listCount() == 3) form.requestClose();
    };
    EXPECT_TRUE(form.Command4.press());
    EXPECT_EQ(form.List2.listCount(), 3);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(form.Frame4.enabled());  // the handler did not run on to its end
}

// A close by the user while values are being written asks first; a close by
// the system (a termination signal) never asks. Reading operations close at
// once (above).
TEST_F(TableTransfer, ClosingWhileWritingToTheUnitAsksFirst) {
    std::string table;
    for (int i = 1; i <= 30; ++i) table += std::to_string(i) + " 1." + std::to_string(i) + "\r\n";
    dir.write("table.txt", table);
    auto loadTable = [&](MainForm& f) {
        f.Text1.setText(dir.file("table.txt"));
        f.Command10_Click();
    };
    auto writeTable = [](MainForm& f) { return f.Command1.press(); };
    const struct {
        const char* what;
        std::function<void(MainForm&)> prepare;
        std::function<bool(MainForm&)> press;
        std::string closeAtStatus, succeeded;
        CloseRequest how;
        std::optional<Answer> answer;  // none: nobody is asked
    } cases[] = {
        {"table write, No", loadTable, writeTable, "Sending: *0100EW*0100JT003",
         "Table successfully transferred to unit...", CloseRequest::User, Answer::No},
        {"table write, Yes", loadTable, writeTable, "Sending: *0100EW*0100JT003",
         "Table successfully transferred to unit...", CloseRequest::User, Answer::Yes},
        {"table write, signal", loadTable, writeTable, "Sending: *0100EW*0100JT003",
         "Table successfully transferred to unit...", CloseRequest::Forced, std::nullopt},
        {"configuration write, No",
         [](MainForm& f) {
             f.txt12HourTemp.setText("25");
             f.txtPressureReductionConstant.setText("29.92");
             f.cboTableTempUnit.setListIndex(1);
         },
         [](MainForm& f) { return f.cmdWriteValues.press(); }, "Writing config data to unit...",
         "Configuration values saved successfully.", CloseRequest::User, Answer::No},
        {"barometric mode write, Yes", [](MainForm& f) { f.Option4_0.setValue(true); },
         [](MainForm& f) { return f.Command12.press(); }, "Writing Barometric mode...", "Barometric Mode OK",
         CloseRequest::User, Answer::Yes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startUnit(withTable({}));
        MainForm f(platform);
        f.Combo1.setText(std::to_string(unit->port()));
        f.Combo2.setText("9600");
        f.Combo3.setText("01");
        c.prepare(f);
        f.EnableFrames();
        ui.boxes.clear();
        if (c.answer) ui.answerNextQuestion(*c.answer);
        bool requested = false;
        ui.onEvents = [&] {
            if (!requested && f.Label2.caption().rfind(c.closeAtStatus, 0) == 0) {
                requested = true;
                EXPECT_FALSE(f.requestClose(c.how));
            }
        };
        EXPECT_TRUE(c.press(f));
        ui.onEvents = nullptr;
        EXPECT_TRUE(requested);
        const bool goesOn = c.answer == Answer::No;
        EXPECT_EQ(f.closing(), !goesOn);
        EXPECT_EQ(f.Label2.caption() == c.succeeded, goesOn) << f.Label2.caption();
        EXPECT_FALSE(port.isOpen());
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
}

// ---- Writing the table to the unit -------------------------------------------------

TEST_F(TableTransfer, WriteSendsShortestValuesAndTheTableReadsBackTheSame) {
    startUnit(withTable({}));
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
    std::string full;
    for (int i = 1; i <= 999; ++i) full += std::to_string(i) + " 1." + std::to_string(i) + "\r\n";
    loadFile(full);
    form.Command1_Click();
    form.Command4_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{Complete, Complete}));
    ASSERT_EQ(form.List2.listCount(), 999);
    EXPECT_EQ(form.List2.list(998), " 999  1.999");
    EXPECT_EQ(unitReceived().back(), "*0100JT1000");
    EXPECT_EQ(form.Label2.caption(), "Table transferred successfully from unit.");
}

// Every refused write ends with "Transfer aborted...", the port closed and the
// window usable; the checks of the whole file come before anything is sent.
TEST_F(TableTransfer, RefusedWritesAbortTheTransfer) {
    std::string thousand;
    for (int i = 0; i < 1000; ++i) thousand += "1 2\r\n";
    const auto setUnit = [&](const std::function<void(sim::UnitConfig&)>& edit) {
        unit->withModel([&](sim::UnitModel& m) { edit(m.config()); });
    };
    const struct {
        const char* what;
        std::function<void()> arrange;  // after the unit (table empty, mode on) started
        Box box;
        std::vector<sim::TableLine> stored;
        std::string lastSent;
        bool writing = false;  // the write pass began: List2 is cleared
    } cases[] = {
        {"no table loaded", [&] { form.TableFileName = dir.file("whatever.txt"); },
         {" No Table from File to transfer. ", "Info", Icon::Exclamation}, {}, "*0100VR"},
        {"table file gone", [&] { loadFile("20 1.0\r\n"), std::filesystem::remove(dir.file("table.txt")); }, CantFind,
         {}, "*0100VR"},
        {"barometric mode off", [&] { loadFile("20 1.0\r\n"), setUnit([](sim::UnitConfig& c) { c.pb = "0"; }); },
         {"Unit is not a Rarerizeza Rerededo!\nCannot transfer table to unit.\n", "Barometric Mode"}, {}, "*0100PB"},
        {"more than 999 lines", [&] { loadFile(thousand); },
         {" Table has more than 999 lines.  Transfer aborted. ", "Error", Icon::Exclamation}, {}, "*0100VR"},
        {"malformed line 7", [&] { loadFile("*\r\n*\r\n*\r\n*\r\n*\r\n*\r\n12\r\n20 1.0\r\n"); },
         {" Invalid table entry, line  7.  Transfer aborted.", "Error", Icon::Exclamation}, {}, "*0100VR"},
        // Data lines are counted while writing; what was written stays.
        {"temperature of data line 2", [&] { loadFile("*\r\n*\r\n*\r\n\r\n20 1.0\r\nabc 1.0\r\n"); },
         {" Non-numeric temperature value detected, line  2.  Transfer aborted.", "Error"}, {{"20", "1"}},
         "*0100EW*0100JR001=1", true},
        {"ratio of data line 1", [&] { loadFile("* x\r\n3 x1\r\n"); },
         {" Non-numeric ratio value detected, line  1.  Transfer aborted.", "Error"}, {}, "*0100PB", true},
        {"temperature beyond a double", [&] { loadFile("1E400 1.0\r\n"); },
         {" Non-numeric temperature value detected, line  1.  Transfer aborted.", "Error"}, {}, "*0100PB", true},
        {"an echo that differs", [&] {
             loadFile("1.0123 1.01234\r\n5 6\r\n");
             setUnit([](sim::UnitConfig& c) { c.faults.echoOverride = "1.0123"; });
         },
         {" Value returned ( 1.0123) does not match value sent! ( 1.01234), can't continue... ", "Error"},
         {{"1.0123", "1.01234"}}, "*0100EW*0100JR001=1.01234", true},
        // An echo without a number confirms nothing, not even a 0.
        {"an echo without a number", [&] {
             loadFile("0 1\r\n");
             setUnit([](sim::UnitConfig& c) { c.faults.echoOverride = "abc"; });
         },
         {" Value returned (abc) does not match value sent! ( 0), can't continue... ", "Error"}, {{"0", "0"}},
         "*0100EW*0100JT001=0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        unit.reset();
        startUnit(withTable({}));
        c.arrange();
        form.List2.addItem("kept");
        form.Command1_Click();
        EXPECT_EQ(boxes(), std::vector<Box>{c.box});
        EXPECT_EQ(stored().table, c.stored);
        const std::vector<std::string> got = unitReceived();
        EXPECT_EQ(got.empty() ? "" : got.back(), c.lastSent);
        EXPECT_EQ(form.List2.listCount(), c.writing ? 0 : 1);
        expectWriteAborted();
        ui.boxes.clear();
        form.List1.clear();
        form.List2.clear();
    }
}

TEST_F(TableTransfer, WriteTakesTheFileAsItIsNowAndCommentsOnlyWriteNothing) {
    startUnit(withTable({}));
    loadFile("1 2\r\n");
    dir.write("table.txt", "1 2\r\n3 4\r\n5 6\r\n");
    // The bar was sized for the one line loaded: it stays full while the
    // three lines go out (a value beyond the bar's end is refused).
    int highest = 0;
    ui.onEvents = [&] { highest = std::max(highest, form.ProgressBar1.value()); };
    EXPECT_NO_THROW(form.Command1_Click());
    EXPECT_EQ(stored().table, (std::vector<sim::TableLine>{{"1", "2"}, {"3", "4"}, {"5", "6"}}));
    EXPECT_EQ(highest, 1);
    EXPECT_EQ(boxes(), std::vector<Box>{Complete});

    ui.boxes.clear();
    loadFile("1 2\r\n");
    dir.write("table.txt", "* only a comment\r\n\r\n   \r\n");
    form.Command1_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{Complete});
    EXPECT_EQ(unitReceived().back(), "*0100PB");
    EXPECT_EQ(form.Label2.caption(), "Table successfully transferred to unit...");

    // An echo equal in value to the value sent is accepted.
    ui.boxes.clear();
    unit->withModel([](sim::UnitModel& m) { m.config().faults.echoOverride = "20.000"; });
    loadFile("20 20\r\n");
    form.Command1_Click();
    EXPECT_EQ(boxes(), std::vector<Box>{Complete});
}

TEST_F(TableTransfer, AHangUpDuringTheWriteIsReportedAndAbortsTheTransfer) {
    sim::Faults faults;
    faults.hangupAfter = 3;  // verification, mode query, first temperature
    startUnit(faults);
    loadFile("20 1.0\r\n30 1.1\r\n");
    form.Command1_Click();
    expectPortFailure();
    EXPECT_EQ(form.Label2.caption(), "Transfer aborted...");
    EXPECT_EQ(form.ProgressBar1.value(), 0);
}

}  // namespace
}  // namespace qv::test
