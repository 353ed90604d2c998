// Moving the table between the window and a simulated unit over a pseudo
// terminal: the lines on the wire of "Save Table to Unit" and "Get Table from
// Unit". Table files the write refuses, echoes, faults of the unit and closing
// the window during a transfer are in fault_matrix_test.cpp.
#include <gtest/gtest.h>

#include "support/unit_fixture.h"

namespace qv::test {
namespace {

using Lines = std::vector<std::string>;
using TableTransfer = UnitFixture;

// A write sends each value in its shortest form; a read asks for the
// temperature and the ratio of each line until the end marker, which is
// recognised by its value however the unit writes it.
TEST_F(TableTransfer, WriteSendsShortestValuesAndTheReadTakesThemBackLineByLine) {
    startUnitWith([](sim::UnitConfig& c) { c.table.clear(); });
    // Loads a table file into List1 as the user would before a write.
    auto loadFile = [&](const std::string& text) {
        dir.write("table.txt", text), form.Text1.setText(dir.file("table.txt")), form.Command10_Click();
    };
    loadFile("* PRR\r\n*\r\n20.50 1.0000\r\n\r\n   +5 0.9876\r\n-40     1.0123   \r\n2            1.0123456789\r\n");
    form.Command1_Click();
    EXPECT_EQ(unitReceived(), (Lines{"*0100VR", "*0100PB", "*0100EW*0100JT001=20.5", "*0100EW*0100JR001=1",
                                 "*0100EW*0100JT002=5", "*0100EW*0100JR002=.9876", "*0100EW*0100JT003=-40",
                                 "*0100EW*0100JR003=1.0123", "*0100EW*0100JT004=2", "*0100EW*0100JR004=1.0123456789"}));

    unit->withModel([](sim::UnitModel& m) {
        m.config().table.push_back({"9999.0", "1"}), m.config().table.push_back({"7", "7"});
    });
    int bar = -1;
    ui.onBox = [&](const MessageRecord&) { bar = form.ProgressBar1.value(); };
    form.Command4_Click();
    const Lines got = unitReceived();
    EXPECT_EQ(Lines(got.end() - 10, got.end()), (Lines{"*0100VR", "*0100JT001", "*0100JR001", "*0100JT002", "*0100JR002", "*0100JT003",
                                 "*0100JR003", "*0100JT004", "*0100JR004", "*0100JT005"}));
    EXPECT_EQ(form.List2.items(), (Lines{" 20.5  1", " 5  .9876", "-40  1.0123", " 2  1.0123456789"}));
    EXPECT_EQ((std::pair{bar, form.ProgressBar1.max()}), (std::pair{5, 180}));

    // A table loaded by a bare name is written from that file, also after a
    // save into another folder holding a file of the same name.
    std::filesystem::create_directories(dir.file("A")), std::filesystem::create_directories(dir.file("B"));
    dir.write("A/t.txt", "7 1.5\r\n"), dir.write("B/t.txt", "8 2.5\r\n");
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.file("A"));
    form.Text1.setText("t.txt"), form.Command10_Click();
    ui.confirmNextDialog(dir.file("B/t.txt")), ui.answerNextQuestion(Answer::Yes), form.Command2_Click();
    form.Command1_Click();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(form.TableFileName, dir.file("A/t.txt"));
    EXPECT_EQ(stored().table.front(), (sim::TableLine{"7", "1.5"}));

    // The longest table the write takes reads back whole; its end marker is
    // asked for as line 1000.
    std::string lines999;
    for (int i = 1; i <= 999; ++i) lines999 += std::to_string(i) + " 1." + std::to_string(i) + "\r\n";
    loadFile(lines999);
    form.Command1_Click();
    form.Command4_Click();
    ASSERT_EQ(form.List2.listCount(), 999);
    EXPECT_EQ(form.List2.list(998), " 999  1.999");
    EXPECT_EQ(unitReceived().back(), "*0100JT1000");
    EXPECT_EQ(form.Label2.caption(), "Table transferred successfully from unit.");
}

}  // namespace
}  // namespace qv::test
