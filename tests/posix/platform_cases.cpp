// The rows of the shared tables that are POSIX's own, and the POSIX program
// folder's permissions.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/program_folder.h"
#include "support/platform_cases.h"
#include "support/temp_dir.h"

namespace qv {

// A read-only file is no obstacle to root, who runs these tests under CI:
// the read-only save is in file_faults_test.cpp, as another user.
std::vector<Steps> systemTableFileSteps() { return {}; }

std::vector<FolderChoice> folderChoices() {
    return {
        {"/opt/q", true, "/cfg", "/home/u", "/opt/q"},
        {"/usr/bin", false, "/cfg/", "/home/u", "/cfg/quorvel-config"},
        {"/usr/bin", false, "cfg", "/home/u", "/home/u/.config/quorvel-config"},  // relative XDG_CONFIG_HOME
        {"", true, "", "/home/u", "/home/u/.config/quorvel-config"},
        {"/usr/bin", false, "", "u", ""},  // no absolute home folder
    };
}

namespace {

// The per-user folder is made with its parents, for its user alone.
TEST(ProgramFolderChoice, ThePerUserFolderIsMadeWithItsParentsForItsUserAlone) {
    TempDir dir;
    dir.write("file", "");
    std::filesystem::create_directory(dir.file("kept"));
    std::filesystem::permissions(dir.file("kept"), std::filesystem::perms(0755));
    EXPECT_EQ(makeFolder(dir.file("home/.config/q")), std::error_code());
    EXPECT_EQ(makeFolder(dir.file("kept/q/")), std::error_code());
    EXPECT_EQ(makeFolder(dir.file("file/q")), std::make_error_code(std::errc::not_a_directory));
    std::ostringstream modes;
    for (const char* name : {"home", "home/.config", "home/.config/q", "kept", "kept/q"})
        modes << std::oct << int(std::filesystem::status(dir.file(name)).permissions() & std::filesystem::perms::all) << " ";
    EXPECT_EQ(modes.str(), "700 700 700 755 700 ");
}

}  // namespace
}  // namespace qv
