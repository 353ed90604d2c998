// The serial port on a POSIX terminal device.
//
// Port number N names the file COM<N> in the program's folder when one exists
// (normally a symbolic link to /dev/ttyUSB0 or to a simulated unit's pseudo
// terminal), otherwise /dev/ttyS<N-1>. Messages name the device the link
// leads to (/dev/ttyUSB0), which is what the user knows.
//
// Holding a device, the port keeps other programs out three ways: a UUCP lock
// file (see uucp_lock.h), a flock on the device (which also keeps out another
// port object of this very process) and the terminal's exclusive mode
// (TIOCEXCL, which makes every other open by an ordinary user fail). Each of
// them held by another program makes open fail as "in use". Everything the
// port holds is given back when it closes, including the line settings the
// device had before.
//
// The line is raw and non-blocking with VMIN 1, so that a read of 0 bytes
// always means the line hung up (an empty line reads as EAGAIN).
//
// Failure numbers (SerialError::number()), with their kind where it is one:
//   8002  NotFound: the port number is outside 1..255, or it names no device,
//         or the device is not a terminal ("Invalid port number")
//   8005  Busy: the port is open already, or another program (or another
//         port object of this program) holds the device ("Port already in
//         use")
//   8012  an operation that needs an open port on a closed one ("Port not open")
//   8021  a write did not get all its characters out within its time limit
//   380   line settings that cannot be used ("Invalid property value: ...")
//   A new port number while the port is open gives 8005 too; write,
//   readAvailable and waitReadable on a closed port give 8012.
//   10000 + errno  every other failure of the system, with its description:
//         10013 (EACCES) or 10001 (EPERM), Forbidden: the user may not open the
//         device; the description says how to get access (join the group that
//         owns it, or ask an administrator where only its owner may open it).
//         10005 (EIO), 10006 (ENXIO) or 10019 (ENODEV), Disconnected: the line
//         hung up or the device went away (unplugged) while the port was open.
#pragma once

#include <termios.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/uucp_lock.h"
#include "platform/serial_port.h"

namespace qv {

class PosixSerialPort : public SerialPort {
public:
    static constexpr int NotOpen = SerialError::NotOpen;
    static constexpr int WriteTimeout = 8021;
    static constexpr int InvalidSetting = SerialError::InvalidSetting;
    static constexpr int SystemErrorBase = 10000;

    // lockFolders: where UUCP lock files are looked for and made.
    explicit PosixSerialPort(std::string programFolder,
                             std::vector<std::string> lockFolders = UucpLock::systemFolders());
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    void setPortNumber(int number) override;
    int portNumber() const override { return number_; }
    void setSettings(const std::string& settings) override;
    const std::string& settings() const override { return settings_; }

    void open() override;
    void close() override;
    bool isOpen() const override { return session_ != nullptr; }

    void write(const std::string& text) override;
    std::string readAvailable() override;
    bool waitReadable(int timeoutMs) override;
    // Looks through /proc for the descriptors of other processes.
    std::string otherUsers() const override;

    // The device file that port number N names (see the top of this file).
    std::string devicePath(int number) const;
    // The UUCP lock file the open port holds; empty when it holds none.
    std::string lockFile() const;

private:
    using Line = LineSettings;
    // What an open port holds, given back by its destructor.
    struct Session;

    static Line parseSettings(const std::string& settings);
    void apply(int fd, const std::string& device, const Line& line);
    // The failure of a line that hung up (errno err), naming the device.
    [[noreturn]] void disconnected(int err) const;
    void requireOpen(const char* what) const;

    std::string folder_;
    std::vector<std::string> lockFolders_;
    int number_ = 1;
    std::string settings_ = "9600,N,8,1";
    Line line_;
    std::unique_ptr<Session> session_;
};

}  // namespace qv
