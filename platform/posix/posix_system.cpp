// Small services of POSIX systems behind platform-neutral declarations: the
// local calendar time (platform/clock.h) and the console of the command-line
// program (platform/console/terminal.h).
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/console/terminal.h"

namespace qv {

std::tm localCalendar(std::time_t t) {
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return tm;
}

// A terminal on POSIX takes UTF-8 as it is.
void prepareConsole() {}

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

size_t terminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// The arguments are bytes as the shell passed them, UTF-8 in a UTF-8 locale.
std::vector<std::string> utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace qv
