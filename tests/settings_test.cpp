#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>

#include "platform/program_folder.h"
#include "support/form_fixture.h"

namespace qv {
namespace {

// The real file system, with reading or replacing made to fail on request.
class ScriptedFiles : public FileSystem {
public:
    std::vector<std::string> readLines(const std::string& path) override {
        if (readFailure) throw *readFailure;
        return FileSystem::readLines(path);
    }
    void replaceFile(const std::string& path, const std::string& content) override {
        ++replacements;
        if (writeFailure) throw *writeFailure;
        FileSystem::replaceFile(path, content);
    }
    std::optional<FileError> readFailure;
    std::optional<FileError> writeFailure;
    int replacements = 0;
};

const std::string StartupError = " Initial Configuration File Error!, Can't continue... ";
const std::string Defaults = "1\r\n9600\r\n01\r\n\r\n0\r\n";

class Settings : public FormFixtureWith<NoSerialPort, ScriptedFiles> {
protected:

    void writeSettings(const std::string& content) { dir.write(SettingsFileName, content); }
    std::string settings() const { return dir.read(SettingsFileName); }
    // The one exclamation box of a failed start-up or shutdown, titled "File".
    void expectFileBox(const std::string& text) {
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, text);
        EXPECT_EQ(ui.boxes[0].title, "File");
        EXPECT_EQ(ui.boxes[0].buttons, Buttons::OK);
        EXPECT_EQ(ui.boxes[0].icon, Icon::Exclamation);
        ui.boxes.clear();
    }
};

TEST_F(Settings, FirstRunCreatesTheDefaultsAndFillsTheLists) {
    ASSERT_TRUE(form.Form_Load());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(settings(), Defaults);
    ASSERT_EQ(form.Combo1.listCount(), 99);
    EXPECT_EQ(form.Combo1.items()[0] + form.Combo1.items()[8] + form.Combo1.items()[98], " 1 9 99");
    EXPECT_EQ(form.Combo2.items(), (std::vector<std::string>{"300", "600", "1200", "2400", "4800", "9600",
                                                             "19200", "38400", "57600", "115200"}));
    ASSERT_EQ(form.Combo3.listCount(), 98);
    EXPECT_EQ(form.Combo3.items()[0] + form.Combo3.items()[9] + form.Combo3.items()[97], "011098");
    for (const ComboBox* box : {&form.Combo1, &form.Combo2, &form.Combo3}) EXPECT_EQ(box->listIndex(), -1);
    form.Form_Unload();
    EXPECT_EQ(settings(), Defaults);
}

// Each line is one value with its leading blanks dropped: a comma does not
// split it, LF-only line ends and a missing final line end are read as well,
// lines after the fifth are ignored, and only an exact "0" in the fifth hides
// the barometric mode frame. No file: the defaults, frame hidden.
using ReadRow = std::pair<std::string, std::string>;  // file ("" for none), what the window shows

class SettingsRead : public Settings, public ::testing::WithParamInterface<ReadRow> {};

TEST_P(SettingsRead, EachLineIsOneValue) {
    if (!GetParam().first.empty()) writeSettings(GetParam().first);
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(form.PortNumber + "|" + form.Combo1.text() + "|" + form.BaudRate + "|" + form.Combo2.text() + "|" +
                  form.Combo3.text() + "|" + form.Text1.text() + "|" + form.TableFileName + "|" +
                  form.BaroModeSwitch + "|" + std::to_string(form.Frame12.visible()) +
                  std::to_string(form.Command12.usable()),
              GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsRead, ::testing::Values(
    ReadRow{"", "1|1|9600|9600|01|||0|00"},
    ReadRow{" 7\n  9600\r\n05\r\n/data/a,b, c.txt  \r\n0\r\nextra\r\nlines",
            "7|7|9600|9600|05|/data/a,b, c.txt  |/data/a,b, c.txt  |0|00"},
    ReadRow{"1\r\n9600\r\n01\r\n\r\n  0", "1|1|9600|9600|01|||0|00"},
    ReadRow{"1\r\n9600\r\n01\r\n\r\n1\r\n", "1|1|9600|9600|01|||1|11"},
    ReadRow{"1\r\n9600\r\n01\r\n\r\n\r\n", "1|1|9600|9600|01||||11"},
    ReadRow{"1\r\n9600\r\n01\r\n\r\n0 \r\n", "1|1|9600|9600|01|||0 |11"},
    ReadRow{"1\r\n9600\r\n01\r\n\r\n00\r\n", "1|1|9600|9600|01|||00|11"}));

TEST_F(Settings, EveryValueSurvivesAWriteAndARead) {
    writeSettings(Defaults);
    ASSERT_TRUE(form.Form_Load());
    form.PortNumber = " 5";  // picked from the list: keeps the item's blank
    form.BaudRate = "115200";
    form.UnitID = "07";
    form.TableFileName = "C:\\PRR, old\\table \"x\".txt ";
    form.BaroModeSwitch = "1";
    form.Form_Unload();
    const std::string tail = "115200\r\n07\r\nC:\\PRR, old\\table \"x\".txt \r\n1\r\n";
    EXPECT_EQ(settings(), " 5\r\n" + tail);

    MainForm next{platform};
    ASSERT_TRUE(next.Form_Load());
    EXPECT_EQ(next.PortNumber + "|" + next.UnitID + "|" + next.TableFileName, "5|07|" + form.TableFileName);
    next.Form_Unload();
    EXPECT_EQ(settings(), "5\r\n" + tail);  // the same port
}

TEST_F(Settings, AStartUpFileErrorEndsTheProgramWithAMessageAndChangesNothing) {
    // A file that is there is never replaced; one that is not is to be created.
    const std::tuple<const char*, bool, std::function<void()>> cases[] = {
        {"four lines", true, [&] { writeSettings("3\r\n19200\r\n05\r\n/t.txt\r\n"); }},
        {"two lines", true, [&] { writeSettings("3\r\n19200"); }},
        {"empty", true, [&] { writeSettings(""); }},
        {"read failure", true, [&] { files.readFailure = FileError(FileError::AccessError, "Permission denied"); }},
        {"a folder in its place", false, [&] {
             std::filesystem::remove(dir.file(SettingsFileName));
             std::filesystem::create_directory(dir.file(SettingsFileName));
         }},
        // "Not found" while creating the file is still reported.
        {"no program folder", false, [&] { ui.folder = dir.file("missing"); }},
        {"no folder found at all", false, [&] { ui.folder.clear(); }},
    };
    for (const auto& [what, exists, arrange] : cases) {
        SCOPED_TRACE(what);
        writeSettings(Defaults);
        files.replacements = 0;
        arrange();
        const std::string before = settings();
        MainForm fresh{platform};
        EXPECT_FALSE(fresh.Form_Load());
        expectFileBox(StartupError);
        EXPECT_EQ(fresh.Combo1.listCount(), 0);  // nothing after the failing step ran
        EXPECT_EQ(settings(), before);
        if (exists) { EXPECT_EQ(files.replacements, 0); }
        files.readFailure.reset();
    }

    // A file that vanished before it could be read ends the program quietly.
    ui.folder = dir.path();
    std::filesystem::remove(dir.file(SettingsFileName));
    writeSettings(Defaults);
    files.readFailure = FileError(FileError::NotFound, "No such file");
    EXPECT_FALSE(MainForm(platform).Form_Load());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(Settings, ShutdownReplacesTheFileWholeOrNotAtAll) {
    writeSettings(Defaults);
    ASSERT_TRUE(form.Form_Load());
    form.PortNumber = "4";
    files.writeFailure = FileError(FileError::DiskFull, "Cannot write \"x\": No space left on device");
    form.Form_Unload();
    EXPECT_EQ(settings(), Defaults);
    expectFileBox(" Settings could not be saved: Cannot write \"x\": No space left on device ");

    // The file is gone: nothing is written and nothing said.
    std::filesystem::remove(dir.file(SettingsFileName));
    files.replacements = 0;
    form.Form_Unload();
    EXPECT_FALSE(std::filesystem::exists(dir.file(SettingsFileName)));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(files.replacements, 0);
}

TEST_F(Settings, FileExistCountsEmptyFilesAndNeverFails) {
    writeSettings("");
    EXPECT_EQ(form.settingsPath(), dir.path() + "/" + SettingsFileName);
    EXPECT_TRUE(form.FileExist(form.settingsPath()));
    for (const std::string& p : {dir.file("none.txt"), std::string(), dir.path(), form.settingsPath() + "/below"})
        EXPECT_FALSE(form.FileExist(p)) << p;
}

TEST(ProgramFolderChoice, ExecutableFolderWhenWritableElseTheUsersConfigFolder) {
    const struct {
        const char* what;
        std::string executable;
        bool writable;
        std::string configHome, home, folder;
    } cases[] = {
        {"portable copy", "/opt/q", true, "/cfg", "/home/u", "/opt/q"},
        {"installed, XDG_CONFIG_HOME set", "/usr/bin", false, "/cfg/", "/home/u", "/cfg/quorvel-config"},
        {"installed, XDG_CONFIG_HOME unset", "/usr/bin", false, "", "/home/u", "/home/u/.config/quorvel-config"},
        {"installed, XDG_CONFIG_HOME relative", "/usr/bin", false, "cfg", "/home/u", "/home/u/.config/quorvel-config"},
        {"executable folder unknown", "", true, "", "/home/u", "/home/u/.config/quorvel-config"},
        {"installed, no home folder", "/usr/bin", false, "", "", ""},
        {"installed, relative home folder", "/usr/bin", false, "", "u", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> asked;
        ProgramFolder chosen = chooseProgramFolder(c.executable, c.configHome, c.home, [&](const std::string& f) {
            asked.push_back(f);
            return c.writable;
        });
        EXPECT_EQ(chosen.path, c.folder);
        EXPECT_EQ(chosen.portable, c.folder == c.executable);
        EXPECT_FALSE(chosen.error);
        if (!c.executable.empty()) { EXPECT_EQ(asked, std::vector<std::string>{c.executable}); }
    }
}

TEST(ProgramFolderChoice, ThePerUserFolderIsMadeWithItsParentsForItsUserAlone) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("kept"));
    std::filesystem::permissions(dir.file("kept"), std::filesystem::perms(0755));
    dir.write("file", "");
    const struct {
        std::string path;
        std::error_code error;
        std::vector<std::pair<std::string, int>> modes;
    } cases[] = {
        {dir.file("home/.config/quorvel-config"), {},
         {{"home", 0700}, {"home/.config", 0700}, {"home/.config/quorvel-config", 0700}}},
        {dir.file("kept/quorvel-config/"), {}, {{"kept", 0755}, {"kept/quorvel-config", 0700}}},
        {dir.file("file/quorvel-config"), std::make_error_code(std::errc::not_a_directory), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(makeFolder(c.path), c.error);
        for (const auto& [name, mode] : c.modes) {
            auto status = std::filesystem::status(dir.file(name));
            EXPECT_TRUE(std::filesystem::is_directory(status)) << name;
            EXPECT_EQ(static_cast<int>(status.permissions() & std::filesystem::perms::all), mode) << name;
        }
    }
}

}  // namespace
}  // namespace qv
