// Ctrl+C, Ctrl+Break and a closed console window on Windows, behind the
// interface of platform/termination_signals.h.
#include "platform/termination_signals.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace qv {

namespace {

// The last event as a signal number, 0 when none is pending.
std::atomic<int> pending{0};
// Set while an object exists; the handler then takes the events.
std::atomic<bool> active{false};
// Signalled by the destructor: a held-back console close may go on. Made
// once and kept for the life of the process, since the handler's thread may
// still be waiting on it when the object goes.
HANDLE finished = nullptr;

// How long a console close is held back: the system ends the process after
// about five seconds whatever the handler does.
constexpr DWORD CloseGraceMs = 4500;

BOOL WINAPI onConsoleControl(DWORD event) {
    if (!active) return FALSE;
    switch (event) {
        case CTRL_C_EVENT:
            pending = SIGINT;
            return TRUE;
        case CTRL_BREAK_EVENT:
            pending = SIGBREAK;
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            pending = SIGTERM;
            // The process ends once this returns: give the program's own
            // shutdown the time it needs, until this object is gone.
            if (finished) ::WaitForSingleObject(finished, CloseGraceMs);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

TerminationSignals::TerminationSignals() {
    pending = 0;
    if (!finished) finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (finished) ::ResetEvent(finished);
    active = true;
    installed_ = ::SetConsoleCtrlHandler(onConsoleControl, TRUE) != 0;
    if (!installed_) active = false;
}

TerminationSignals::~TerminationSignals() {
    active = false;
    if (installed_) ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
    if (finished) ::SetEvent(finished);
}

int TerminationSignals::take() { return pending.exchange(0); }

}  // namespace qv
