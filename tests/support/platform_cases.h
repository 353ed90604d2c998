// Rows of the shared tables that differ between systems: each system's test
// build supplies them (tests/posix/platform_cases.cpp,
// tests/win32/platform_cases.cpp).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qv {

// The user's steps, a letter each: 'l' loads the file named in the name box,
// 's' and 'h' choose "Show" and "Hide", 'r' removes the file, 'R' makes it read-only, 'f' makes reads
// fail, 'u' reads two rows from the unit, 'k' as if that read stopped at line
// 35, 'p' makes the file the table file opened, 'd' confirms the next save
// dialog with it, 'y' and 'n' answer the next question and 'w' saves; 'C'
// chooses a file, in an open dialog that 'o' and 'O' confirm with the name as
// it stands and the file and 'c' cancels; 'e' is Enter in the name box. List1
// is given as its size, first and last item; a save writes the header and the
// rows; the file stays as it was otherwise. `chosen` is the table file name,
// the name shown and whether the focus moved on to "Load". `content` is the
// file's before the steps, `name` the one in the name box.
struct Steps { std::string content, name, steps, boxes, list, status; bool saved = false; std::string chosen = ""; };
inline void PrintTo(const Steps& c, std::ostream* out) { *out << c.name << " " << c.steps << " " << c.content.size(); }


// Rows of the table file table that only this system runs.
std::vector<Steps> systemTableFileSteps();

// The program folder's choice: the executable's folder, whether the user may
// create files there, the per-user configuration base and the home folder
// (as chooseProgramFolder takes them), and the folder chosen.
struct FolderChoice { std::string executable; bool writable; std::string configHome, home, folder; };
std::vector<FolderChoice> folderChoices();

}  // namespace qv
