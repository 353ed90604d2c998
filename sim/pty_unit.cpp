#include "sim/pty_unit.h"

#include "platform/posix/port_numbers.h"
#include "platform/posix/baud_rates.h"
#include "platform/serial_port.h"
#include "sim/reply_schedule.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <optional>
#include <stdexcept>

namespace qv::sim {

namespace {

using Clock = ReplyClock;
using Seconds = std::chrono::duration<double>;

// How often a hung-up line (the program has the port closed) is looked at.
constexpr auto HangupRecheck = std::chrono::milliseconds(5);


std::runtime_error failure(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

PtyUnit::PtyUnit(const std::string& folder, UnitConfig cfg, int port, std::vector<SerialDevice> devices)
    : model_(std::move(cfg)) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) throw failure("posix_openpt");
    try {
        if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw failure("grantpt/unlockpt");
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) throw failure("ptsname_r");
        slavePath_ = name;
        // The line settings are the slave's; on the master side they are
        // read and set all the same, so no descriptor of the slave is needed.
        termios t{};
        if (::tcgetattr(master_, &t) != 0) throw failure("tcgetattr");
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        // A unit set to a speed outside the ten still opens its line at 9600.
        const speed_t speed = speedOf(model_.config().baud) != B0 ? speedOf(model_.config().baud) : B9600;
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        if (::tcsetattr(master_, TCSANOW, &t) != 0) throw failure("tcsetattr");
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) throw failure("pipe2");

        const std::string where = folder.empty() ? std::string(".") : folder;
        // A number the program's rule finds free; one taken meanwhile by
        // someone else (EEXIST) is passed over. An existing COM<N> is never
        // replaced: it may be the user's own link to an adapter.
        const PortNumbers numbers(where, std::move(devices));
        for (int n = port > 0 ? port : 1; n <= (port > 0 ? port : ListedPorts) && port_ == 0; ++n) {
            if (port == 0 && !numbers.detail(n).empty()) continue;
            const std::string path = comLinkPath(where, n);
            if (::symlink(slavePath_.c_str(), path.c_str()) == 0) {
                port_ = n;
                linkPath_ = path;
            } else if (errno != EEXIST) {
                throw failure("cannot make the link " + path);
            } else if (port > 0) {
                throw std::runtime_error(path + " exists already; a COM link is never replaced");
            }
        }
        if (port_ == 0)
            throw std::runtime_error("no free port number from 1 to " + std::to_string(ListedPorts) + " in " + where);
    } catch (...) {
        closeFds();
        throw;
    }
    thread_ = std::thread([this] { run(); });
}

PtyUnit::~PtyUnit() {
    stop();
    closeFds();
    if (!linkPath_.empty()) {
        char target[256];
        ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_) ::unlink(linkPath_.c_str());
    }
}

