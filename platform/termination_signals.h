// The system's requests to end the program turned into a notice the program's
// loop can look for, so that a desktop session ending, a closed terminal or
// console window, Ctrl+C or a `kill` close the program the ordinary way (the
// shutdown step runs) instead of ending the process on the spot.
//
// How this works on POSIX (platform/posix/termination_signals.cpp): SIGTERM,
// SIGHUP and SIGINT are caught; the handler only writes the signal's number
// into a pipe, which is all a handler may safely do. The read end of the pipe
// is a descriptor an event loop can watch; take() reads what arrived.
//
// On Windows (platform/win32/termination_signals.cpp) a console control
// handler catches Ctrl+C (reported as SIGINT), Ctrl+Break (SIGBREAK) and the
// closing of the console window, a logoff or a shutdown (SIGTERM). It runs on
// a thread of its own and only records the event; take() picks it up. For a
// closed console the system ends the process once the handler returns, so
// the handler holds it back until this object is destroyed (at most about
// five seconds, the time the system grants): the shutdown step has that long.
// There is no descriptor there: fd() is -1 and take() is polled.
#pragma once

namespace qv {

class TerminationSignals {
public:
    // Installs the handlers, except (POSIX) for a signal the process was
    // started with ignored. Only one object may exist at a time. When the
    // handlers cannot be installed, the requests keep their usual effect.
    TerminationSignals();
    // Restores the handlers that were there before and lets a held-back
    // console close go on.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // The descriptor that becomes readable when a signal arrived; -1 when
    // none could be made, and always on Windows.
    int fd() const { return readEnd_; }
    // Reads every pending notice without waiting; returns the number of the
    // last signal that arrived, or 0 when none is pending.
    int take();

private:
    int readEnd_ = -1;
    int writeEnd_ = -1;
    bool installed_ = false;
};

}  // namespace qv
