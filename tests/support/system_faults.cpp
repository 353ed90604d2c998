#include "support/system_faults.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace qv::test {

TinyDisk::TinyDisk(std::string path, const std::string& size) : path_(std::move(path)) {
    std::error_code ec;
    std::filesystem::create_directories(path_, ec);
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, ("size=" + size + ",mode=0755").c_str()) == 0;
    if (!mounted_) error_ = std::string("mount tmpfs: ") + std::strerror(errno);
}

TinyDisk::~TinyDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

void TinyDisk::fill() {
    const int fd = ::open(file("filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    for (char block[512] = {}; fd >= 0 && ::write(fd, block, sizeof block) > 0;) continue;
    if (fd >= 0) ::close(fd);
}

bool TinyDisk::setReadOnly(bool readOnly) {
    unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return mounted_ && ::mount("tmpfs", path_.c_str(), "tmpfs", flags, nullptr) == 0;
}

std::optional<std::string> runUnprivileged(const std::function<std::string()>& fn) {
    if (::geteuid() != 0) return fn();
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        // Without setgroups the child would keep root's supplementary groups.
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            const std::string out = "+" + fn();
            [[maybe_unused]] auto n = ::write(fds[1], out.data(), out.size());
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (text.empty() || !WIFEXITED(status)) return std::nullopt;
    return text.substr(1);
}

std::optional<std::string> runWithoutAccess(const std::string& path, const std::function<std::string()>& fn) {
    // Root may open anything, so nobody runs fn on a file of root's own.
    ::chmod(path.c_str(), ::geteuid() == 0 ? 0600 : 0);
    std::optional<std::string> result = runUnprivileged(fn);
    ::chmod(path.c_str(), 0644);
    return result;
}

DeviceHolder::DeviceHolder(const std::string& path, How how) : path_(path), how_(how) {
    // The child reports a failure through the pipe; a successful exec closes
    // it, which tells the parent that the device is held.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("DeviceHolder: pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        bool ok = fd >= 0;
        if (ok && how == How::Flock) ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (ok && how == How::Exclusive) ok = ::ioctl(fd, TIOCEXCL) == 0;
        if (ok) ::execlp("sleep", "sleep", "60", static_cast<char*>(nullptr));
        [[maybe_unused]] auto n = ::write(fds[1], "x", 1);
        ::_exit(1);
    }
    ::close(fds[1]);
    char c;
    const ssize_t failed = ::read(fds[0], &c, 1);
    ::close(fds[0]);
    if (pid_ < 0 || failed > 0) {
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
        throw std::runtime_error("DeviceHolder: cannot hold " + path);
    }
}

DeviceHolder::~DeviceHolder() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    if (how_ == How::Exclusive) {
        int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
    }
}

int deadProcessId() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

}  // namespace qv::test
