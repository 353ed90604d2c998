// SIGTERM, SIGHUP and SIGINT turned into an event the window's loop can wait
// for, so that a desktop session ending, a closed terminal or a `kill` close
// the window the ordinary way (the shutdown step runs) instead of ending the
// process on the spot.
//
// How this works: the signal handler only writes the signal's number into a
// pipe, which is all a handler may safely do. The read end of the pipe is a
// descriptor the event loop watches; when it becomes readable, take() reads
// what arrived and the loop closes the window in its own time.
#pragma once

namespace qv {

class TerminationSignals {
public:
    // Installs the handlers for SIGTERM, SIGHUP and SIGINT, except for a signal
    // the process was started with ignored. Only one object may exist at a time. When the pipe cannot be made, fd() is -1 and the
    // signals keep their usual effect.
    TerminationSignals();
    // Restores the handlers that were there before and closes the pipe.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // The descriptor that becomes readable when a signal arrived; -1 when
    // none could be made.
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
