// The settings file and the table files on a disk that is full, read-only or
// unreadable for the user, and a table file that changes under a transfer:
// every failure is reported and no file that was there before is lost or cut.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <fnmatch.h>

#include <algorithm>
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
std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
bool like(const std::string& text, const std::string& pattern) { return ::fnmatch(pattern.c_str(), text.c_str(), 0) == 0; }
const std::string Excl = std::to_string(static_cast<int>(Icon::Exclamation));

class FileFaults : public FormFixture {
protected:
    void SetUp() override { savedCwd = std::filesystem::current_path(); }
    void TearDown() override { std::filesystem::current_path(savedCwd); }  // the dialogs change it
    std::filesystem::path savedCwd;
};

// Settings on a tiny disk that is full or read-only: a missing file cannot be
// created and start-up ends; an existing one is read, and the shutdown says
// why it could not be replaced and leaves it whole, with no half-written copy.
TEST_F(FileFaults, SettingsOnAFullOrReadOnlyDiskAreKeptWhole) {
    const struct {
        const char* what;
        bool full, existing;
        std::string box;  // a pattern
    } cases[] = {
        {"full disk", true, true, " Settings could not be saved: *No space left on device* |File|" + Excl},
        {"read-only folder", false, true, " Settings could not be saved: *Read-only file system* |File|" + Excl},
        {"read-only folder, no file", false, false, StartupError + "|File|" + Excl},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TinyDisk disk(dir.file("disk"));
        if (!disk.mounted()) GTEST_SKIP() << disk.error() << NoMount;
        ui.folder = disk.path();
        ui.boxes.clear();
        if (c.existing) put(disk.file(SettingsFileName), Settings);
        if (c.full)
            disk.fill();
        else
            ASSERT_TRUE(disk.setReadOnly(true));
        const std::vector<std::string> before = disk.names();
        MainForm window{platform};
        const bool loaded = window.Form_Load();
        EXPECT_EQ(loaded, c.existing);
        if (loaded) {
            EXPECT_EQ(window.Combo1.text(), "3");
            window.PortNumber = "7";
            window.Form_Unload();
        }
        EXPECT_TRUE(like(onlyBox(ui), c.box)) << onlyBox(ui);
        EXPECT_EQ(disk.names(), before);
        if (c.existing) { EXPECT_EQ(slurp(disk.file(SettingsFileName)), Settings); }
    }
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

// A save over a file that is not a plain writable file in a writable folder,
// run as a user without root's rights: a link is written through and kept, a
// folder that takes no temporary file gets the file written in place, and a
// file the user may not write is reported and left as it was. Settings rows
// write the settings file at shutdown, the others save the table.
TEST_F(FileFaults, ASaveWritesThroughLinksAndInPlaceButNeverOverAReadOnlyFile) {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string longName(250, 'n');
    const struct {
        const char* what;
        bool settings;
        std::string name;    // in the folder "sub"; the settings file for settings rows
        mode_t folderMode;
        mode_t fileMode;     // 0: no such file
        std::string linkTo;  // the name is a link to this file in "real", relative to "sub"
        std::string box;     // a pattern; empty: saved without a word
    } cases[] = {
        {"read-only file", false, "t.txt", 0777, 0444, "", " Can't save file: Cannot write *Permission denied* "},
        {"read-only settings", true, SettingsFileName, 0777, 0444, "",
         " Settings could not be saved: Cannot write *Permission denied* "},
        {"link", false, "t.txt", 0777, 0666, "../real/t.txt", ""},
        {"read-only folder", false, "t.txt", 0555, 0666, "", ""},
        {"a 250-character name", false, longName, 0777, 0666, "", ""},
        {"new file in a read-only folder", false, "t.txt", 0555, 0, "",
         " Can't save file: Cannot create *Permission denied* "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        namespace fs = std::filesystem;
        const std::string sub = dir.file("sub"), real = dir.file("real");
        fs::remove_all(sub);
        fs::remove_all(real);
        fs::create_directories(sub);
        fs::create_directories(real);
        ASSERT_EQ(::chmod(real.c_str(), 0777), 0);
        const std::string path = sub + "/" + c.name;
        const std::string file = c.linkTo.empty() ? path : sub + "/" + c.linkTo;
        if (!c.linkTo.empty()) fs::create_symlink(c.linkTo, path);
        if (c.fileMode != 0) {
            put(file, "old");
            ASSERT_EQ(::chmod(file.c_str(), c.fileMode), 0);
        }
        ASSERT_EQ(::chmod(sub.c_str(), c.folderMode), 0);
        const std::vector<std::string> subBefore = folderNames(sub), realBefore = folderNames(real);

        ui.folder = sub;
        std::optional<std::string> seen = runUnprivileged([&] {
            ui.boxes.clear();
            form.Label2.setCaption("before");
            if (c.settings) {
                form.PortNumber = "7";
                form.Form_Unload();
            } else {
                form.List2.clear();
                form.List2.addItem(" 1  2");
                ui.confirmNextDialog(path);
                if (c.fileMode != 0) ui.answerNextQuestion(Answer::Yes);
                form.Command2_Click();
            }
            std::string out;
            for (const MessageRecord& b : ui.boxes)
                if (b.buttons == Buttons::OK) out += b.text;
            return out + "|" + form.Label2.caption();
        });
        ASSERT_TRUE(seen) << "the case did not run as another user";
        const std::string status = c.box.empty() && !c.settings ? "File save successful." : "before";
        EXPECT_TRUE(like(*seen, c.box + "|" + status)) << *seen;

        const std::string content = slurp(file);
        if (!c.box.empty())
            EXPECT_EQ(content, c.fileMode != 0 ? "old" : "");
        else if (c.settings)
            EXPECT_EQ(content, "7\r\n\r\n\r\n\r\n\r\n");
        else
            EXPECT_TRUE(content.starts_with("*\r\n") && content.ends_with("\r\n 1  2\r\n")) << content;
        if (!c.linkTo.empty()) {
            std::error_code notALink;
            EXPECT_EQ(fs::read_symlink(path, notALink), c.linkTo);
        }
        EXPECT_EQ(folderNames(sub), subBefore);  // no temporary file left, nothing else made
        EXPECT_EQ(folderNames(real), realBefore);
        ASSERT_EQ(::chmod(sub.c_str(), 0755), 0);
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

}  // namespace
}  // namespace qv::test
