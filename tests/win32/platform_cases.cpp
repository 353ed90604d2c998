// The rows of the shared tables that are Windows' own.
#include <gtest/gtest.h>

#include "platform/win32/win32_program_folder.h"
#include "support/platform_cases.h"

namespace qv {

// A read-only file is reported and left alone; so is a device name.
std::vector<Steps> systemTableFileSteps() {
    return {
        Steps{"old", "t.txt", "Rudyw", " Selected file already exist. Do you want to replace it?... |File|1|1\n"
              " Can't save file: Cannot write *t.txt\": *|File|0|1\n", "1:old/old", ""},
    };
}

std::vector<FolderChoice> folderChoices() {
    const std::string appData = "C:\\Users\\u\\AppData\\Roaming";
    return {
        {"C:\\q", true, appData, "C:\\Users\\u", "C:\\q"},  // a portable copy
        {"C:\\Program Files\\Quorvel", false, appData + "\\", "C:\\Users\\u", appData + "\\Quorvel Config"},
        {"C:\\Program Files\\Quorvel", false, "AppData", "C:\\Users\\u", appData + "\\Quorvel Config"},  // relative
        {"", true, "", "C:/Users/u", appData + "\\Quorvel Config"},
        {"C:\\Program Files\\Quorvel", false, "", "u", ""},  // no absolute home folder
    };
}

// A copy inside Program Files is an installed one: the folder test behind it.
TEST(ProgramFolderChoice, AFolderIsWithinAnotherByWindowsNames) {
    const std::string ProgramFiles = "C:\\Program Files";
    const struct { std::string path; bool within; } cases[] = {
        {"C:\\Program Files\\Quorvel Config", true},
        {"c:/program files/quorvel config/", true},
        {"C:\\Program Files", true},
        {"C:\\Program Files (x86)\\Quorvel Config", false},  // a sibling that starts alike
        {"D:\\Program Files\\Quorvel Config", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isWithinFolder(c.path, ProgramFiles), c.within) << c.path;
    EXPECT_FALSE(isWithinFolder("C:\\q", ""));
}

}  // namespace qv
