#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

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

class Settings : public ::testing::Test {
protected:
    TempDir dir;
    HeadlessToolkit ui{dir.path()};
    NoSerialPort port;
    TestClock clock;
    ScriptedFiles files;
    Platform platform{ui, port, clock, files};
    MainForm form{platform};

    void writeSettings(const std::string& content) { dir.write(SettingsFileName, content); }
    std::string settings() const { return dir.read(SettingsFileName); }
    bool settingsExist() const { return std::filesystem::exists(dir.file(SettingsFileName)); }

    void expectStartupError() {
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, StartupError);
        EXPECT_EQ(ui.boxes[0].title, "File");
        EXPECT_EQ(ui.boxes[0].buttons, Buttons::OK);
        EXPECT_EQ(ui.boxes[0].icon, Icon::Exclamation);
        // Nothing after the failing step ran.
        EXPECT_EQ(form.Combo1.listCount(), 0);
    }
};

TEST_F(Settings, FirstRunCreatesTheDefaultsAndShowsTheLinkSettings) {
    ASSERT_TRUE(form.Form_Load());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(settings(), Defaults);
    EXPECT_EQ(form.Combo1.text(), "1");
    EXPECT_EQ(form.Combo2.text(), "9600");
    EXPECT_EQ(form.Combo3.text(), "01");
    EXPECT_EQ(form.Text1.text(), "");
    EXPECT_EQ(form.TableFileName, "");
    EXPECT_EQ(form.BaroModeSwitch, "");
    EXPECT_TRUE(form.Frame12.visible());

    form.Form_Unload();
    EXPECT_EQ(settings(), "1\r\n9600\r\n01\r\n\r\n\r\n");
}

TEST_F(Settings, FillsTheThreeListsWithoutSelectingAnything) {
    ASSERT_TRUE(form.Form_Load());
    ASSERT_EQ(form.Combo1.listCount(), 99);
    EXPECT_EQ(form.Combo1.items().front(), " 1");
    EXPECT_EQ(form.Combo1.items()[8], " 9");
    EXPECT_EQ(form.Combo1.items().back(), " 99");
    EXPECT_EQ(form.Combo2.items(), (std::vector<std::string>{"300", "600", "1200", "2400", "4800", "9600",
                                                             "19200", "38400", "57600", "115200"}));
    ASSERT_EQ(form.Combo3.listCount(), 98);
    EXPECT_EQ(form.Combo3.items().front(), "01");
    EXPECT_EQ(form.Combo3.items()[9], "10");
    EXPECT_EQ(form.Combo3.items().back(), "98");
    for (const ComboBox* box : {&form.Combo1, &form.Combo2, &form.Combo3}) EXPECT_EQ(box->listIndex(), -1);
}

TEST_F(Settings, ReadsAnExistingFileAndWritesTheSameBack) {
    const std::string content = "3\r\n19200\r\n05\r\n/home/tech/tables/prr 1.txt\r\n0\r\n";
    writeSettings(content);
    ASSERT_TRUE(form.Form_Load());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(form.Combo1.text(), "3");
    EXPECT_EQ(form.Combo2.text(), "19200");
    EXPECT_EQ(form.Combo3.text(), "05");
    EXPECT_EQ(form.Text1.text(), "/home/tech/tables/prr 1.txt");
    EXPECT_FALSE(form.Frame12.visible());
    EXPECT_FALSE(form.Command12.usable());

    form.Form_Unload();
    EXPECT_EQ(settings(), content);
}

TEST_F(Settings, OnlyAnExactZeroHidesTheBarometricModeFrame) {
    struct Case {
        const char* line5;
        bool shown;
    };
    for (Case c : {Case{"0", false}, Case{"  0", false}, Case{"1", true}, Case{"", true}, Case{"0 ", true},
                   Case{"00", true}}) {
        SCOPED_TRACE(std::string("line 5: \"") + c.line5 + "\"");
        writeSettings(std::string("1\r\n9600\r\n01\r\n\r\n") + c.line5 + "\r\n");
        MainForm fresh{platform};
        ASSERT_TRUE(fresh.Form_Load());
        EXPECT_EQ(fresh.Frame12.visible(), c.shown);
    }
}

TEST_F(Settings, EachLineIsOneValueWithLeadingBlanksDropped) {
    // A comma no longer splits a value; LF-only line ends and a missing final
    // line end are read as well; lines after the fifth are ignored.
    writeSettings(" 7\n  9600\r\n01\r\n/data/a,b, c.txt  \r\n1\r\nextra\r\nlines");
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(form.PortNumber, "7");
    EXPECT_EQ(form.Combo1.text(), "7");
    EXPECT_EQ(form.BaudRate, "9600");
    EXPECT_EQ(form.TableFileName, "/data/a,b, c.txt  ");
    EXPECT_EQ(form.BaroModeSwitch, "1");
    EXPECT_TRUE(form.Frame12.visible());
}

