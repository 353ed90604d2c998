// UUCP lock files: the convention by which serial programs (minicom, picocom,
// cu and others) mark a device as taken. The lock on /dev/ttyUSB0 is the file
// LCK..ttyUSB0 in a lock folder (/run/lock, and /var/lock, its older name),
// holding the process id of its owner either as ASCII (ten characters and a
// newline) or as a binary int. A lock whose process no longer runs is stale:
// it keeps nobody out, and taking the device replaces it.
//
// The serial port takes such a lock while it holds a device, so that those
// programs leave it alone even when run by root, whom the terminal's
// exclusive mode does not stop. The lock is written to a temporary file and
// linked into place, so no program ever sees a half-written one, and it is
// removed when the port lets the device go. Where no lock folder is writable
// for the user the port goes on without a lock of its own.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qv {

class UucpLock {
public:
    // A live lock of another process (or of another port of this one).
    struct Holder {
        pid_t pid = 0;  // 0: nobody holds the device
        std::string file;
    };

    // The lock folders of the system, in the order they are looked at.
    static std::vector<std::string> systemFolders() { return {"/run/lock", "/var/lock"}; }

    // Takes the lock on device (a /dev path) for this process, in the first of
    // folders where one can be made. When a live process holds a lock on the
    // device in any of the folders, takes nothing and names that process in
    // holder. Never fails otherwise: without a writable folder the lock
    // returned holds no file.
    static UucpLock take(const std::vector<std::string>& folders, const std::string& device, Holder& holder);

    UucpLock() = default;
    ~UucpLock();
    UucpLock(UucpLock&& other) noexcept;
    UucpLock& operator=(UucpLock&& other) noexcept;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // The lock file held; empty when none.
    const std::string& file() const { return file_; }

private:
    void release();
    std::string file_;
};

}  // namespace qv
