#include "support/pty_peer.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace qv::test {

namespace {
std::runtime_error failure(const std::string& what) { return std::runtime_error(what + ": " + std::strerror(errno)); }
}  // namespace

PtyPeer::PtyPeer(const std::string& folder, int port) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) throw failure("posix_openpt");
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0)
        throw failure("pty setup");
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) throw failure("open " + slavePath_);
    termios t{};
    ::tcgetattr(slave_, &t), ::cfmakeraw(&t), ::tcsetattr(slave_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    for (int n = port > 0 ? port : 1; n <= 255; ++n) {
        std::string path = folder + "/COM" + std::to_string(n);
        if (::symlink(name, path.c_str()) == 0) {
            port_ = n;
            linkPath_ = path;
            break;
        }
        if (errno != EEXIST || port > 0) throw failure("symlink " + path);
    }
    if (port_ == 0) throw std::runtime_error("no free COM<N> in " + folder);
}

PtyPeer::~PtyPeer() {
    close();
    if (!linkPath_.empty()) ::unlink(linkPath_.c_str());
}

termios PtyPeer::lineSettings() const {
    termios t{};
    if (slave_ < 0 || ::tcgetattr(slave_, &t) != 0) throw failure("PtyPeer::lineSettings");
    return t;
}

std::string PtyPeer::readAll(int waitMs) {
    std::string out;
    char buf[1024];
    // After the first byte, the line counts as quiet after 20 ms without one.
    for (pollfd p{master_, POLLIN, 0}; master_ >= 0 && ::poll(&p, 1, out.empty() ? waitMs : 20) > 0;) {
        const ssize_t n = (p.revents & POLLIN) ? ::read(master_, buf, sizeof buf) : 0;
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

void PtyPeer::send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        pollfd p{master_, POLLOUT, 0};
        if (n > 0) done += static_cast<std::size_t>(n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR)) throw failure("PtyPeer::send");
        else if (errno == EAGAIN && ::poll(&p, 1, 2000) <= 0) throw std::runtime_error("PtyPeer::send: line full");
    }
}

void PtyPeer::close() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

}  // namespace qv::test
