// Table files: the line rules, loading, showing or hiding the header lines,
// choosing a file and saving the table read from the unit.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "support/form_fixture.h"
#include "table/table_lines.h"

namespace qv {
namespace {

using BoxSeen = std::tuple<std::string, std::string, Buttons, Icon>;

std::string numberedLines(int count, const std::string& prefix = "") {
    std::string text;
    for (int i = 1; i <= count; ++i) text += prefix + std::to_string(i) + " 1.0\r\n";
    return text;
}

TEST(TableLineRules, DataLinesNeedOneRunOfBlanksAndThreeTo25Characters) {
    for (const char* ok : {"1 2", "20     1.0123", "   20 1.0123   ", "123456789012 123456789012"})
        EXPECT_TRUE(table::isWellFormedDataLine(ok)) << ok;
    for (const char* bad : {"12", " 12 ", "1234567890123 123456789012", "20 1.0 5", "20\t1.0123"})
        EXPECT_FALSE(table::isWellFormedDataLine(bad)) << bad;
    EXPECT_EQ(table::replyValueField("*0001JT001=1.01234567890123"), "1.0123456789");
    EXPECT_EQ(table::replyValueField("*0001JT001"), "");
    EXPECT_EQ(table::shownFileName("/x/" + std::string(130, 'b')), std::string(100, 'b'));
}

// A file system whose reads fail with a device error. (Saves onto a disk
// that is full or read-only run on a real one, in file_faults_test.cpp.)
class FailingFiles : public FileSystem {
public:
    std::vector<std::string> readLines(const std::string&) override {
        throw FileError(FileError::DeviceIO, "Cannot read: Input/output error");
    }
};

template <class Files>
class TableFormWith : public FormFixtureWith<NoSerialPort, Files> {
protected:
    using Base = FormFixtureWith<NoSerialPort, Files>;
    using Base::dir, Base::ui, Base::clock, Base::form;
    void SetUp() override {
        savedCwd = std::filesystem::current_path();  // the dialogs change it
        std::filesystem::current_path(dir.path());
        clock.fixed = true;
        clock.time = {2024, 3, 4, 14, 5, 9};
        form.EnableFrames();  // as after a detection
        ui.tables = dir.file("documents");  // apart from the program folder
    }
    void TearDown() override { std::filesystem::current_path(savedCwd); }

    void load(const std::string& name) {
        form.Text1.setText(name);
        form.Command10_Click();
    }
    std::vector<BoxSeen> boxes() {
        std::vector<BoxSeen> out;
        for (const auto& b : ui.boxes) out.emplace_back(b.text, b.title, b.buttons, b.icon);
        ui.boxes.clear();
        return out;
    }
    static BoxSeen fileBox(const std::string& text, Buttons b = Buttons::OK) {
        return {text, "File", b, Icon::Exclamation};
    }
    // Saves " 1  2" into the named file; `answer` is for a replace question
    // the save is expected to ask.
    void save(const std::string& name, std::optional<Answer> answer = std::nullopt) {
        if (form.List2.listCount() == 0) form.List2.addItem(" 1  2");
        ui.confirmNextDialog(dir.file(name));
        if (answer) ui.answerNextQuestion(*answer);
        form.Command2_Click();
        EXPECT_TRUE(ui.scriptDone());
        EXPECT_TRUE(form.Frame13.enabled() && form.Frame4.enabled());
    }

    // The settings of the n-th file dialog; it opens in the table folder.
    void expectDialog(size_t n, const std::string& filter, const std::string& name, int index, const std::string& title) {
        ASSERT_GT(ui.dialogLog.size(), n);
        const auto& s = ui.dialogLog[n].settings;
        EXPECT_EQ(std::tie(s.filter, s.fileName, s.filterIndex, s.title, s.initialDir),
                  std::tie(filter, name, index, title, ui.tables));
    }

