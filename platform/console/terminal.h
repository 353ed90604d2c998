// What the command-line program needs of the console it runs in, per system
// (platform/posix/posix_terminal.cpp, platform/win32/win32_terminal.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qv {

// Makes the console show the program's UTF-8 text as such: on Windows the
// console's output code page becomes UTF-8 and its escape sequences (which
// the progress bar uses) are turned on, and standard output and error take
// the program's bytes as they are (no CR added before LF); elsewhere nothing
// is needed.
void prepareConsole();

// True when standard error is a terminal (a console window on Windows).
bool standardErrorIsTerminal();

// The width in characters of the terminal on standard error; 80 when it
// cannot be told.
size_t terminalColumns();

// The program's arguments as UTF-8 texts, the program's name first. On
// Windows they are taken from the wide-character command line, since `argv`
// holds them in the ANSI code page, which cannot hold every file name.
std::vector<std::string> utf8Arguments(int argc, char** argv);

}  // namespace qv
