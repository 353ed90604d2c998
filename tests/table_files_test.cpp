// Table files: the line rules, loading, showing or hiding the header lines,
// choosing a file and saving the table read from the unit.
#include <gtest/gtest.h>

#include "support/form_fixture.h"
#include "support/platform_cases.h"
#include "support/wildcard.h"
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
    // A read reply's value counts only when it is one number as a whole.
    for (const auto& [reply, value] : std::vector<std::pair<std::string, std::optional<double>>>{
             {"*0001JR003=1.0123\r\n", 1.0123}, {"*0001JT005= 9999.0\r\n", 9999}, {"*0001JR003=1.0#23\r\n", {}},
             {"*0001JT004=1O\r\n", {}}, {"*0001\r\n", {}}, {"*0001JT004=1E400\r\n", {}}})
        EXPECT_EQ(table::replyNumber(reply), value) << reply;
    EXPECT_EQ(table::replyNumber("*0001JT1000=9999\r\n", 1), 9999);
    // List1 shows the file while their data lines agree, or while the load
    // stopped at its limit of 182 table lines and shows the first of them.
    std::vector<std::string> file{"* h", "1 2", "", "3 4"}, shown182(181, "1 1");
    EXPECT_TRUE(table::rowsShowFile({"1 2", "", "3 4"}, file) && table::rowsShowFile(file, {"1 2", "3 4"}));
    EXPECT_FALSE(table::rowsShowFile({"1 2"}, file) || table::rowsShowFile({"1 2", "3 5"}, file));
    std::vector<std::string> longer = shown182;
    shown182.push_back(""), longer.insert(longer.end(), {"", "5 5"});
    EXPECT_TRUE(table::rowsShowFile(shown182, longer));
    EXPECT_FALSE(table::rowsShowFile(std::vector<std::string>(shown182.begin(), shown182.end() - 1), longer));
}

