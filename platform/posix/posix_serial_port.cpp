#include "platform/posix/posix_serial_port.h"
#include "platform/serial_port_factory.h"
#include "platform/posix/baud_rates.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <limits.h>
#include <poll.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace qv {

using Kind = SerialError::Kind;

namespace {

std::string errnoText(int err) { return std::strerror(err); }

SerialError systemError(int err, const std::string& what, const std::string& device,
                        Kind kind = Kind::Other) {
    return SerialError(PosixSerialPort::SystemErrorBase + err, what + ": " + errnoText(err), kind, device);
}

// The device that path leads to, links followed; path itself when it leads
// nowhere.
std::string deviceOf(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : path;
}

std::string userName(uid_t uid) {
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) == 0 && found) return found->pw_name;
    return std::to_string(uid);
}

std::string groupName(gid_t gid) {
    std::vector<char> buf(16384);
    group grp{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &grp, buf.data(), buf.size(), &found) == 0 && found) return found->gr_name;
    return std::to_string(gid);
}

// Why the user may not open device and what to do about it, from the owner,
// group and mode of the device itself. Joining the device's group helps only
// where that group may read and write it and is not root's own.
std::string forbiddenText(const std::string& device) {
    struct stat st{};
    if (::stat(device.c_str(), &st) != 0) return "Permission denied for " + device + ".";
    const mode_t groupRw = S_IRGRP | S_IWGRP;
    if ((st.st_mode & groupRw) == groupRw && st.st_gid != 0) {
        const std::string group = groupName(st.st_gid);
        return "Permission denied for " + device + ", which the group \"" + group +
               "\" may open. Join that group with \"sudo adduser " + userName(::geteuid()) + " " + group +
               "\", then log out and log in again.";
    }
    return "Permission denied for " + device + ": only its owner \"" + userName(st.st_uid) +
           "\" may open it. An administrator must grant you access, for example with a udev rule for the device.";
}

SerialError inUse(const std::string& device, const std::string& why) {
    return SerialError(SerialError::PortInUse, "Port already in use: " + device + " " + why, Kind::Busy, device);
}

