// The table files on a disk that is full, read-only or unreadable for the
// user, and a table file that changes under a transfer: every failure is
// reported and no file that was there before is lost or cut.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <fnmatch.h>

#include <filesystem>
#include <fstream>

#include "support/system_faults.h"
#include "support/unit_fixture.h"

namespace qv::test {
namespace {

const std::string CantFind = " Can't find selected file. Please verify... ";
namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
std::string names(const std::string& folder) {
    std::string out;
    for (const auto& e : fs::directory_iterator(folder)) out += e.path().filename().string() + " ";
    return out;
}
bool like(const std::string& text, const std::string& pattern) { return ::fnmatch(pattern.c_str(), text.c_str(), 0) == 0; }

class FileFaults : public FormFixture {
protected:
    void SetUp() override { ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0); }
    void TearDown() override { fs::current_path(savedCwd); }  // the dialogs change it
    const fs::path savedCwd = fs::current_path();
    // Saves List2 (one row) to path; the OK boxes and the status after it.
    std::string save(const std::string& path, bool overwrite) {
        ui.boxes.clear();
        form.Label2.setCaption("before");
        ui.confirmNextDialog(path);
        if (overwrite) ui.answerNextQuestion(Answer::Yes);
        form.Command2_Click();
        std::string out;
        for (const MessageRecord& b : ui.boxes)
            if (b.buttons == Buttons::OK) out += b.text + "|" + b.title + "|";
        return out + form.Label2.caption();
    }
};

TEST_F(FileFaults, UnreadableTableFileIsReportedAsNotFound) {
    dir.write("t.txt", "10 1.1\r\n");
    std::optional<std::string> seen = runWithoutAccess(dir.file("t.txt"), [&] {
        form.List1.addItem("old");
        form.Text1.setText(dir.file("t.txt"));
        form.Command10_Click();
        std::string out;
        for (const MessageRecord& b : ui.boxes) out += b.text + "|";
        return out + std::to_string(form.List1.listCount());
    });
    EXPECT_EQ(seen, CantFind + "|0");
}

// A save onto a disk that is full or read-only: an existing file keeps its
// content, a new one is not created, no temporary copy stays behind, and no
// success is claimed.
TEST_F(FileFaults, ATableSaveThatCannotBeWrittenKeepsWhatWasThere) {
    for (bool full : {true, false}) {
        TinyDisk disk(dir.file("disk"));
        if (!disk.mounted()) GTEST_SKIP() << disk.error();
        std::ofstream(disk.file("old.txt")) << "old table\r\n";
        if (full) disk.fill();
        else ASSERT_TRUE(disk.setReadOnly(true));
        const std::string before = names(disk.path());
        form.List2.clear();
        for (int i = 0; i < 300; ++i) form.List2.addItem(" " + std::to_string(i) + "  1.5");
        const std::string reason = full ? "*No space left on device* " : "*Read-only file system* ";
        for (const char* name : {"old.txt", "new.txt"}) {
            const std::string seen = save(disk.file(name), name == std::string("old.txt"));
            EXPECT_TRUE(like(seen, " Can't save file: " + reason + "|File|before")) << seen;
        }
        EXPECT_EQ(names(disk.path()), before);
        EXPECT_EQ(slurp(disk.file("old.txt")), "old table\r\n");
    }
}

// As a user without root's rights: a file the user may not write, or a new
// file in a folder the user may not write, is reported and nothing changes.
TEST_F(FileFaults, ASaveTheUserMayNotWriteKeepsWhatWasThere) {
    const std::string sub = dir.file("sub"), path = sub + "/t.txt";
    fs::create_directories(sub);
    fs::permissions(sub, fs::perms::all);
    std::ofstream(path) << "old";
    form.List2.addItem(" 1  2");
    for (const std::string what : {"write", "create"}) {
        if (what == "write") {
            ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
        } else {
            fs::remove(path);
            ASSERT_EQ(::chmod(sub.c_str(), 0555), 0);
        }
        const std::string before = names(sub) + slurp(path);
        const std::optional<std::string> seen = runUnprivileged([&] { return save(path, what == "write"); });
        ASSERT_TRUE(seen) << "the case did not run as another user";
        EXPECT_TRUE(like(*seen, " Can't save file: Cannot " + what + " *Permission denied* |File|before")) << *seen;
        EXPECT_EQ(names(sub) + slurp(path), before);  // no temporary file left, nothing else made
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
        EXPECT_EQ(form.Label2.caption(), "Transfer aborted...");
        EXPECT_EQ(stored().table.size(), written++);
        EXPECT_EQ(frames(), AllEnabled);
        EXPECT_FALSE(port.isOpen());
    }
}

}  // namespace
}  // namespace qv::test
