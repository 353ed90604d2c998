// Table files: the line rules, loading, showing or hiding the header lines,
// choosing a file and saving the table read from the unit.
#include <fnmatch.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <tuple>

#include "support/form_fixture.h"
#include "table/table_lines.h"

namespace qv {
namespace {

TEST(TableLineRules, DataLinesNeedOneRunOfBlanksAndThreeTo25Characters) {
    for (const char* ok : {"1 2", "20     1.0123", "   20 1.0123   ", "123456789012 123456789012"})
        EXPECT_TRUE(table::isWellFormedDataLine(ok)) << ok;
    for (const char* bad : {"12", " 12 ", "1234567890123 123456789012", "20 1.0 5", "20\t1.0123"})
        EXPECT_FALSE(table::isWellFormedDataLine(bad)) << bad;
    EXPECT_EQ(table::replyValueField("*0001JT001=1.01234567890123"), "1.0123456789");
    EXPECT_EQ(table::replyValueField("*0001JT001"), "");
    EXPECT_EQ(table::shownFileName("/x/" + std::string(130, 'b')), std::string(100, 'b'));
}

// Reads fail with a device error while `failing` is set. (Saves onto a disk
// that is full or read-only run on a real one, in file_faults_test.cpp.)
class Files : public FileSystem {
public:
    bool failing = false;
    std::vector<std::string> readLines(const std::string& path) override {
        if (failing) throw FileError(FileError::DeviceIO, "Cannot read: Input/output error");
        return FileSystem::readLines(path);
    }
};

// The window in its program folder as after a detection, at a set time; the
// file dialogs open in the table folder apart from it. Each box shown is a
// "text|title|buttons|icon" line.
template <class Row>
class TableForm : public FormFixtureWith<NoSerialPort, Files, ::testing::TestWithParam<Row>> {
protected:
    using Base = FormFixtureWith<NoSerialPort, Files, ::testing::TestWithParam<Row>>;
    using Base::dir, Base::ui, Base::form, Base::files;
    void SetUp() override {
        std::filesystem::current_path(dir.path());  // the dialogs change it
        Base::clock.fixed = true;
        Base::clock.time = {2024, 3, 4, 14, 5, 9};
        form.EnableFrames();
        ui.tables = dir.file("documents");
    }
    void TearDown() override { std::filesystem::current_path(savedCwd); }
    std::string boxes() {
        std::string out;
        for (const auto& b : ui.boxes)
            out += b.text + "|" + b.title + "|" + std::to_string(int(b.buttons)) + "|" + std::to_string(int(b.icon)) + "\n";
        return out;
    }
    const std::filesystem::path savedCwd = std::filesystem::current_path();
};

// A load hides the header lines (whatever was chosen before), keeps every other
// line as it stands and stops after the 182nd; "Show" and "Hide" read the file
// again, without a limit. List1 is given as its size, first and last item.
struct Load {
    std::string content;  // of "t.txt"
    std::string name;     // the name loaded
    int then;             // 0: nothing, 1: "Show", 2: "Show" and "Hide", 3: the file removed and "Show", 4: reads fail
    std::string boxes, list, status;
};
void PrintTo(const Load& c, std::ostream* out) { *out << c.name << " " << c.then; }
using TableLoad = TableForm<Load>;

TEST_P(TableLoad, ShowsTheFileAsItsOptionsSay) {
    const Load& c = GetParam();
    std::filesystem::create_directory(dir.file("folder"));
    if (!c.content.empty()) dir.write("t.txt", c.content);
    form.Option2_0.press();
    form.List1.addItem("old");
    ui.boxes.clear();
    files.failing = c.then == 4;
    form.Text1.setText(c.name);
    form.Command10_Click();
    EXPECT_EQ(form.TableFileName, c.name);
    if (c.then == 3) std::filesystem::remove(dir.file("t.txt"));
    if (c.then) form.Option2_0.press();
    if (c.then == 2) form.Option2_1.press();
    const std::vector<std::string> l = form.List1.items();
    EXPECT_EQ(l.empty() ? "0" : std::to_string(l.size()) + ":" + l.front() + "/" + l.back(), c.list);
    EXPECT_EQ(boxes(), c.boxes);
    EXPECT_EQ(form.Label2.caption(), c.status);
}

std::string numbered(int count, const std::string& prefix = "") {
    std::string text;
    for (int i = 1; i <= count; ++i) text += prefix + std::to_string(i) + " 1.0\r\n";
    return text;
}
const std::string Long = "*a\r\n" + numbered(150) + "\r\n\r\n" + numbered(100, "9");
const std::string Over = " Table has more than 180 lines. Please verify... |File|0|1\n", Read = "File read successful...";
const std::string CantFind = " Can't find selected file. Please verify... |File|0|1\n", Err57 = "Error 57 reported. |File|0|1\n";
INSTANTIATE_TEST_SUITE_P(Files, TableLoad, ::testing::Values(
    Load{"* header\r\n 20  1.0123\r\n\r\n *word\r\n-40 .9876   \r\n*\r\n", "t.txt", 0, "", "4: 20  1.0123/-40 .9876   ", Read},
    Load{"*a\r\n*b\r\n" + numbered(181), "t.txt", 0, "", "181:1 1.0/181 1.0", Read},
    Load{Long, "t.txt", 0, Over, "182:1 1.0/930 1.0", Read},
    Load{Long, "t.txt", 1, Over, "253:*a/9100 1.0", Read},
    Load{Long, "t.txt", 2, Over, "252:1 1.0/9100 1.0", Read},
    Load{"", "missing.txt", 0, CantFind, "0", ""},
    Load{"", "folder", 0, CantFind, "0", ""},
    Load{"", "", 0, CantFind, "0", ""},
    Load{"1 2\r\n", "t.txt", 3, CantFind, "0", Read},
    Load{"1 2\r\n", "t.txt", 4, Err57 + Err57, "0", ""}));

// Choosing a file shows the name after the last separator, which a load then
// finds in the folder chosen; a cancelled choice keeps the name. Enter in the
// name box takes the name and moves the focus on, unless the name is empty.
// Either way the list is cleared.
using TableChoice = TableForm<int>;
TEST_F(TableChoice, ShowsTheNameAfterTheLastSeparatorAndLoadFindsIt) {
    std::filesystem::create_directory(dir.file("sub"));
    dir.write("sub/prr.txt", "*h\r\n5 1.5\r\n");
    ui.confirmNextDialog("C:\\tables\\prr.txt");
    ui.confirmNextDialog(dir.file("sub/prr.txt"));
    ui.cancelNextDialog();
    form.Command7_Click();
    const auto& s = ui.dialogLog.at(0).settings;
    EXPECT_EQ(std::tie(s.filter, s.fileName, s.filterIndex, s.title, s.initialDir),
              std::make_tuple("Pressure Reduction Ratio Files (*.*) |*.*", "", 1,
                              "Select a valid Pressure Reduction Ratio File name", ui.tables));
    EXPECT_EQ(form.TableFileName + "|" + form.Text1.text(), "C:\\tables\\prr.txt|prr.txt");
    form.Command7_Click();
    form.Command10_Click();
    EXPECT_EQ(form.List1.items(), std::vector<std::string>{"5 1.5"});
    form.Command7_Click();
    EXPECT_EQ(form.TableFileName + "|" + std::to_string(form.List1.listCount()), "prr.txt|0");

    int key = 13;
    form.Text1.setText("");
    form.List1.addItem("row");
    form.Text1_KeyPress(key);
    EXPECT_EQ(form.List1.listCount(), 0);
    EXPECT_EQ(ui.focused, nullptr);
    form.Text1.setText("t.txt");
    form.Text1_KeyPress(key);
    EXPECT_EQ(form.TableFileName, "t.txt");
    EXPECT_EQ(ui.focused, &form.Command10);
}

// A save asks before it replaces a file and, after a read that stopped early,
// before it saves at all; it says "File save successful." only when it wrote
// the header and the rows.
struct Save {
    std::string name;     // the file chosen
    bool exists, opened;  // the file exists ("old"); it is the table file opened
    int stoppedAt;        // where the read from the unit stopped; -1: nothing read
    std::optional<Answer> answer;
    std::string boxes;
    bool written;
};
void PrintTo(const Save& c, std::ostream* out) { *out << c.name << " " << c.boxes.substr(0, 20); }
using TableSave = TableForm<Save>;

TEST_P(TableSave, AsksBeforeReplacingAndWritesOnlyWhenAllowed) {
    const Save& c = GetParam();
    if (c.exists) dir.write(c.name, "old");
    if (c.opened) form.TableFileName = dir.file(c.name);
    if (c.stoppedAt >= 0) form.List2.addItem(" 20  1.0123"), form.List2.addItem("-40  .9876");
    form.TableReadStoppedAt = std::max(c.stoppedAt, 0);
    const bool dialog = c.stoppedAt == 0 || (c.stoppedAt > 0 && c.answer == Answer::Yes);
    if (dialog) ui.confirmNextDialog(dir.file(c.name));
    if (c.answer) ui.answerNextQuestion(*c.answer);
    form.Command2_Click();
    EXPECT_TRUE(ui.scriptDone());
    EXPECT_EQ(ui.dialogLog.size(), dialog ? 1u : 0u);
    EXPECT_EQ(::fnmatch(c.boxes.c_str(), boxes().c_str(), FNM_NOESCAPE), 0) << boxes();
    EXPECT_EQ(dir.read(c.name), c.written ? "*\r\n* KELMORADYNIQUE, INC.\r\n*\r\n* Pressure Reduction Table\r\n"
                                            "* as of 14:05:09 03-04-2024\r\n*\r\n 20  1.0123\r\n-40  .9876\r\n"
                                          : c.exists ? "old" : "");
    EXPECT_EQ(form.Label2.caption(), c.written ? "File save successful." : "");
    EXPECT_TRUE(form.Frame13.enabled() && form.Frame4.enabled());
    if (!dialog) return;
    const auto& s = ui.dialogLog[0].settings;
    EXPECT_EQ(std::tie(s.filter, s.fileName, s.filterIndex, s.title, s.initialDir),
              std::make_tuple("All Files (*.*) |*.*", "PRR Table 03-04-2024 .TXT", 0,
                              "Enter a Pressure Reduction Ratio File name", ui.tables));
}

const std::string Exists = " Selected file already exist. Do you want to replace it?... |File|1|1\n";
const std::string Same = " File selected is the same as Table File opened. Do you want to replace it?... |File|1|1\n";
const std::string Cut = " The table read from the unit is incomplete (the read stopped at line 35).  Save it anyway? |Info|1|1\n";
INSTANTIATE_TEST_SUITE_P(Files, TableSave, ::testing::Values(
    Save{"t.txt", false, false, -1, {}, " No Table from unit to save. |Info|0|1\n", false},
    Save{"t.txt", true, false, 0, Answer::No, Exists, false},
    Save{"t.txt", true, false, 0, Answer::Yes, Exists, true},
    Save{"t.txt", true, true, 0, Answer::No, Same, false},
    Save{"t.txt", true, true, 0, Answer::Yes, Same, true},
    Save{"t.txt", false, false, 0, {}, "", true},
    Save{"no/such/folder/t.txt", false, false, 0, {}, " Can't save file: *|File|0|1\n", false},
    Save{"t.txt", false, false, 35, Answer::No, Cut, false},
    Save{"t.txt", false, false, 35, Answer::Yes, Cut, true}));

}  // namespace
}  // namespace qv