TEST_F(Settings, EveryValueSurvivesAWriteAndARead) {
    writeSettings(Defaults);
    ASSERT_TRUE(form.Form_Load());
    form.PortNumber = " 5";  // picked from the list: keeps the item's blank
    form.BaudRate = "115200";
    form.UnitID = "07";
    form.TableFileName = "C:\\PRR, old\\table \"x\".txt ";
    form.BaroModeSwitch = "1";
    form.Form_Unload();
    const std::string written = settings();
    EXPECT_EQ(written, " 5\r\n115200\r\n07\r\nC:\\PRR, old\\table \"x\".txt \r\n1\r\n");

    MainForm next{platform};
    ASSERT_TRUE(next.Form_Load());
    EXPECT_EQ(next.PortNumber, "5");  // the same port
    EXPECT_EQ(next.BaudRate, "115200");
    EXPECT_EQ(next.UnitID, "07");
    EXPECT_EQ(next.TableFileName, "C:\\PRR, old\\table \"x\".txt ");
    EXPECT_EQ(next.BaroModeSwitch, "1");
    next.Form_Unload();
    EXPECT_EQ(settings(), "5\r\n115200\r\n07\r\nC:\\PRR, old\\table \"x\".txt \r\n1\r\n");
}

TEST_F(Settings, ShortOrEmptyFileEndsTheProgramWithAMessage) {
    for (const char* content : {"3\r\n19200\r\n05\r\n/t.txt\r\n", "3\r\n19200", ""}) {
        SCOPED_TRACE(content);
        ui.boxes.clear();
        writeSettings(content);
        MainForm fresh{platform};
        EXPECT_FALSE(fresh.Form_Load());
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, StartupError);
        EXPECT_EQ(ui.boxes[0].title, "File");
        EXPECT_EQ(ui.boxes[0].icon, Icon::Exclamation);
        EXPECT_EQ(fresh.Combo1.listCount(), 0);
        EXPECT_EQ(settings(), content);
    }
    EXPECT_EQ(files.replacements, 0);
}

TEST_F(Settings, ReadFailureEndsTheProgramWithAMessage) {
    writeSettings(Defaults);
    files.readFailure = FileError(FileError::AccessError, "Permission denied");
    EXPECT_FALSE(form.Form_Load());
    expectStartupError();
    EXPECT_EQ(settings(), Defaults);
}

TEST_F(Settings, FileVanishedBeforeReadingEndsQuietly) {
    writeSettings(Defaults);
    files.readFailure = FileError(FileError::NotFound, "No such file");
    EXPECT_FALSE(form.Form_Load());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(Settings, FileThatCannotBeCreatedEndsTheProgramWithAMessage) {
    // A folder where the file should be.
    std::filesystem::create_directory(dir.file(SettingsFileName));
    EXPECT_FALSE(form.Form_Load());
    expectStartupError();

    // A program folder that does not exist: "not found" while creating is
    // still reported.
    ui.boxes.clear();
    ui.folder = dir.file("missing");
    MainForm other{platform};
    EXPECT_FALSE(other.Form_Load());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, StartupError);
}

TEST_F(Settings, FailedShutdownWriteKeepsTheOldFileAndSaysSo) {
    writeSettings(Defaults);
    ASSERT_TRUE(form.Form_Load());
    form.PortNumber = "4";
    files.writeFailure = FileError(FileError::DiskFull, "Cannot write \"x\": No space left on device");
    form.Form_Unload();
    EXPECT_EQ(settings(), Defaults);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, " Settings could not be saved: Cannot write \"x\": No space left on device ");
    EXPECT_EQ(ui.boxes[0].title, "File");
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::OK);
    EXPECT_EQ(ui.boxes[0].icon, Icon::Exclamation);
}

TEST_F(Settings, ShutdownWritesNothingWhenTheFileIsGone) {
    writeSettings(Defaults);
    ASSERT_TRUE(form.Form_Load());
    std::filesystem::remove(dir.file(SettingsFileName));
    form.Form_Unload();
    EXPECT_FALSE(settingsExist());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(files.replacements, 0);
}

TEST_F(Settings, FileExistCountsEmptyFilesAndNeverFails) {
    writeSettings("");
    EXPECT_TRUE(form.FileExist(dir.file(SettingsFileName)));
    EXPECT_FALSE(form.FileExist(dir.file("none.txt")));
    EXPECT_FALSE(form.FileExist(""));
    EXPECT_FALSE(form.FileExist(dir.path()));
    EXPECT_FALSE(form.FileExist(dir.file(SettingsFileName) + "/below"));
    EXPECT_EQ(form.settingsPath(), dir.path() + "/" + SettingsFileName);
}

}  // namespace
}  // namespace qv
