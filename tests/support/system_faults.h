// Real failures of the system for tests: a tiny disk that fills up or turns
// read-only, and running a step as a user who may not open a file.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace qv::test {

// A tmpfs of the given size mounted on a new folder (needs the right to
// mount, normally root); unmounted and removed at the end.
class TinyDisk {
public:
    explicit TinyDisk(std::string path, const std::string& size = "16k");
    ~TinyDisk();
    TinyDisk(const TinyDisk&) = delete;
    TinyDisk& operator=(const TinyDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& error() const { return error_; }  // why the mount failed
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Takes every free block with the file "filler".
    void fill();
    // Remounts the disk read-only or writable again; false when that failed.
    bool setReadOnly(bool readOnly);

private:
    std::string path_;
    bool mounted_ = false;
    std::string error_;
};

// Runs fn without root's rights: as root in a child process as user nobody
// (uid and gid 65534, no supplementary groups), otherwise in this process.
// Returns fn's result, or nothing when the child failed to become nobody or
// died.
std::optional<std::string> runUnprivileged(const std::function<std::string()>& fn);

// Runs fn where the file at path cannot be opened: as root (who may open
// anything) in a child process as user nobody with the file owned by root and
// mode 0600, otherwise in this process with the file's mode at 0. The folders
// above the file must be open to nobody. Returns fn's result, or nothing when
// the child failed to become nobody or died. The file's mode is 0644 afterwards.
std::optional<std::string> runWithoutAccess(const std::string& path, const std::function<std::string()>& fn);

// Another program that holds a device open: a child process that opens path
// (with a flock, or in the terminal's exclusive mode, when asked) and then
// runs `sleep`, so that the system names it "sleep". The constructor returns
// once the device is held; the destructor ends the process and clears the
// exclusive mode, which would outlive it while others hold the device open.
class DeviceHolder {
public:
    enum class How { Open, Flock, Exclusive };
    explicit DeviceHolder(const std::string& path, How how = How::Open);
    ~DeviceHolder();
    DeviceHolder(const DeviceHolder&) = delete;
    DeviceHolder& operator=(const DeviceHolder&) = delete;
    int pid() const { return pid_; }

private:
    std::string path_;
    How how_;
    int pid_ = -1;
};

// The id of a process that has ended (and been reaped).
int deadProcessId();

}  // namespace qv::test
