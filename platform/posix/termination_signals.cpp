#include "platform/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace qv {

namespace {

constexpr int Handled[] = {SIGTERM, SIGHUP, SIGINT};
constexpr int HandledCount = sizeof Handled / sizeof Handled[0];

// The write end of the pipe, for the handler; -1 when no object exists.
volatile sig_atomic_t notifyFd = -1;
struct sigaction previous[HandledCount];

extern "C" void onTerminationSignal(int number) {
    const int saved = errno;
    const int fd = notifyFd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(number);
        // A full pipe already holds a notice; losing this one changes nothing.
        [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    notifyFd = writeEnd_;

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < HandledCount; ++i) {
        ::sigaction(Handled[i], nullptr, &previous[i]);
        // A signal the starter chose to ignore (nohup, a background job)
        // stays ignored.
        if (previous[i].sa_handler != SIG_IGN) ::sigaction(Handled[i], &action, nullptr);
    }
    installed_ = true;
}

TerminationSignals::~TerminationSignals() {
    if (installed_)
        for (int i = 0; i < HandledCount; ++i) ::sigaction(Handled[i], &previous[i], nullptr);
    notifyFd = -1;
    if (readEnd_ >= 0) ::close(readEnd_);
    if (writeEnd_ >= 0) ::close(writeEnd_);
}

int TerminationSignals::take() {
    if (readEnd_ < 0) return 0;
    int last = 0;
    unsigned char buf[64];
    for (;;) {
        ssize_t n = ::read(readEnd_, buf, sizeof buf);
        if (n > 0) {
            last = buf[n - 1];
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return last;
    }
}

}  // namespace qv
