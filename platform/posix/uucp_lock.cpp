#include "platform/posix/uucp_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace qv {

namespace {

// The process id a lock file names; 0 when it names none (no such file, or
// one that holds no number).
pid_t lockOwner(const std::string& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return 0;
    char buf[64];
    ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    if (n <= 0) return 0;
    const std::string text(buf, static_cast<std::size_t>(n));
    const bool ascii = text.find_first_not_of(" \t\r\n0123456789") == std::string::npos;
    // Four bytes that are not digits are the binary form. (A binary process
    // id never reads as digits: its last byte is 0 on every system.)
    if (!ascii && n == static_cast<ssize_t>(sizeof(int))) {
        int pid = 0;
        std::memcpy(&pid, buf, sizeof pid);
        return pid > 0 ? static_cast<pid_t>(pid) : 0;
    }
    const auto digits = text.find_first_not_of(" \t");
    if (digits == std::string::npos || text[digits] < '0' || text[digits] > '9') return 0;
    long pid = std::strtol(text.c_str() + digits, nullptr, 10);
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

// A process that runs; one of another user (EPERM) runs too.
bool alive(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// The live holder of the lock file, if it has one.
UucpLock::Holder liveHolder(const std::string& file) {
    pid_t pid = lockOwner(file);
    if (pid > 0 && alive(pid)) return {pid, file};
    return {};
}

// The existing folders among folders, each once (/var/lock is usually a link
// to /run/lock).
std::vector<std::string> distinctFolders(const std::vector<std::string>& folders) {
    std::vector<std::string> out, real;
    for (const std::string& f : folders) {
        char buf[PATH_MAX];
        if (!::realpath(f.c_str(), buf)) continue;
        if (std::find(real.begin(), real.end(), buf) != real.end()) continue;
        real.emplace_back(buf);
        out.push_back(f);
    }
    return out;
}

enum class Made { Taken, Held, NotWritable };

// Makes file a lock of this process: a temporary file with the process id,
// linked to the lock's name, which fails when that name exists already. A
// stale lock is removed and the link tried once more.
Made make(const std::string& folder, const std::string& file, UucpLock::Holder& holder) {
    std::string tmp = folder + "/LTMP.XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return Made::NotWritable;
    char text[32];
    int len = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(::getpid()));
    const bool written = ::fchmod(fd, 0644) == 0 && ::write(fd, text, static_cast<std::size_t>(len)) == len;
    ::close(fd);
    Made made = Made::NotWritable;
    for (int attempt = 0; written && attempt < 2; ++attempt) {
        if (::link(tmp.c_str(), file.c_str()) == 0) {
            made = Made::Taken;
            break;
        }
        if (errno != EEXIST) break;
        // Another program took the device since the folders were looked at,
        // or the lock is stale.
        holder = liveHolder(file);
        if (holder.pid > 0) {
            made = Made::Held;
            break;
        }
        if (::unlink(file.c_str()) != 0) break;  // e.g. another user's stale lock in a sticky folder
    }
    ::unlink(tmp.c_str());
    return made;
}

}  // namespace

UucpLock UucpLock::take(const std::vector<std::string>& folders, const std::string& device, Holder& holder) {
    holder = {};
    const std::string name = "LCK.." + device.substr(device.find_last_of('/') + 1);
    const std::vector<std::string> dirs = distinctFolders(folders);
    for (const std::string& dir : dirs) {
        holder = liveHolder(dir + "/" + name);
        if (holder.pid > 0) return {};
    }
    UucpLock lock;
    for (const std::string& dir : dirs) {
        const std::string file = dir + "/" + name;
        Made made = make(dir, file, holder);
        if (made == Made::Held) return {};
        if (made == Made::Taken) {
            lock.file_ = file;
            break;
        }
    }
    return lock;
}

UucpLock::~UucpLock() { release(); }

UucpLock::UucpLock(UucpLock&& other) noexcept : file_(std::exchange(other.file_, {})) {}

UucpLock& UucpLock::operator=(UucpLock&& other) noexcept {
    if (this != &other) {
        release();
        file_ = std::exchange(other.file_, {});
    }
    return *this;
}

void UucpLock::release() {
    // Only a lock that still names this process: never another program's
    // lock that replaced it, nor the lock of a parent after a fork.
    if (!file_.empty() && lockOwner(file_) == ::getpid()) ::unlink(file_.c_str());
    file_.clear();
}

}  // namespace qv
