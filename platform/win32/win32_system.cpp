// Small services of Windows behind platform-neutral declarations: the local
// calendar time (platform/clock.h) and the console of the command-line
// program (platform/console/terminal.h).
#include "platform/win32/win32_text.h"  // windows.h, which shellapi.h needs first

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/clock.h"
#include "platform/console/terminal.h"

namespace qv {

std::tm localCalendar(std::time_t t) {
    std::tm tm{};
    ::localtime_s(&tm, &t);
    return tm;
}

void prepareConsole() {
    // The program writes UTF-8; the console shows it as such only with this
    // code page (the default is the OEM one, e.g. 850).
    ::SetConsoleOutputCP(CP_UTF8);
    // The bytes written are the bytes that arrive: a table sent to standard
    // output keeps its CR LF line ends (text mode would make them CR CR LF)
    // and is the same file as the one read-table saves.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    // The progress bar redraws its line with "\r" and ESC [K.
    for (DWORD stream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE h = ::GetStdHandle(stream);
        DWORD mode = 0;
        if (h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode))
            ::SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

bool standardErrorIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

size_t terminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns > 0) return static_cast<size_t>(columns);
    }
    return 80;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wideArgs = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    // Without the wide command line, the ANSI arguments are the best there is.
    if (!wideArgs) return {argv, argv + argc};
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(win32::utf8(wideArgs[i]));
    ::LocalFree(wideArgs);
    return out;
}

}  // namespace qv
