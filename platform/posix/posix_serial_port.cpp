#include "platform/posix/posix_serial_port.h"
#include "platform/posix/baud_rates.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

namespace qv {

namespace {

std::string errnoText(int err) { return std::strerror(err); }

SerialError systemError(int err, const std::string& what) {
    return SerialError(PosixSerialPort::SystemErrorBase + err, what + ": " + errnoText(err));
}

std::string trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}


// The name of the group that owns the device, for the permission message.
std::string ownerGroup(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return "dialout";
    std::vector<char> buf(16384);
    group grp{};
    group* found = nullptr;
    if (::getgrgid_r(st.st_gid, &grp, buf.data(), buf.size(), &found) == 0 && found)
        return found->gr_name;
    return std::to_string(st.st_gid);
}

bool hungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

}  // namespace

PosixSerialPort::PosixSerialPort(std::string programFolder) : folder_(std::move(programFolder)) {}

PosixSerialPort::~PosixSerialPort() { close(); }

std::string PosixSerialPort::devicePath(int number) const {
    std::string link = (folder_.empty() ? std::string(".") : folder_) + "/COM" + std::to_string(number);
    struct stat st{};
    // lstat: a link whose target is gone still names this port (and then
    // fails to open as a missing device) rather than falling through.
    if (::lstat(link.c_str(), &st) == 0) return link;
    return "/dev/ttyS" + std::to_string(number - 1);
}

void PosixSerialPort::setPortNumber(int number) {
    if (number < 1 || number > 255)
        throw SerialError(SerialError::InvalidPort, "Invalid port number");
    if (isOpen() && number != number_) throw SerialError(SerialError::PortInUse, "Port already open");
    number_ = number;
}

PosixSerialPort::Line PosixSerialPort::parseSettings(const std::string& settings) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        auto comma = settings.find(',', start);
        parts.push_back(trim(settings.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    auto invalid = [&](const std::string& what) {
        return SerialError(InvalidSetting, "Invalid property value: " + what + " in \"" + settings + "\"");
    };
    if (parts.size() != 4) throw invalid("line settings must read baud,parity,data bits,stop bits");
    auto whole = [](const std::string& s, int& out) {
        if (s.empty() || s.size() > 7 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        out = std::stoi(s);
        return true;
    };
    Line line;
    if (!whole(parts[0], line.baud) || speedOf(line.baud) == B0) throw invalid("baud rate " + parts[0]);
    if (parts[1].size() != 1 || std::string("NnEeOo").find(parts[1][0]) == std::string::npos)
        throw invalid("parity " + parts[1]);
    line.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(parts[1][0])));
    if (!whole(parts[2], line.dataBits) || line.dataBits < 5 || line.dataBits > 8) throw invalid("data bits " + parts[2]);
    if (!whole(parts[3], line.stopBits) || line.stopBits < 1 || line.stopBits > 2) throw invalid("stop bits " + parts[3]);
    return line;
}

void PosixSerialPort::setSettings(const std::string& settings) {
    Line line = parseSettings(settings);
    if (isOpen()) apply(line);
    line_ = line;
    settings_ = settings;
}

void PosixSerialPort::apply(const Line& line) {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) throw systemError(errno, "Cannot read the line settings of " + path_);
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
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    speed_t speed = speedOf(line.baud);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) throw systemError(errno, "Cannot set the line settings of " + path_);
}

