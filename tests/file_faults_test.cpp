// The settings file and the table files on a disk that is full, read-only or
// unreadable for the user, and a table file that changes under a transfer:
// every failure is reported and no file that was there before is lost or cut.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <fnmatch.h>

#include <filesystem>
#include <fstream>

#include "support/form_fixture.h"
#include "support/system_faults.h"
#include "support/unit_fixture.h"

namespace qv::test {
namespace {

const std::string StartupError = " Initial Configuration File Error!, Can't continue... ";
const std::string CantFind = " Can't find selected file. Please verify... ";
const std::string Settings = "3\r\n19200\r\n05\r\n/t.txt\r\n1\r\n";
const char* const NoMount = " (the injected write failures are tested with the settings and the table files)";

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
void put(const std::string& path, const std::string& content) { std::ofstream(path, std::ios::binary) << content; }

// The one box shown, as "text|title|icon", or what was shown instead.
std::string onlyBox(const HeadlessToolkit& ui) {
    std::string out;
    for (const MessageRecord& b : ui.boxes)
        out += (out.empty() ? "" : " + ") + b.text + "|" + b.title + "|" + std::to_string(static_cast<int>(b.icon));
    return out;
}
bool like(const std::string& text, const std::string& pattern) { return ::fnmatch(pattern.c_str(), text.c_str(), 0) == 0; }
const std::string Excl = std::to_string(static_cast<int>(Icon::Exclamation));

class FileFaults : public FormFixture {
protected:
    void SetUp() override { savedCwd = std::filesystem::current_path(); }
    void TearDown() override { std::filesystem::current_path(savedCwd); }  // the dialogs change it
    std::filesystem::path savedCwd;
};

TEST_F(FileFaults, SettingsSurviveAShutdownOnAFullDisk) {
    TinyDisk disk(dir.file("disk"));
    if (!disk.mounted()) GTEST_SKIP() << disk.error() << NoMount;
    ui.folder = disk.path();
    put(disk.file(SettingsFileName), Settings);
    ASSERT_TRUE(form.Form_Load());
    disk.fill();
    form.PortNumber = "7";
    form.Form_Unload();
    EXPECT_TRUE(like(onlyBox(ui), " Settings could not be saved: *No space left on device* |File|" + Excl)) << onlyBox(ui);
    EXPECT_EQ(slurp(disk.file(SettingsFileName)), Settings);
    EXPECT_EQ(disk.names(), (std::vector<std::string>{SettingsFileName, "filler"}));  // no half-written copy left
}

TEST_F(FileFaults, SettingsInAReadOnlyFolder) {
    TinyDisk disk(dir.file("disk"));
    if (!disk.mounted()) GTEST_SKIP() << disk.error() << NoMount;
    ui.folder = disk.path();
    ASSERT_TRUE(disk.setReadOnly(true));
    EXPECT_FALSE(form.Form_Load());  // the missing file cannot be created
    EXPECT_EQ(onlyBox(ui), StartupError + "|File|" + Excl);
    EXPECT_TRUE(disk.names().empty());

    ASSERT_TRUE(disk.setReadOnly(false));
    put(disk.file(SettingsFileName), Settings);
    ASSERT_TRUE(disk.setReadOnly(true));
    ui.boxes.clear();
    MainForm second{platform};
    ASSERT_TRUE(second.Form_Load());
    EXPECT_EQ(second.Combo1.text(), "3");
    second.PortNumber = "7";
    second.Form_Unload();
    EXPECT_TRUE(like(onlyBox(ui), " Settings could not be saved: *Read-only file system* |File|" + Excl)) << onlyBox(ui);
    EXPECT_EQ(slurp(disk.file(SettingsFileName)), Settings);
}

TEST_F(FileFaults, UnreadableSettingsEndTheProgramWithAMessage) {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string path = dir.file(SettingsFileName);
    put(path, Settings);
    std::optional<std::string> seen = runWithoutAccess(path, [&] {
        const bool loaded = form.Form_Load();
        return std::to_string(loaded) + " " + onlyBox(ui);
    });
    ASSERT_TRUE(seen);
    EXPECT_EQ(*seen, "0 " + StartupError + "|File|" + Excl);
    EXPECT_EQ(slurp(path), Settings);
}

TEST_F(FileFaults, UnreadableTableFileIsReportedAsNotFound) {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    dir.write("t.txt", "10 1.1\r\n");
    std::optional<std::string> seen = runWithoutAccess(dir.file("t.txt"), [&] {
        form.List1.addItem("old");
        form.Text1.setText(dir.file("t.txt"));
        form.Command10_Click();
        return onlyBox(ui) + " rows=" + std::to_string(form.List1.listCount()) + " status=" + form.Label2.caption();
    });
    ASSERT_TRUE(seen);
    EXPECT_EQ(*seen, CantFind + "|File|" + Excl + " rows=0 status=");
}

// A save of the table read from the unit onto a disk that is full or
// read-only: an existing file keeps its content, a new one is not created,
// no temporary copy stays behind, and no success is claimed.
TEST_F(FileFaults, ATableSaveThatCannotBeWrittenKeepsWhatWasThere) {
    for (bool full : {true, false}) {
        SCOPED_TRACE(full ? "full disk" : "read-only folder");
        TinyDisk disk(dir.file("disk"));
        if (!disk.mounted()) GTEST_SKIP() << disk.error() << NoMount;
        put(disk.file("old.txt"), "old table\r\n");
        if (full)
            disk.fill();
        else
            ASSERT_TRUE(disk.setReadOnly(true));
        const std::vector<std::string> before = disk.names();
        const std::string reason = full ? "*No space left on device* " : "*Read-only file system* ";
        form.List2.clear();
        for (int i = 0; i < 300; ++i) form.List2.addItem(" " + std::to_string(i) + "  1.5");
        form.EnableFrames();
        form.Label2.setCaption("before");

        for (const char* name : {"old.txt", "new.txt"}) {
            ui.boxes.clear();
            ui.confirmNextDialog(disk.file(name));
            if (name == std::string("old.txt")) ui.answerNextQuestion(Answer::Yes);
            form.Command2_Click();
            EXPECT_TRUE(ui.scriptDone());
            ASSERT_FALSE(ui.boxes.empty());
            const MessageRecord& last = ui.boxes.back();
            EXPECT_TRUE(like(last.text, " Can't save file: " + reason)) << name << ": " << last.text;
            EXPECT_EQ(last.title, "File");
            EXPECT_EQ(last.icon, Icon::Exclamation);
            EXPECT_EQ(form.Label2.caption(), "before");
            EXPECT_TRUE(form.Frame4.enabled() && form.Frame13.enabled());
        }
        EXPECT_EQ(disk.names(), before);
        EXPECT_EQ(slurp(disk.file("old.txt")), "old table\r\n");
    }
}

// ---- A table file that changes under "Save Table to Unit" ----------------------

class TableFileChanges : public UnitFixture {
protected:
    void load(const std::string& content) {
        dir.write("table.txt", content);
        form.Text1.setText(dir.file("table.txt"));
        form.Command10_Click();
        ui.boxes.clear();
    }
    // Runs the transfer with the table file changed while the unit's mode is
    // queried, after the check pass has read it.
    void transferChangingTheFile(const std::function<void()>& change) {
        bool done = false;
        ui.onEvents = [&] {
            if (!done && form.Label2.caption() == "Verifying Rarerizeza Rerededo...") {
                change();
                done = true;
            }
        };
        form.Command1_Click();
        ui.onEvents = nullptr;
        EXPECT_TRUE(done);
        EXPECT_EQ(form.Label2.caption(), "Transfer aborted...");
        EXPECT_EQ(form.List1.listCount(), 2);
        EXPECT_EQ(frames(), AllEnabled);
        EXPECT_FALSE(port.isOpen());
    }
};

TEST_F(TableFileChanges, AFileGoneOrSpoiledAfterItsCheckWritesNothingUnchecked) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.table.clear();
    startUnit(cfg);
    load("10 1.1\r\n20 1.2\r\n");
    transferChangingTheFile([&] { std::filesystem::remove(dir.file("table.txt")); });
    EXPECT_EQ(boxes(), (std::vector<Box>{{CantFind, "File", Icon::Exclamation}}));
    EXPECT_TRUE(stored().table.empty());