void PtyUnit::closeFds() {
    for (int* fd : {&master_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void PtyUnit::stop() {
    if (!thread_.joinable()) return;
    char c = 0;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
    thread_.join();
}

std::vector<std::string> PtyUnit::received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return model_.received();
}

void PtyUnit::withModel(const std::function<void(UnitModel&)>& fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    fn(model_);
}

int PtyUnit::lineBaud() const {
    termios t{};
    if (master_ < 0 || ::tcgetattr(master_, &t) != 0) return 0;
    return baudOf(::cfgetispeed(&t));
}

void PtyUnit::run() {
    // Wake up on time: the default timer slack would add ~50 us to every
    // paced character group.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::deque<TimedChar> rx;  // characters still crossing the line to the unit
    std::deque<TimedChar> tx;  // reply characters not yet sent
    Clock::time_point rxFree{}, txFree{};
    std::string lineBuf;
    bool masterHup = false;

    auto charTime = [](bool paced, int baud) {
        return paced && baud > 0 ? std::chrono::duration_cast<Clock::duration>(Seconds(10.0 / baud))
                                 : Clock::duration::zero();
    };

    // Hands one complete line to the unit; false when the unit hung up.
    auto dispatch = [&](const std::string& line, Clock::time_point done) {
        int baud = lineBaud();
        std::optional<std::string> reply;
        bool paced;
        int pieces;
        double delay;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            UnitConfig& cfg = model_.config();
            if (baud != cfg.baud) return true;  // noise at the wrong speed
            if (hangsUpNow(model_)) {
                // Mark the hang-up before the line drops, so that whoever sees
                // the dropped line also sees the mark.
                hungUp_ = true;
                ::close(master_);
                master_ = -1;
                return false;
            }
            reply = model_.handle(line);
            paced = cfg.paced;
            pieces = cfg.faults.pieces;
            delay = replyDelayOf(model_);
        }
        if (reply) txFree = queueReply(tx, *reply, std::max(done, txFree), delay, pieces, charTime(paced, baud));
        return true;
    };

    while (true) {
        auto now = Clock::now();
        while (!rx.empty() && rx.front().due <= now) {
            char c = rx.front().c;
            auto due = rx.front().due;
            rx.pop_front();
            if (c == '\n') {
                std::string line;
                line.swap(lineBuf);
                if (!dispatch(line, due)) return;
            } else {
                lineBuf += c;
            }
        }
        std::string chunk;
        for (const TimedChar& t : tx) {
            if (t.due > now) break;
            chunk += t.c;
        }
        if (!chunk.empty()) {
            ssize_t n = ::write(master_, chunk.data(), chunk.size());
            if (n > 0) tx.erase(tx.begin(), tx.begin() + n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR) tx.clear();
        }

        // Sleep until the next character is due, the program writes, or stop().
        bool writeBlocked = !chunk.empty() && !tx.empty() && tx.front().due <= now;
        std::optional<Clock::time_point> next;
        if (!rx.empty()) next = rx.front().due;
        if (!tx.empty() && !writeBlocked) next = next ? std::min(*next, tx.front().due) : tx.front().due;
        if (masterHup) {
            auto retry = now + HangupRecheck;
            next = next ? std::min(*next, retry) : retry;
        }
        timespec ts{};
        timespec* timeout = nullptr;
        if (next) {
            auto left = std::max(Clock::duration::zero(), *next - Clock::now());
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            ts.tv_sec = static_cast<time_t>(ns / 1000000000);
            ts.tv_nsec = static_cast<long>(ns % 1000000000);
            timeout = &ts;
        }
        // A hung-up master reports POLLHUP at once, whatever is asked: it is
        // left out of the poll, which then only sleeps until the next look.
        pollfd fds[2] = {{wake_[0], POLLIN, 0},
                         {master_, static_cast<short>(POLLIN | (writeBlocked ? POLLOUT : 0)), 0}};
        int r = ::ppoll(fds, masterHup ? 1 : 2, timeout, nullptr);
        if (r < 0 && errno != EINTR) return;
        if (fds[0].revents) return;
        if (masterHup) {
            pollfd look{master_, POLLIN, 0};
            if (::poll(&look, 1, 0) < 0) return;
            fds[1].revents = look.revents;
        }
        // The program has the port closed: no slave descriptor is open.
        masterHup = (fds[1].revents & (POLLHUP | POLLERR)) != 0;
        if (fds[1].revents & POLLIN) {
            char buf[1024];
            auto arrived = Clock::now();
            bool paced;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                paced = model_.config().paced;
            }
            auto step = charTime(paced, lineBaud());
            while (true) {
                ssize_t n = ::read(master_, buf, sizeof buf);
                if (n <= 0) break;
                for (ssize_t i = 0; i < n; ++i) {
                    rxFree = std::max(rxFree, arrived) + step;
                    rx.push_back({rxFree, buf[i]});
                }
            }
        }
    }
}

}  // namespace qv::sim
