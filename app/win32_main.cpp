// The program on Windows: the native window, the serial port \\.\COM<N>.
//
// With QUORVEL_EXIT_AFTER_SHOW set in the environment the program prints
// "shown <seconds>" once the window has been shown and painted for the first
// time, and ends without its shutdown step: the seconds count from the start
// of the process.

#include "app/win32_program.h"

#include <commctrl.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <sstream>

namespace {

// Seconds since the process was made, from its creation time.
double processAge() {
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    ::GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(now) - ticks(created)) / 1e7;  // 100 ns ticks
}

}  // namespace

int main() {
    // Numbers are read and written with "." as their decimal point whatever
    // the locale; the whole-text value follows the user's.
    std::setlocale(LC_ALL, "");
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
    ::InitCommonControlsEx(&controls);

    try {
        qv::Win32Program program;
        if (!program.form.Form_Load()) return 1;
        if (std::getenv("QUORVEL_EXIT_AFTER_SHOW")) {
            program.window.onFirstPaint = [] {
                std::ostringstream out;
                out.imbue(std::locale::classic());
                out << "shown " << std::fixed << std::setprecision(3) << processAge() << '\n';
                std::fputs(out.str().c_str(), stdout);
                std::fflush(stdout);
                // Leave the message loop without closing the window, so a
                // measurement run skips the shutdown step and leaves the
                // settings file as it was.
                ::PostQuitMessage(0);
            };
        }
        program.window.show();
        return qv::runMessageLoop(program.window);
    } catch (const std::exception& e) {
        ::MessageBoxW(nullptr, qv::win32::wide(e.what()).c_str(), qv::win32::wide(qv::AppTitle).c_str(),
                      MB_OK | MB_ICONHAND);
        return 1;
    }
}
