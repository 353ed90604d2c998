#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>

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
    EXPECT_EQ(form.Combo1.text() + "|" + form.Combo2.text() + "|" + form.Combo3.text() + "|" + form.Text1.text() +
                  "|" + form.TableFileName + "|" + form.BaroModeSwitch, "1|9600|01|||0");
    EXPECT_FALSE(form.Frame12.visible());
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

TEST_F(Settings, EachLineIsOneValueAndEveryValueSurvivesAWriteAndARead) {
    // A comma does not split a value; LF-only line ends and a missing final
    // line end are read as well; lines after the fifth are ignored.
    writeSettings(" 7\n  9600\r\n05\r\n/data/a,b, c.txt  \r\n0\r\nextra\r\nlines");
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(form.PortNumber + "|" + form.Combo1.text() + "|" + form.BaudRate + "|" + form.Combo3.text(),
              "7|7|9600|05");
    EXPECT_EQ(form.Text1.text(), "/data/a,b, c.txt  ");
    EXPECT_EQ(form.TableFileName, "/data/a,b, c.txt  ");
    EXPECT_FALSE(form.Frame12.visible());
    EXPECT_FALSE(form.Command12.usable());

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
    EXPECT_EQ(next.PortNumber, "5");  // the same port
    EXPECT_EQ(next.UnitID, "07");
    EXPECT_EQ(next.BaroModeSwitch, "1");
    EXPECT_TRUE(next.Frame12.visible());
    next.Form_Unload();
    EXPECT_EQ(settings(), "5\r\n" + tail);
}

TEST_F(Settings, OnlyAnExactZeroHidesTheBarometricModeFrame) {
    for (auto [line5, shown] : {std::pair{"0", false}, {"  0", false}, {"1", true}, {"", true}, {"0 ", true},
                                {"00", true}}) {
        writeSettings(std::string("1\r\n9600\r\n01\r\n\r\n") + line5 + "\r\n");
        MainForm fresh{platform};
        ASSERT_TRUE(fresh.Form_Load());
        EXPECT_EQ(fresh.Frame12.visible(), shown) << "line 5: \"" << line5 << "\"";
    }
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

}  // namespace
}  // namespace qv
