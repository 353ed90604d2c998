// The serial port on a POSIX terminal device.
//
// Port number N names the file COM<N> in the program's folder when one exists
// (normally a symbolic link to /dev/ttyUSB0 or to a simulated unit's pseudo
// terminal), otherwise /dev/ttyS<N-1>.
//
// Failure numbers (SerialError::number()):
//   8002  the port number is outside 1..255, or it names no device, or the
//         device is not a terminal ("Invalid port number")
//   8005  the port is open already, or another program (or another port
//         object of this program) holds it ("Port already in use")
//   8012  an operation that needs an open port on a closed one ("Port not open")
//   8021  a write did not get all its characters out within its time limit
//   380   line settings that cannot be used ("Invalid property value: ...")
//   A new port number while the port is open gives 8005 too; write,
//   readAvailable and waitReadable on a closed port give 8012.
//   10000 + errno  every other failure of the system, with its description;
//         e.g. 10013 (EACCES) when the user may not open the device (the
//         description names the group that owns it), 10005 (EIO) for a line
//         that hung up or a device that went away.
#pragma once

#include <termios.h>

#include <string>

#include "platform/serial_port.h"

namespace qv {

class PosixSerialPort : public SerialPort {
public:
    static constexpr int NotOpen = 8012;
    static constexpr int WriteTimeout = 8021;
    static constexpr int InvalidSetting = 380;
    static constexpr int SystemErrorBase = 10000;

    explicit PosixSerialPort(std::string programFolder);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    void setPortNumber(int number) override;
    int portNumber() const override { return number_; }
    void setSettings(const std::string& settings) override;
    const std::string& settings() const override { return settings_; }

    void open() override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }

    void write(const std::string& text) override;
    std::string readAvailable() override;
    bool waitReadable(int timeoutMs) override;

    // The device file that port number N names (see the top of this file).
    std::string devicePath(int number) const;

private:
    struct Line {
        int baud = 9600;
        char parity = 'N';
        int dataBits = 8;
        int stopBits = 1;
    };
    static Line parseSettings(const std::string& settings);
    void apply(const Line& line);
    [[noreturn]] void hangUp(int err);
    void requireOpen(const char* what) const;

    std::string folder_;
    int number_ = 1;
    std::string settings_ = "9600,N,8,1";
    Line line_;
    int fd_ = -1;
    std::string path_;
    termios saved_{};
    bool haveSaved_ = false;
};

}  // namespace qv