// The name of a process as the system shows it (/proc/<pid>/comm); empty
// when it cannot be read.
std::string processName(const std::string& pid) {
    int fd = ::open(("/proc/" + pid + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char buf[64];
    ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    std::string name(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
    return name;
}

using Dir = std::unique_ptr<DIR, int (*)(DIR*)>;
Dir openDir(const std::string& path) { return Dir(::opendir(path.c_str()), ::closedir); }

bool allDigits(const char* s) { return *s && std::strspn(s, "0123456789") == std::strlen(s); }

// True when the process pid holds a descriptor on device, the file node
// node. The descriptors of other users' processes cannot be read: false for
// them.
bool holds(const std::string& pid, const std::string& device, const struct stat& node) {
    const std::string dir = "/proc/" + pid + "/fd";
    Dir fds = openDir(dir);
    if (!fds) return false;
    while (dirent* e = ::readdir(fds.get())) {
        if (!allDigits(e->d_name)) continue;
        const std::string fd = dir + "/" + e->d_name;
        char target[PATH_MAX];
        // The name first, so that no other file is looked at (a file on a
        // hung network share would hold this up); then the node itself,
        // since a process in another container may see its own pseudo
        // terminal under the same name.
        ssize_t n = ::readlink(fd.c_str(), target, sizeof target);
        if (n <= 0 || device.compare(0, std::string::npos, target, static_cast<std::size_t>(n)) != 0) continue;
        struct stat st{};
        if (::stat(fd.c_str(), &st) == 0 && st.st_dev == node.st_dev && st.st_ino == node.st_ino) return true;
    }
    return false;
}

}  // namespace

struct PosixSerialPort::Session {
    Session(UucpLock uucp, int descriptor, std::string dev)
        : lock(std::move(uucp)), fd(descriptor), device(std::move(dev)) {}
    ~Session() {
        if (haveSaved) ::tcsetattr(fd, TCSANOW, &saved);
        // The exclusive flag belongs to the device and outlives this
        // descriptor while anyone else holds the device open.
        if (exclusive) ::ioctl(fd, TIOCNXCL);
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    UucpLock lock;  // a member before fd: removed after the device is let go
    int fd;
    std::string device;
    bool exclusive = false;
    bool haveSaved = false;
    termios saved{};  // the line settings the device had before
};

PosixSerialPort::PosixSerialPort(std::string programFolder, std::vector<std::string> lockFolders)
    : folder_(std::move(programFolder)), lockFolders_(std::move(lockFolders)) {}

PosixSerialPort::~PosixSerialPort() = default;

std::string serialDeviceProblem(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? "no such device" : errnoText(errno);
    const std::string notSerial = path + " is not a serial device";
    if (!S_ISCHR(st.st_mode)) return notSerial;
    // Opened without becoming its controlling terminal and without waiting
    // for a carrier, only to ask whether it is a terminal.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal ? std::string() : notSerial;
}

std::string PosixSerialPort::devicePath(int number) const {
    const std::string link = comLinkPath(folder_, number);
    struct stat st{};
    // lstat: a link whose target is gone still names this port (and then
    // fails to open as a missing device) rather than falling through.
    if (::lstat(link.c_str(), &st) == 0) return link;
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::string PosixSerialPort::lockFile() const { return session_ ? session_->lock.file() : std::string(); }

void PosixSerialPort::setPortNumber(int number) {
    if (number < 1 || number > 255)
        throw SerialError(SerialError::InvalidPort, "Invalid port number", Kind::NotFound);
    if (isOpen() && number != number_)
        throw SerialError(SerialError::PortInUse, "Port already open", Kind::Busy, session_->device);
    number_ = number;
}

PosixSerialPort::Line PosixSerialPort::parseSettings(const std::string& settings) {
    return parseLineSettings(settings, [](int baud) { return speedOf(baud) != B0; });
}

void PosixSerialPort::setSettings(const std::string& settings) {
    Line line = parseSettings(settings);
    if (isOpen()) apply(session_->fd, session_->device, line);
    line_ = line;
    settings_ = settings;
}

void PosixSerialPort::apply(int fd, const std::string& device, const Line& line) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        const int err = errno;
        throw systemError(err, "Cannot read the line settings of " + device, device);
    }
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    switch (line.dataBits) {
        case 5: t.c_cflag |= CS5; break;
        case 6: t.c_cflag |= CS6; break;
        case 7: t.c_cflag |= CS7; break;
        default: t.c_cflag |= CS8; break;
    }
    if (line.parity != 'N') t.c_cflag |= PARENB;
    if (line.parity == 'O') t.c_cflag |= PARODD;
    if (line.stopBits == 2) t.c_cflag |= CSTOPB;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // With VMIN 0 an empty line would read as 0 bytes, like a line that hung
    // up; with VMIN 1 and a non-blocking descriptor it reads as EAGAIN.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    speed_t speed = speedOf(line.baud);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        const int err = errno;
        throw systemError(err, "Cannot set the line settings of " + device, device);
    }
}

void PosixSerialPort::open() {
    if (isOpen()) throw SerialError(SerialError::PortInUse, "Port already open", Kind::Busy, session_->device);
    const std::string path = devicePath(number_);
    const std::string device = deviceOf(path);
    // The lock file first: a device that another program has locked is not
    // even opened, since opening a serial device may raise its modem lines.
    UucpLock::Holder holder;
    UucpLock lock = UucpLock::take(lockFolders_, device, holder);
    if (holder.pid > 0)
        throw inUse(device, "is locked by process " + std::to_string(holder.pid) + " (" + holder.file + ")");
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        switch (err) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
            case ENOTDIR:
            case ELOOP:
                throw SerialError(SerialError::InvalidPort, "Invalid port number: no device " + device,
                                  Kind::NotFound, device);
            case EBUSY:  // the exclusive mode of another program
                throw inUse(device, "is held by another program in exclusive mode");
            case EACCES:
            case EPERM:
                throw SerialError(SystemErrorBase + err, forbiddenText(device), Kind::Forbidden, device);
            default:
                throw systemError(err, "Cannot open " + device, device);
        }
    }
    auto session = std::make_unique<Session>(std::move(lock), fd, device);
    if (!::isatty(fd))
        throw SerialError(SerialError::InvalidPort, "Invalid port number: " + device + " is not a serial device",
                          Kind::NotFound, device);
    // flock rather than TIOCEXCL alone: it also keeps out a second port
    // object of this very process and works for the superuser.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK) throw inUse(device, "is locked by another program (flock)");
        throw systemError(err, "Cannot lock " + device, device);
    }
    // Keeps out programs that do not lock.
    session->exclusive = ::ioctl(fd, TIOCEXCL) == 0;
    if (::tcgetattr(fd, &session->saved) != 0) {
        const int err = errno;
        throw systemError(err, "Cannot read the line settings of " + device, device);
    }
    session->haveSaved = true;
    apply(fd, device, line_);
    // Whatever the line carried before the port was opened is noise.
    ::tcflush(fd, TCIFLUSH);
    session_ = std::move(session);
}