    std::filesystem::path savedCwd;
};

using TableForm = TableFormWith<FileSystem>;
const std::string CantFind = " Can't find selected file. Please verify... ";

TEST_F(TableForm, LoadSkipsHeaderLinesAndKeepsEveryOtherLineAsItStands) {
    dir.write("t.txt", "* header\r\n 20  1.0123\r\n\r\n *word\r\n-40 .9876   \r\n*\r\n");
    form.Option2_0.press();  // a load goes back to "Hide"
    load("t.txt");
    EXPECT_EQ(form.List1.items(), (std::vector<std::string>{" 20  1.0123", "", " *word", "-40 .9876   "}));
    EXPECT_EQ(form.Option2.selected(), 1);
    EXPECT_EQ(boxes(), std::vector<BoxSeen>{fileBox(CantFind)});  // "Show" had no file yet
    EXPECT_EQ(form.Label2.caption(), "File read successful...");
}

TEST_F(TableForm, LoadAccepts181TableLinesAndStopsAfterThe182nd) {
    dir.write("ok.txt", "*a\r\n*b\r\n" + numberedLines(181));
    load("ok.txt");
    EXPECT_EQ(form.List1.listCount(), 181);
    EXPECT_TRUE(boxes().empty());

    dir.write("long.txt", "*a\r\n" + numberedLines(150) + "\r\n\r\n" + numberedLines(100, "9"));
    load("long.txt");
    ASSERT_EQ(form.List1.listCount(), 182);
    EXPECT_EQ(form.List1.list(181), "930 1.0");  // 150 lines, 2 empty ones, 30 more
    EXPECT_EQ(boxes(), std::vector<BoxSeen>{fileBox(" Table has more than 180 lines. Please verify... ")});
    EXPECT_EQ(form.Label2.caption(), "File read successful...");

    // "Show" and "Hide" have no limit.
    form.Option2_0.press();
    EXPECT_EQ(form.List1.listCount(), 253);
    EXPECT_EQ(form.List1.list(0), "*a");
    form.Option2_1.press();
    EXPECT_EQ(form.List1.listCount(), 252);
}

TEST_F(TableForm, AFileThatCannotBeOpenedIsReportedAndLeavesTheListEmpty) {
    std::filesystem::create_directory(dir.file("folder"));
    for (const char* name : {"missing.txt", "folder", ""}) {
        form.List1.addItem("old");
        load(name);
        EXPECT_EQ(boxes(), std::vector<BoxSeen>{fileBox(CantFind)}) << name;
        EXPECT_EQ(form.List1.listCount(), 0);
        EXPECT_EQ(form.TableFileName, name);
    }
    EXPECT_EQ(form.Label2.caption(), "");

    // "Show" after the file went away: the same message, once, and an empty list.
    dir.write("t.txt", "1 2\r\n");
    load("t.txt");
    std::filesystem::remove(dir.file("t.txt"));
    form.Option2_0.press();
    EXPECT_EQ(form.List1.listCount(), 0);
    EXPECT_EQ(boxes(), std::vector<BoxSeen>{fileBox(CantFind)});
}

TEST_F(TableForm, SelectFileShowsTheNameAfterTheLastSeparatorAndLoadFindsIt) {
    form.List1.addItem("row");
    ui.confirmNextDialog("C:\\tables\\prr.txt");
    form.Command7_Click();
    expectDialog(0, "Pressure Reduction Ratio Files (*.*) |*.*", "", 1, "Select a valid Pressure Reduction Ratio File name");
    EXPECT_EQ(form.TableFileName, "C:\\tables\\prr.txt");
    EXPECT_EQ(form.Text1.text(), "prr.txt");
    EXPECT_EQ(form.List1.listCount(), 0);

    // A file in another folder: the bare name shown is then found there.
    std::filesystem::create_directory(dir.file("sub"));
    dir.write("sub/prr.txt", "*h\r\n5 1.5\r\n");
    ui.confirmNextDialog(dir.file("sub/prr.txt"));
    form.Command7_Click();
    form.Command10_Click();
    EXPECT_EQ(form.TableFileName, "prr.txt");
    EXPECT_EQ(form.List1.items(), std::vector<std::string>{"5 1.5"});

    // Cancelled: the name stays, the list is cleared all the same.
    ui.cancelNextDialog();
    form.Command7_Click();
    EXPECT_EQ(form.TableFileName, "prr.txt");
    EXPECT_EQ(form.List1.listCount(), 0);

    // Enter in the name box takes the name, clears the list and moves the
    // focus on, unless the name is empty.
    int key = 13;
    form.Text1.setText("");
    form.List1.addItem("row");
    form.Text1_KeyPress(key);
    EXPECT_EQ(form.List1.listCount(), 0);
    EXPECT_EQ(ui.focused, nullptr);
    form.Text1.setText("t.txt");
    form.Text1_KeyPress(key);
    EXPECT_EQ(key, 13);
    EXPECT_EQ(form.TableFileName, "t.txt");
    EXPECT_EQ(ui.focused, &form.Command10);
}

TEST_F(TableForm, SaveWritesTheHeaderAndRowsAndLoadsBackTheSameRows) {
    form.Command2_Click();
    EXPECT_EQ(boxes(), (std::vector<BoxSeen>{{" No Table from unit to save. ", "Info", Buttons::OK, Icon::Exclamation}}));
    EXPECT_TRUE(ui.dialogLog.empty());

    const std::vector<std::string> rows{" 20  1.0123", "-40  .9876", " 0  1"};
    for (const auto& r : rows) form.List2.addItem(r);
    ui.confirmNextDialog(dir.file("saved.txt"));
    form.Command2_Click();
    EXPECT_TRUE(boxes().empty());
    expectDialog(0, "All Files (*.*) |*.*", "PRR Table 03-04-2024 .TXT", 0, "Enter a Pressure Reduction Ratio File name");
    EXPECT_EQ(dir.read("saved.txt"),
              "*\r\n* KELMORADYNIQUE, INC.\r\n*\r\n* Pressure Reduction Table\r\n"
              "* as of 14:05:09 03-04-2024\r\n*\r\n 20  1.0123\r\n-40  .9876\r\n 0  1\r\n");
    EXPECT_EQ(form.Label2.caption(), "File save successful.");

    load("saved.txt");
    EXPECT_EQ(form.List1.items(), rows);
    EXPECT_EQ(form.List2.items(), rows);
}

TEST_F(TableForm, ReplaceQuestionsDecideWhetherAnExistingFileIsReplaced) {
    const BoxSeen exists = fileBox(" Selected file already exist. Do you want to replace it?... ", Buttons::YesNo);
    const BoxSeen same = fileBox(" File selected is the same as Table File opened. Do you want to replace it?... ",
                                 Buttons::YesNo);
    dir.write("old.txt", "old");
    save("old.txt", Answer::No);
    EXPECT_EQ(boxes(), std::vector<BoxSeen>{exists});
    EXPECT_EQ(dir.read("old.txt"), "old");
    EXPECT_EQ(form.Label2.caption(), "");
    save("old.txt", Answer::Yes);
    EXPECT_TRUE(dir.read("old.txt").ends_with(" 1  2\r\n"));

    form.TableFileName = dir.file("old.txt");
    dir.write("old.txt", "old");
    save("old.txt", Answer::No);
    EXPECT_EQ(boxes(), (std::vector<BoxSeen>{exists, same}));
    EXPECT_EQ(dir.read("old.txt"), "old");
    save("old.txt", Answer::Yes);
    EXPECT_NE(dir.read("old.txt"), "old");

    // No file of that name: no question.
    save("new.txt");
    EXPECT_EQ(dir.read("new.txt").size(), dir.read("old.txt").size());

    // A file that cannot be created: said so, and no success claimed.
    ui.boxes.clear();
    form.Label2.setCaption("");
    save("no/such/folder/t.txt");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind(" Can't save file: ", 0), 0u);
    EXPECT_EQ(form.Label2.caption(), "");