// A line that is not UTF-8 is Windows-1252 as a whole; UTF-8 stays as it is.
using Decoded = std::pair<std::string, std::string>;  // the line, as UTF-8
class TableLineText : public ::testing::TestWithParam<Decoded> {};
TEST_P(TableLineText, IsUtf8OrElseWindows1252) { EXPECT_EQ(table::utf8Line(GetParam().first), GetParam().second); }
INSTANTIATE_TEST_SUITE_P(Lines, TableLineText, ::testing::Values(
    Decoded{"* 20 \xC2\xB0" "C \xE2\x82\xAC \xF0\x9F\x98\x80", "* 20 \xC2\xB0" "C \xE2\x82\xAC \xF0\x9F\x98\x80"},
    Decoded{"\xC2\xB0 \xB0", "\xC3\x82\xC2\xB0 \xC2\xB0"},         // one stray byte: the whole line
    Decoded{"\x80\x81\x8D\x8F\x90\x9D\x9F\xFF", "\xE2\x82\xAC\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\xC5\xB8\xC3\xBF"},
    Decoded{"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                  // overlong
    Decoded{"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},              // a surrogate
    Decoded{"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},  // beyond U+10FFFF
    Decoded{"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"}));                          // cut short

// Reads fail with a device error while `failing` is set. (Saves onto a disk
// that is full or read-only run on a real one, in file_faults_test.cpp.)
struct Files : FileSystem {
    bool failing = false;
    std::vector<std::string> readLines(const std::string& path) override {
        if (failing) throw FileError(FileError::DeviceIO, "Cannot read: Input/output error");
        return FileSystem::readLines(path);
    }
};

struct TableFile : FormFixtureWith<NoSerialPort, Files, ::testing::TestWithParam<Steps>> {
    void TearDown() override { std::filesystem::current_path(savedCwd); }
    const std::filesystem::path savedCwd = std::filesystem::current_path();
};

TEST_P(TableFile, EndsAsTheStepsSay) {
    const Steps& c = GetParam();
    // In the program folder as after a detection, at a set time; the file
    // dialogs open in the table folder apart from it.
    std::filesystem::current_path(dir.path());  // the dialogs change it
    clock.fixed = true, clock.time = {2024, 3, 4, 14, 5, 9};
    form.EnableFrames(), ui.tables = dir.file("documents");
    std::filesystem::create_directory(dir.file("folder"));
    if (!c.content.empty()) dir.write(c.name, c.content);
    form.List1.addItem("old");
    form.Text1.setText(c.name);
    for (char step : c.steps) {
        if (step == 's') form.Option2_0.press();
        if (step == 'h') form.Option2_1.press();
        if (step == 'l') form.Command10_Click();
        if (step == 'r') std::filesystem::remove(pathFromUtf8(dir.file(c.name)));
        if (step == 'R') std::filesystem::permissions(pathFromUtf8(dir.file(c.name)), std::filesystem::perms::owner_read);
        if (step == 'f') files.failing = true;
        if (step == 'u') form.List2.addItem(" 20  1.0123"), form.List2.addItem("-40  .9876");
        if (step == 'k') form.TableReadStoppedAt = 35;
        if (step == 'p') form.TableFileName = dir.file(c.name);
        if (step == 'd') ui.confirmNextDialog(dir.file(c.name));
        if (step == 'y' || step == 'n') ui.answerNextQuestion(step == 'y' ? Answer::Yes : Answer::No);
        if (step == 'w') form.Command2_Click();
        if (step == 'o' || step == 'O') ui.confirmNextDialog(step == 'o' ? c.name : dir.file(c.name));
        if (step == 'c') ui.cancelNextDialog();
        if (step == 'C') form.Command7_Click();
        if (int key = 13; step == 'e') form.Text1_KeyPress(key);
    }
    EXPECT_TRUE(ui.scriptDone());
    std::string boxes;
    for (const auto& b : ui.boxes)
        boxes += b.text + "|" + b.title + "|" + std::to_string(int(b.buttons)) + "|" + std::to_string(int(b.icon)) + "\n";
    EXPECT_TRUE(wildcardMatch(c.boxes, boxes)) << boxes;
    const std::vector<std::string> l = form.List1.items();
    EXPECT_EQ(l.empty() ? "0" : std::to_string(l.size()) + ":" + l.front() + "/" + l.back(), c.list);
    EXPECT_EQ(dir.read(c.name), c.saved ? "*\r\n* KELMORADYNIQUE, INC.\r\n*\r\n* Pressure Reduction Table\r\n"
                                          "* as of 14:05:09 03-04-2024\r\n*\r\n 20  1.0123\r\n-40  .9876\r\n"
                                        : c.steps.find('r') == std::string::npos ? c.content : "");
    EXPECT_EQ(form.Label2.caption(), c.status);
    const std::string focus = ui.focused == &form.Command10 ? "1" : "0";
    const std::string chosen = form.TableFileName + "|" + form.Text1.text() + "|" + focus;
    if (!c.chosen.empty()) { EXPECT_TRUE(wildcardMatch(c.chosen, chosen)) << chosen; }
    EXPECT_TRUE(form.Frame13.enabled() && form.Frame4.enabled());
    if (ui.dialogLog.empty()) return;
    const auto& s = ui.dialogLog[0].settings;
    EXPECT_EQ(std::tie(s.filter, s.fileName, s.filterIndex, s.title, s.initialDir),
              c.steps.find('C') != std::string::npos
                  ? std::make_tuple("Pressure Reduction Ratio Files (*.*) |*.*", "", 1,
                                    "Select a valid Pressure Reduction Ratio File name", ui.tables)
                  : std::make_tuple("All Files (*.*) |*.*", "PRR Table 03-04-2024 .TXT", 0,
                                    "Enter a Pressure Reduction Ratio File name", ui.tables));
}

std::string numbered(int n, const std::string& p = "") {  // n data lines, each temperature led by p
    std::string text;
    for (int i = 1; i <= n; ++i) text += p + std::to_string(i) + " 1.0\r\n";
    return text;
}
const std::string Long = "*a\r\n" + numbered(150) + "\r\n\r\n" + numbered(100, "9");
const std::string Over = " Table has more than 180 lines. Please verify... |File|0|1\n", Read = "File read successful...";
const std::string CantFind = " Can't find selected file. Please verify... |File|0|1\n";
const std::string Err57 = "Error 57 reported. |File|0|1\n";
const std::string Exists = " Selected file already exist. Do you want to replace it?... |File|1|1\n";
const std::string Same = " File selected is the same as Table File opened. Do you want to replace it?... |File|1|1\n";
const std::string Cut =
    " The table read from the unit is incomplete (the read stopped at line 35).  Save it anyway? |Info|1|1\n";
const std::string Saved = "File save successful.";
INSTANTIATE_TEST_SUITE_P(Files, TableFile, ::testing::Values(
    // A load hides the header lines (whatever was chosen before), keeps every
    // other line as it stands and stops after the 182nd; "Show" and "Hide"
    // read the file again, without a limit.
    Steps{"* h\r\n 20  1.0123\r\n\r\n *word\r\n-40 .9876   \r\n*\r\n", "t.txt", "sl", CantFind,
          "4: 20  1.0123/-40 .9876   ", Read},
    Steps{"*a\r\n*b\r\n" + numbered(181), "t.txt", "l", "", "181:1 1.0/181 1.0", Read},
    Steps{Long, "t.txt", "l", Over, "182:1 1.0/930 1.0", Read},
    Steps{Long, "t.txt", "ls", Over, "253:*a/9100 1.0", Read},
    Steps{Long, "t.txt", "lsh", Over, "252:1 1.0/9100 1.0", Read},
    // A byte-order mark is no part of line 1; a line of Windows-1252 is shown as UTF-8.
    Steps{"\xEF\xBB\xBF*h\r\n5 1.5\r\n", "t.txt", "l", "", "1:5 1.5/5 1.5", Read},
    Steps{"* 20\xB0" "C\r\n\xC2\xB0 1.5\r\n", "t.txt", "ls", "", "2:* 20\xC2\xB0" "C/\xC2\xB0 1.5", Read},
    Steps{"", "missing.txt", "l", CantFind, "0", ""},
    Steps{"", "folder", "l", CantFind, "0", ""},
    Steps{"", "", "l", CantFind, "0", ""},
    Steps{"1 2\r\n", "t.txt", "lrs", CantFind, "0", Read},
    Steps{"1 2\r\n", "t.txt", "fls", Err57 + Err57, "0", ""},
    // A save asks before it replaces a file and, after a read that stopped
    // early, before it saves at all.
    Steps{"", "t.txt", "w", " No Table from unit to save. |Info|0|1\n", "1:old/old", ""},
    Steps{"old", "t.txt", "udnw", Exists, "1:old/old", ""},
    Steps{"old", "t.txt", "udyw", Exists, "1:old/old", Saved, true},
    Steps{"old", "t.txt", "updnw", Same, "1:old/old", ""},
    Steps{"old", "t.txt", "updyw", Same, "1:old/old", Saved, true},
    Steps{"", "t.txt", "udw", "", "1:old/old", Saved, true},
    Steps{"", "no/such/folder/t.txt", "udw", " Can't save file: *|File|0|1\n", "1:old/old", ""},
    Steps{"", "t.txt", "uknw", Cut, "1:old/old", ""},
    Steps{"", "t.txt", "ukdyw", Cut, "1:old/old", Saved, true},
    // Choosing a file shows the name after the last separator, which a load
    // then finds in the folder chosen and keeps by its full path; a cancelled
    // choice keeps the name.
    // Enter in the name box takes the name and moves the focus on, unless the
    // name is empty. Either way the list is cleared.
    Steps{"", "C:\\tables\\prr.txt", "oC", "", "0", "", false, "C:\\tables\\prr.txt|prr.txt|0"},
    Steps{"*h\r\n5 1.5\r\n", "folder/prr.txt", "OCl", "", "1:5 1.5/5 1.5", Read, false, "*folder*prr.txt|prr.txt|0"},
    Steps{"*h\r\n5 1.5\r\n", "folder/prr.txt", "OClcC", "", "0", Read, false, "*folder*prr.txt|prr.txt|0"},
    Steps{"", "", "e", "", "0", "", false, "||0"},
    Steps{"", "t.txt", "e", "", "0", "", false, "t.txt|t.txt|1"},
    // A name beyond ASCII is found and written under that very name.
    Steps{"*h\r\n5 1.5\r\n", "Tabelle \xC2\xB0" "C.txt", "l", "", "1:5 1.5/5 1.5", Read},
    Steps{"", "Tabelle \xC2\xB0" "C.txt", "udw", "", "1:old/old", Saved, true}));
INSTANTIATE_TEST_SUITE_P(ThisSystem, TableFile, ::testing::ValuesIn(systemTableFileSteps()));

}  // namespace
}  // namespace qv
