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

// A save over a file that is not a plain writable file in a writable folder,
// run as a user without root's rights: a link is written through and kept, a
// folder that takes no temporary file gets the file written in place, and a
// file the user may not write is reported and left as it was.
TEST_F(FileFaults, ASaveWritesThroughLinksAndInPlaceButNeverOverAReadOnlyFile) {
    // name: in the folder "sub"; fileMode 0: no such file; link: the name is a
    // link to "../real/t.txt"; box: a pattern, empty when saved.
    const struct { std::string name; mode_t folderMode, fileMode; bool link; std::string box; } cases[] = {
        {"t.txt", 0777, 0444, false, " Can't save file: Cannot write *Permission denied* |File|before"},
        {"t.txt", 0777, 0666, true, ""},
        {"t.txt", 0555, 0666, false, ""},
        {std::string(250, 'n'), 0777, 0666, false, ""},
        {"t.txt", 0555, 0, false, " Can't save file: Cannot create *Permission denied* |File|before"},
    };
    for (const auto& c : cases) {
        const std::string sub = dir.file("sub"), real = dir.file("real"), path = sub + "/" + c.name;
        for (const std::string& folder : {sub, real}) {
            fs::remove_all(folder);
            fs::create_directories(folder);
            fs::permissions(folder, fs::perms::all);
        }
        const std::string file = c.link ? real + "/t.txt" : path;
        if (c.link) fs::create_symlink("../real/t.txt", path);
        if (c.fileMode != 0) {
            std::ofstream(file) << "old";
            ASSERT_EQ(::chmod(file.c_str(), c.fileMode), 0);
        }
        ASSERT_EQ(::chmod(sub.c_str(), c.folderMode), 0);
        const std::string before = names(sub) + names(real);
        form.List2.clear();
        form.List2.addItem(" 1  2");
        const std::optional<std::string> seen = runUnprivileged([&] { return save(path, c.fileMode != 0); });
        ASSERT_TRUE(seen) << "the case did not run as another user";
        EXPECT_TRUE(like(*seen, c.box.empty() ? "File save successful." : c.box)) << *seen;
        const std::string content = slurp(file);
        if (!c.box.empty())
            EXPECT_EQ(content, c.fileMode != 0 ? "old" : "");
        else
            EXPECT_TRUE(content.starts_with("*\r\n") && content.ends_with("\r\n 1  2\r\n")) << content;
        if (c.link) { EXPECT_TRUE(fs::is_symlink(path)); }
        EXPECT_EQ(names(sub) + names(real), before);  // no temporary file left, nothing else made
        ASSERT_EQ(::chmod(sub.c_str(), 0755), 0);
    }
}

// "Save Table to Unit" with the table file gone or spoiled after the check
// pass read it, while the unit's mode is queried: nothing unchecked is written.
class TableFileChanges : public UnitFixture {};

TEST_F(TableFileChanges, AFileGoneOrSpoiledAfterItsCheckWritesNothingUnchecked) {
    startUnitWith([](sim::UnitConfig& c) { c.table.clear(); });
    const std::function<void()> changes[] = {
        [&] { fs::remove(dir.file("table.txt")); },
        [&] { dir.write("table.txt", "10 1.1\r\n20 1.0 5\r\n"); }};
    const std::vector<Box> expected[] = {
        {{CantFind, "File", Icon::Exclamation}},
        {{" Non-numeric ratio value detected, line  2.  Transfer aborted.", "Error"}}};
    for (int i = 0; i < 2; ++i) {
        dir.write("table.txt", "10 1.1\r\n20 1.2\r\n");
        form.Text1.setText(dir.file("table.txt"));
        form.Command10_Click();
        ui.boxes.clear();
        ui.onEvents = [&, done = false]() mutable {
            if (!done && form.Label2.caption() == "Verifying Rarerizeza Rerededo...") changes[i](), done = true;
        };
        form.Command1_Click();
        ui.onEvents = nullptr;
        EXPECT_EQ(boxes(), expected[i]);
        EXPECT_EQ(form.Label2.caption(), "Transfer aborted...");
        EXPECT_EQ(stored().table.size(), size_t(i));  // the first, checked row only
        EXPECT_EQ(frames(), AllEnabled);
        EXPECT_FALSE(port.isOpen());
    }
}

}  // namespace
}  // namespace qv::test