    // After a read from the unit that stopped early the save asks first.
    const BoxSeen incomplete{
        " The table read from the unit is incomplete (the read stopped at line 35).  Save it anyway? ", "Info",
        Buttons::YesNo, Icon::Exclamation};
    form.TableReadStoppedAt = 35;
    ui.boxes.clear();
    const size_t dialogs = ui.dialogLog.size();
    ui.answerNextQuestion(Answer::No);
    form.Command2_Click();
    EXPECT_TRUE(ui.scriptDone());
    EXPECT_EQ(ui.dialogLog.size(), dialogs);
    EXPECT_TRUE(form.Frame13.enabled() && form.Frame4.enabled());
    save("cut.txt", Answer::Yes);
    EXPECT_EQ(boxes(), (std::vector<BoxSeen>{incomplete, incomplete}));
    EXPECT_TRUE(dir.read("cut.txt").ends_with(" 1  2\r\n"));
    EXPECT_EQ(form.Label2.caption(), "File save successful.");
}

using FailingForm = TableFormWith<FailingFiles>;

TEST_F(FailingForm, ReadFailuresAreReportedByTheirCode) {
    load("t.txt");
    form.Option2_0.press();
    EXPECT_EQ(boxes(), std::vector<BoxSeen>(2, fileBox("Error 57 reported. ")));
    EXPECT_EQ(form.Label2.caption(), "");
}

}  // namespace
}  // namespace qv
