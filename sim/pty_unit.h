// A simulated unit served on a pseudo terminal by a background thread.
//
// The pty's slave side is linked as <folder>/COM<port>, which the program
// opens as its serial port; the unit talks through the master side. The unit
// holds no descriptor of the slave, so the program is the only one to have
// it open. While the program has the port closed the master side reports a
// hang-up (reads fail with EIO, poll gives POLLHUP); the unit then looks
// again every few milliseconds, and serves again as soon as the port is
// opened. The link is made only where no COM<N> exists, at a number the
// program's own rule finds free (platform/port_numbers.h); the unit removes
// it at the end only while it still leads to its pty.
//
// Line speed: the unit reads the baud rate the program set on the line (both
// ends of a pty share one set of line settings). When it differs from the
// unit's own, the unit hears only noise: such lines are dropped unseen (no
// reply, not in received()). When paced, a command counts as received only
// once its characters would have crossed the line (10 bits per character at
// the line's baud rate), and the reply goes out at that pace too, in groups of
// characters written at their due times.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial_devices.h"
#include "sim/unit_model.h"

namespace qv::sim {

class PtyUnit {
public:
    // port 0 takes the lowest number that reaches nothing in folder, with
    // `devices` as the serial devices present (a number without COM file is
    // taken when its /dev/ttyS<N-1> is one of them). Throws
    // std::runtime_error when the pty or the link cannot be made, when no
    // number from 1 to 99 is free, and when COM<port> exists already.
    PtyUnit(const std::string& folder, UnitConfig cfg, int port = 0, std::vector<SerialDevice> devices = {});
    ~PtyUnit();  // stops the thread, removes the COM link
    PtyUnit(const PtyUnit&) = delete;
    PtyUnit& operator=(const PtyUnit&) = delete;

    int port() const { return port_; }
    std::string slavePath() const { return slavePath_; }
    std::string linkPath() const { return linkPath_; }
    // A thread-safe copy of every line the unit received (without CR LF).
    std::vector<std::string> received();
    // Thread-safe access to the unit (change faults, read stored values).
    void withModel(const std::function<void(UnitModel&)>& fn);
    // True once the unit hung up the line (Faults::hangupAfter).
    bool hungUp() const { return hungUp_; }
    // Stops the thread; the link stays until destruction.
    void stop();

private:
    void run();
    int lineBaud() const;
    void closeFds();

    std::mutex mutex_;
    UnitModel model_;
    int port_ = 0;
    std::string linkPath_;
    std::string slavePath_;
    int master_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> hungUp_{false};
    std::thread thread_;
};

}  // namespace qv::sim