    ui.boxes.clear();
    load("10 1.1\r\n20 1.2\r\n");
    transferChangingTheFile([&] { dir.write("table.txt", "10 1.1\r\n20 1.0 5\r\n"); });
    EXPECT_EQ(boxes(), (std::vector<Box>{{" Non-numeric ratio value detected, line  2.  Transfer aborted.", "Error"}}));
    EXPECT_EQ(stored().table, (std::vector<sim::TableLine>{{"10", "1.1"}}));
}

TEST_F(TableFileChanges, EmptyOrCutShortFilesSendNoTable) {
    startUnit();
    load("");
    EXPECT_EQ(form.List1.listCount(), 0);
    EXPECT_EQ(form.Label2.caption(), "File read successful...");
    form.Command1_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{" No Table from File to transfer. ", "Info", Icon::Exclamation}}));

    ui.boxes.clear();
    load("10 1.1\r\n20 1.2\r\n3");  // the last line cut after its first character
    EXPECT_EQ(form.List1.items(), (std::vector<std::string>{"10 1.1", "20 1.2", "3"}));
    form.Command1_Click();
    EXPECT_EQ(boxes(), (std::vector<Box>{{" Invalid table entry, line  3.  Transfer aborted.", "Error", Icon::Exclamation}}));
    EXPECT_EQ(unitReceived(), (std::vector<std::string>{"*0100VR", "*0100VR"}));
    EXPECT_EQ(stored().table, sim::defaultConfig().table);
}

}  // namespace
}  // namespace qv::test