void PosixSerialPort::close() { session_.reset(); }

void PosixSerialPort::requireOpen(const char* what) const {
    if (!isOpen()) throw SerialError(NotOpen, std::string("Port not open (") + what + ")");
}

void PosixSerialPort::disconnected(int err) const {
    const std::string& device = session_->device;
    throw SerialError(SystemErrorBase + err,
                      "The serial device " + device + " was disconnected. Plug it in again and repeat the operation.",
                      Kind::Disconnected, device);
}

void PosixSerialPort::write(const std::string& text) {
    requireOpen("write");
    const int fd = session_->fd;
    using clock = std::chrono::steady_clock;
    // Some seconds on top of the time the characters take at the line speed.
    double lineSeconds = 10.0 * static_cast<double>(text.size()) / line_.baud;
    auto deadline = clock::now() + std::chrono::milliseconds(5000 + static_cast<long>(3000 * lineSeconds));
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        const int err = n < 0 ? errno : EAGAIN;
        if (err == EINTR) continue;
        if (err != EAGAIN && err != EWOULDBLOCK) {
            if (err == EIO || err == ENXIO || err == ENODEV) disconnected(err);
            throw systemError(err, "Cannot write to " + session_->device, session_->device);
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0)
            throw SerialError(WriteTimeout, "Write timed out: " + std::to_string(text.size() - done) + " of " +
                                                std::to_string(text.size()) + " characters not sent on " +
                                                session_->device);
        pollfd p{fd, POLLOUT, 0};
        int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLOUT)) disconnected(EIO);
    }
}

std::string PosixSerialPort::readAvailable() {
    requireOpen("read");
    std::string out;
    char buf[4096];
    while (true) {
        ssize_t n = ::read(session_->fd, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        // 0 bytes: the line hung up (an empty line reads as EAGAIN).
        const int err = n == 0 ? EIO : errno;
        if (err == EINTR) continue;
        if (err == EAGAIN || err == EWOULDBLOCK) return out;
        // Hand out what came before the failure; the next read reports it.
        if (!out.empty()) return out;
        if (err == EIO || err == ENXIO || err == ENODEV) disconnected(err);
        throw systemError(err, "Cannot read from " + session_->device, session_->device);
    }
}

bool PosixSerialPort::waitReadable(int timeoutMs) {
    requireOpen("wait");
    using clock = std::chrono::steady_clock;
    auto deadline = clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    while (true) {
        pollfd p{session_->fd, POLLIN, 0};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left)));
        if (r > 0) return true;  // data, or a hang-up that the next read reports
        if (r == 0) return false;
        if (errno != EINTR) return true;
    }
}

std::string PosixSerialPort::otherUsers() const {
    const std::string device = session_ ? session_->device : deviceOf(devicePath(number_));
    struct stat st{};
    if (::stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return {};
    const std::string self = std::to_string(::getpid());
    std::vector<std::pair<long, std::string>> found;
    Dir proc = openDir("/proc");
    if (!proc) return {};
    while (dirent* e = ::readdir(proc.get())) {
        if (!allDigits(e->d_name) || e->d_name == self || !holds(e->d_name, device, st)) continue;
        const std::string name = processName(e->d_name);
        found.emplace_back(std::atol(e->d_name), std::string(e->d_name) + (name.empty() ? "" : " (" + name + ")"));
    }
    if (found.empty()) return {};
    std::sort(found.begin(), found.end());
    std::string list;
    for (const auto& [pid, text] : found) list += (list.empty() ? "" : ", ") + text;
    return device + " is also open in process" + (found.size() > 1 ? "es " : " ") + list;
}

}  // namespace qv
