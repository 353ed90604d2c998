#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>

#include "platform/program_folder.h"
#include "support/form_fixture.h"
#include "support/platform_cases.h"

namespace qv {
namespace {

// The real file system, with reading or replacing made to fail on request.
class ScriptedFiles : public FileSystem {
public:
    std::vector<std::string> readLines(const std::string& path) override {
        return readFailure ? throw *readFailure : FileSystem::readLines(path);
    }
    void replaceFile(const std::string& path, const std::string& content) override {
        writeFailure ? throw *writeFailure : FileSystem::replaceFile(path, content);
    }
    std::optional<FileError> readFailure, writeFailure;
};

const std::string Defaults = "1\r\n9600\r\n01\r\n\r\n0\r\n";

class Settings : public FormFixtureWith<NoSerialPort, ScriptedFiles> {
protected:
    void writeSettings(const std::string& content) { dir.write(SettingsFileName, content); }
    std::string settings() const { return dir.read(SettingsFileName); }
    // The boxes shown since the last call, as "text|title|icon" each.
    std::string shownBoxes() {
        std::string out;
        for (const MessageRecord& b : ui.boxes) out += b.text + "|" + b.title + "|" + std::to_string(int(b.icon));
        ui.boxes.clear();
        return out;
    }
};

// Each line is one value with its leading blanks dropped: a comma does not
// split it, LF-only line ends and a missing final line end are read as well,
// lines after the fifth are ignored, a byte-order mark is no part of the
// first, and only an exact "0" in the fifth hides
// the barometric mode frame. No file: the defaults, written, frame hidden.
using ReadRow = std::pair<std::string, std::string>;  // file ("" for none), what the window shows

class SettingsRead : public Settings, public ::testing::WithParamInterface<ReadRow> {};

TEST_P(SettingsRead, EachLineIsOneValue) {
    if (!GetParam().first.empty()) writeSettings(GetParam().first);
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(form.PortNumber + "|" + form.Combo2.text() + "|" + form.Combo3.text() + "|" + form.Text1.text() + "|" +
                  form.BaroModeSwitch + "|" + std::to_string(form.Frame12.visible()) + std::to_string(form.Command12.usable()),
              GetParam().second);
    EXPECT_EQ(settings(), GetParam().first.empty() ? Defaults : GetParam().first);  // created, or left as it was
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsRead, ::testing::Values(
    ReadRow{"", "1|9600|01||0|00"},
    ReadRow{" 7\n  9600\r\n05\r\n/data/a,b, c.txt  \r\n0\r\nextra\r\nlines", "7|9600|05|/data/a,b, c.txt  |0|00"},
    ReadRow{"1\r\n9600\r\n01\r\n\r\n00\r\n", "1|9600|01||00|11"},
    ReadRow{"\xEF\xBB\xBF" "3\r\n9600\r\n01\r\n\r\n0\r\n", "3|9600|01||0|00"}));  // a byte-order mark

// A start-up file error ends the program with a message and changes nothing;
// a file that vanished before it could be read ends it quietly.
TEST_F(Settings, AStartUpFileErrorEndsTheProgram) {
    const std::string error = " Initial Configuration File Error!, Can't continue... |File|1";
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { writeSettings("3\r\n19200\r\n05\r\n/t.txt\r\n"); }, error},  // four lines
        {[&] { files.readFailure = FileError(FileError::AccessError, "Permission denied"); }, error},
        {[&] { files.readFailure = FileError(FileError::NotFound, "No such file"); }, ""},
        {[&] { ui.folder = dir.file("missing"); }, error},  // "not found" while creating the file
        {[&] { ui.folder.clear(); }, error},                // no program folder at all
        {[&] {  // a folder in the file's place
             std::filesystem::remove(dir.file(SettingsFileName));
             std::filesystem::create_directory(dir.file(SettingsFileName));
         }, error},
    };
    for (const auto& [arrange, box] : cases) {
        writeSettings(Defaults);
        arrange();
        const std::string before = settings();
        MainForm fresh{platform};
        EXPECT_FALSE(fresh.Form_Load());
        EXPECT_EQ(shownBoxes(), box);
        EXPECT_EQ(fresh.Combo1.listCount(), 0);  // nothing after the failing step ran
        EXPECT_EQ(settings(), before);
        files.readFailure.reset();
        ui.folder = dir.path();
    }
}

// The shutdown replaces the file whole or says why it could not; with the
// file gone it writes nothing and says nothing.
TEST_F(Settings, ShutdownReplacesTheFileWholeOrNotAtAll) {
    writeSettings(Defaults);
    ASSERT_TRUE(form.Form_Load());
    form.PortNumber = "12", form.BaudRate = "19200", form.UnitID = "07", form.TableFileName = "/t/a b.txt";
    form.Form_Unload();
    MainForm next{platform};  // the next start reads back what was saved
    ASSERT_TRUE(next.Form_Load());
    EXPECT_EQ(settings() + next.PortNumber + next.Combo2.text() + next.Combo3.text() + next.Text1.text(),
              "12\r\n19200\r\n07\r\n/t/a b.txt\r\n0\r\n" "121920007/t/a b.txt");
    next.PortNumber = "\xEF\xBB\xBF" "3";  // kept whole, though a file's leading mark is dropped
    next.Form_Unload();
    MainForm third{platform};
    ASSERT_TRUE(third.Form_Load());
    EXPECT_EQ(third.PortNumber, next.PortNumber);
    files.writeFailure = FileError(FileError::DiskFull, "Cannot write \"x\": No space left on device");
    form.Form_Unload();
    EXPECT_EQ(shownBoxes(), " Settings could not be saved: Cannot write \"x\": No space left on device |File|1");
    std::filesystem::remove(dir.file(SettingsFileName));
    form.Form_Unload();
    EXPECT_EQ(shownBoxes() + std::to_string(form.FileExist(form.settingsPath())), "0");
    EXPECT_FALSE(form.FileExist("") || form.FileExist(dir.path()));  // no path, a folder
}

// The rows are the system's own (tests/posix/, tests/win32/).
TEST(ProgramFolderChoice, ExecutableFolderWhenWritableElseTheUsersConfigFolder) {
    for (const FolderChoice& c : folderChoices()) {
        std::vector<std::string> asked;
        ProgramFolder chosen = chooseProgramFolder(c.executable, c.configHome, c.home,
                                                   [&](const std::string& f) { return asked.push_back(f), c.writable; });
        EXPECT_EQ(chosen.path + (chosen.portable ? " portable" : ""), c.folder + (c.folder == c.executable ? " portable" : ""));
        EXPECT_EQ(asked, c.executable.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.executable});
    }
}

}  // namespace
}  // namespace qv
