// The table files on a disk that is full, read-only or unreadable for the
// user, and a table file that changes under a transfer: every failure is
// reported and no file that was there before is lost or cut.
#include <sys/stat.h>
#include <sys/sysmacros.h>

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

// Only a regular file of at most 1 MiB is read or replaced, as a table file
// ('l' load, 'w' save) or as the settings file ('S' start-up, 'U' shutdown):
// a FIFO (whose open would wait for a writer), a device (/dev/zero would be
// read for ever), a link to one and a larger file are refused with the reason
// and left as they are.
struct Special { std::string make; char op; std::string seen; };
void PrintTo(const Special& c, std::ostream* out) { *out << c.make << " " << c.op; }

class NotARegularFile : public FileFaults, public ::testing::WithParamInterface<Special> {};

std::string kind(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return "none";
    if (S_ISLNK(st.st_mode)) return "link to " + fs::read_symlink(path).string();
    return S_ISREG(st.st_mode) ? "file of " + std::to_string(st.st_size) : "special " + std::to_string(st.st_mode);
}

TEST_P(NotARegularFile, IsRefusedAndLeftAsItIs) {
    const Special& c = GetParam();
    const std::string path = dir.file(c.op == 'S' || c.op == 'U' ? SettingsFileName : "x");
    const size_t max = FileSystem::MaxReadSize;
    if (c.make == "fifo") { ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0); }
    // Devices of /dev/null's and /dev/zero's numbers, made here: a save that
    // wrongly replaced one must not reach the system's own.
    const std::string device = c.make == "link" ? dir.file("dev") : path;
    if ((c.make == "null" || c.make == "zero" || c.make == "link") &&
        ::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, c.make == "zero" ? 5 : 3)) != 0)
        GTEST_SKIP() << "mknod needs root";
    if (c.make == "link") fs::create_symlink("dev", path);
    if (c.make == "max" || c.make == "over")  // 1 MiB, or one byte more
        dir.write("x", "1 2\r\n" + std::string(max - 5 + (c.make == "over"), '*'));
    const std::string before = kind(path) + " " + kind(device) + " " + names(dir.path());
    form.List2.addItem(" 1  2");
    form.Text1.setText(path);
    if (c.op == 'l') form.Command10_Click();
    if (c.op == 'S') form.Form_Load();
    if (c.op == 'U') form.Form_Unload();
    const std::string seen = c.op == 'w' ? save(path, true) : shown();
    EXPECT_TRUE(like(seen, c.seen)) << seen;
    EXPECT_EQ(kind(path) + " " + kind(device) + " " + names(dir.path()), before);
}

const std::string NotRegular = "Error 77 reported. \"*/x\" is not a regular file|File|";
const std::string CantSave = " Can't save file: \"*/x\" is not a regular file |File|";
const std::string StartUp = " Initial Configuration File Error!, Can't continue... |File|";
INSTANTIATE_TEST_SUITE_P(Files, NotARegularFile, ::testing::Values(
    Special{"fifo", 'l', NotRegular}, Special{"zero", 'l', NotRegular},
    Special{"over", 'l', "Error 78 reported. \"*/x\" is larger than 1 MiB|File|"},
    Special{"max", 'l', "File read successful..."},
    Special{"null", 'w', CantSave}, Special{"link", 'w', CantSave}, Special{"fifo", 'w', CantSave},
    Special{"fifo", 'S', StartUp},
    Special{"null", 'U', " Settings could not be saved: \"*\" is not a regular file |File|"}));

// "Save Table to Unit" with the table file gone or spoiled after the check
// pass read it, while the unit's mode is queried: the lines checked, those
// List1 shows, are the ones written.
class TableFileChanges : public UnitFixture {};

TEST_F(TableFileChanges, AFileGoneOrSpoiledAfterItsCheckIsNotReadAgain) {
    startUnitWith([](sim::UnitConfig& c) { c.table.clear(); });
    const std::function<void()> changes[] = {[&] { fs::remove(dir.file("table.txt")); },
                                             [&] { dir.write("table.txt", "10 1.1\r\n20 1.0 5\r\n"); }};
    for (const auto& change : changes) {
        dir.write("table.txt", "10 1.1\r\n20 1.2\r\n");
        form.Text1.setText(dir.file("table.txt"));
        form.Command10_Click();
        unit->withModel([](sim::UnitModel& m) { m.config().table.clear(); });
        ui.onEvents = [&, done = false]() mutable {
            if (!done && form.Label2.caption() == "Verifying Rarerizeza Rerededo...") change(), done = true;
        };
        form.Command1_Click();
        ui.onEvents = nullptr;
        EXPECT_EQ(form.Label2.caption() + "|" + frames(), "Table successfully transferred to unit...|" + std::string(AllEnabled));
        EXPECT_EQ(stored().table, (std::vector<sim::TableLine>{{"10", "1.1"}, {"20", "1.2"}}));
        EXPECT_FALSE(port.isOpen());
    }
}

}  // namespace
}  // namespace qv::test
