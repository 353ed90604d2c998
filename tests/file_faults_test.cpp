// The table files on a disk that is full, read-only or unreadable for the
// user, and a table file that changes under a transfer: every failure is
// reported and no file that was there before is lost or cut.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <fnmatch.h>

#include <filesystem>

#include "support/system_faults.h"
#include "support/unit_fixture.h"

namespace qv::test {
namespace {

const std::string CantFind = " Can't find selected file. Please verify... ";
namespace fs = std::filesystem;

std::string names(const std::string& folder) {
    std::string out;
    for (const auto& e : fs::directory_iterator(folder)) out += e.path().filename().string() + " ";
    return out;
}
bool like(const std::string& text, const std::string& pattern) { return ::fnmatch(pattern.c_str(), text.c_str(), 0) == 0; }

class FileFaults : public FormFixture {
protected:
    void TearDown() override { fs::current_path(savedCwd); }  // the dialogs change it
    const fs::path savedCwd = fs::current_path();
    // The OK boxes shown since the last call, as "text|title|" each, and the status.
    std::string shown() {
        std::string out;
        for (const MessageRecord& b : ui.boxes)
            if (b.buttons == Buttons::OK) out += b.text + "|" + b.title + "|";
        ui.boxes.clear();
        return out + form.Label2.caption();
    }
    // Saves List2 to path, saying yes to replacing a file that is there.
    std::string save(const std::string& path, bool overwrite) {
        form.Label2.setCaption("before");
        ui.confirmNextDialog(path);
        if (overwrite) ui.answerNextQuestion(Answer::Yes);
        form.Command2_Click();
        return shown();
    }
};

// As a user without root's rights, on a file of root's that only root may
// read and write, in a folder the user may write: loading it is reported as a
// file not found and empties the list; saving over it, or a new file in a
// folder the user may not write, is reported, and nothing changes.
TEST_F(FileFaults, FilesTheUserMayNotReadOrWriteAreReportedAndKept) {
    dir.write("t.txt", "10 1.1\r\n");
    fs::create_directory(dir.file("ro"));
    // A file the user may write is written in place where its folder takes
    // no new file, and through a symbolic link, which stays a link.
    dir.write("ro/w.txt", ""), dir.write("target.txt", "");
    fs::create_symlink("target.txt", dir.file("link.txt"));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777) | ::chmod(dir.file("t.txt").c_str(), 0600) |
                  ::chmod(dir.file("ro/w.txt").c_str(), 0666) | ::chmod(dir.file("target.txt").c_str(), 0666) |
                  ::chmod(dir.file("ro").c_str(), 0555), 0);
    form.List1.addItem("old");
    form.List2.addItem(" 1  2");
    form.Text1.setText(dir.file("t.txt"));
    const std::optional<std::string> seen = runUnprivileged([&] {
        form.Command10_Click();
        std::string out = shown() + "|" + std::to_string(form.List1.listCount()) + "|";
        out += save(dir.file("t.txt"), true) + "|";
        out += save(dir.file("ro/new.txt"), false) + "|";
        return out + save(dir.file("ro/w.txt"), true) + "|" + save(dir.file("link.txt"), true);
    });
    ASSERT_TRUE(seen) << "the case did not run as another user";
    EXPECT_TRUE(like(*seen, CantFind + "|File||0| Can't save file: Cannot write *Permission denied* |File||"
                            " Can't save file: Cannot create *Permission denied* |File||File save successful.|File save successful."))
        << *seen;
    const auto entries = std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
    EXPECT_EQ(names(dir.file("ro")) + dir.read("t.txt") + std::to_string(entries), "w.txt 10 1.1\r\n4");  // no temporary file left
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_TRUE(dir.read("ro/w.txt").ends_with(" 1  2\r\n") && dir.read("target.txt") == dir.read("ro/w.txt"));
}

// A save onto a disk that is full or read-only: an existing file keeps its
// content, a new one is not created, no temporary copy stays behind, and no
// success is claimed (the status of an earlier save is cleared).
TEST_F(FileFaults, ATableSaveThatCannotBeWrittenKeepsWhatWasThere) {
    for (bool full : {true, false}) {
        TinyDisk disk(dir.file("disk"));
        if (!disk.mounted()) GTEST_SKIP() << disk.error();
        dir.write("disk/old.txt", "old table\r\n");
        if (full) disk.fill();
        else ASSERT_TRUE(disk.setReadOnly(true));
        const std::string before = names(disk.path());
        form.List2.clear();
        for (int i = 0; i < 300; ++i) form.List2.addItem(" " + std::to_string(i) + "  1.5");
        const std::string reason = full ? "*No space left on device* " : "*Read-only file system* ";
        for (const char* name : {"old.txt", "new.txt"}) {
            const std::string seen = save(disk.file(name), name == std::string("old.txt"));
            EXPECT_TRUE(like(seen, " Can't save file: " + reason + "|File|")) << seen;
        }
        EXPECT_EQ(names(disk.path()), before);
        EXPECT_EQ(dir.read("disk/old.txt"), "old table\r\n");
    }
}

// "Save Table to Unit" with the table file gone or spoiled after the check
// pass read it, while the unit's mode is queried: nothing unchecked is written.
class TableFileChanges : public UnitFixture {};

TEST_F(TableFileChanges, AFileGoneOrSpoiledAfterItsCheckWritesNothingUnchecked) {
    startUnitWith([](sim::UnitConfig& c) { c.table.clear(); });
    const std::pair<std::function<void()>, Box> cases[] = {
        {[&] { fs::remove(dir.file("table.txt")); }, {CantFind, "File", Icon::Exclamation}},
        {[&] { dir.write("table.txt", "10 1.1\r\n20 1.0 5\r\n"); },
         {" Non-numeric ratio value detected, line  2.  Transfer aborted.", "Error"}}};
    size_t written = 0;  // the rows before the spoiled one
    for (const auto& [change, box] : cases) {
        dir.write("table.txt", "10 1.1\r\n20 1.2\r\n");
        form.Text1.setText(dir.file("table.txt"));
        form.Command10_Click();
        ui.boxes.clear();
        ui.onEvents = [&, done = false]() mutable {
            if (!done && form.Label2.caption() == "Verifying Rarerizeza Rerededo...") change(), done = true;
        };
        form.Command1_Click();
        ui.onEvents = nullptr;
        EXPECT_EQ(boxes(), std::vector<Box>{box});
        EXPECT_EQ(form.Label2.caption() + "|" + frames(), "Transfer aborted...|" + std::string(AllEnabled));
        EXPECT_EQ(stored().table.size(), written++);
        EXPECT_FALSE(port.isOpen());
    }
}

}  // namespace
}  // namespace qv::test