void PosixSerialPort::open() {
    if (isOpen()) throw SerialError(SerialError::PortInUse, "Port already open");
    std::string path = devicePath(number_);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        switch (err) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
            case ENOTDIR:
            case ELOOP:
                throw SerialError(SerialError::InvalidPort, "Invalid port number: no device " + path);
            case EBUSY:
                throw SerialError(SerialError::PortInUse, "Port already in use: " + path);
            case EACCES:
            case EPERM:
                throw SerialError(SystemErrorBase + err,
                                  "Permission denied opening " + path + ": the user must be a member of the group \"" +
                                      ownerGroup(path) + "\" that owns the device (then log in again)");
            default:
                throw systemError(err, "Cannot open " + path);
        }
    }
    auto fail = [&](SerialError e) {
        ::close(fd);
        throw e;
    };
    if (!::isatty(fd)) fail(SerialError(SerialError::InvalidPort, "Invalid port number: " + path + " is not a serial device"));
    // flock rather than TIOCEXCL alone: it also keeps out a second port
    // object of this very process and works for the superuser.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        if (err == EWOULDBLOCK) fail(SerialError(SerialError::PortInUse, "Port already in use: " + path));
        fail(systemError(err, "Cannot lock " + path));
    }
    // Keeps out programs that do not lock; cleared again on close, since the
    // flag outlives this descriptor while anyone else holds the device open.
    ::ioctl(fd, TIOCEXCL);
    termios saved{};
    if (::tcgetattr(fd, &saved) != 0) {
        int err = errno;
        ::ioctl(fd, TIOCNXCL);
        fail(systemError(err, "Cannot read the line settings of " + path));
    }
    fd_ = fd;
    path_ = path;
    saved_ = saved;
    haveSaved_ = true;
    try {
        apply(line_);
    } catch (...) {
        close();
        throw;
    }
    // Whatever the line carried before the port was opened is noise.
    ::tcflush(fd_, TCIFLUSH);
}

void PosixSerialPort::close() {
    if (fd_ < 0) return;
    if (haveSaved_) ::tcsetattr(fd_, TCSANOW, &saved_);
    ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
    haveSaved_ = false;
    path_.clear();
}

void PosixSerialPort::requireOpen(const char* what) const {
    if (!isOpen()) throw SerialError(NotOpen, std::string("Port not open (") + what + ")");
}

void PosixSerialPort::hangUp(int err) {
    throw SerialError(SystemErrorBase + err, "The line to " + path_ + " hung up (" + errnoText(err) + ")");
}

void PosixSerialPort::write(const std::string& text) {
    requireOpen("write");
    using clock = std::chrono::steady_clock;
    // Some seconds on top of the time the characters take at the line speed.
    double lineSeconds = 10.0 * static_cast<double>(text.size()) / line_.baud;
    auto deadline = clock::now() + std::chrono::milliseconds(5000 + static_cast<long>(3000 * lineSeconds));
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        int err = n < 0 ? errno : EAGAIN;
        if (err == EINTR) continue;
        if (err != EAGAIN && err != EWOULDBLOCK) {
            if (err == EIO || err == ENXIO || err == ENODEV) hangUp(err);
            throw systemError(err, "Cannot write to " + path_);
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0)
            throw SerialError(WriteTimeout, "Write timed out: " + std::to_string(text.size() - done) + " of " +
                                                std::to_string(text.size()) + " characters not sent on " + path_);
        pollfd p{fd_, POLLOUT, 0};
        int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLOUT)) hangUp(EIO);
    }
}

std::string PosixSerialPort::readAvailable() {
    requireOpen("read");
    std::string out;
    char buf[4096];
    while (true) {
        ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            int err = errno;
            // Hand out what came before the failure; the next read reports it.
            if (!out.empty()) return out;
            if (err == EIO || err == ENXIO || err == ENODEV) hangUp(err);
            throw systemError(err, "Cannot read from " + path_);
        }
        // With VMIN = VTIME = 0 an empty line reads as 0 bytes, and so does a
        // line that hung up: poll tells the two apart.
        if (out.empty() && hungUp(fd_)) hangUp(EIO);
        return out;
    }
}

bool PosixSerialPort::waitReadable(int timeoutMs) {
    requireOpen("wait");
    using clock = std::chrono::steady_clock;
    auto deadline = clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    while (true) {
        pollfd p{fd_, POLLIN, 0};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left)));
        if (r > 0) return true;  // data, or a hang-up that the next read reports
        if (r == 0) return false;
        if (errno != EINTR) return true;
    }
}

}  // namespace qv
