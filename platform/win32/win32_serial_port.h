// The serial port on Windows.
//
// How this works: port number N is the device \\.\COM<N> (the prefix makes
// numbers above 9 reachable), opened for exclusive use; a port that another
// program holds open fails with "access denied", reported as "in use". Wine
// does not keep a second program out of a port, so the port also holds a
// named object per port number while it is open, which keeps out the other
// copies of this program (and other port objects of this one). On
// open the port sets the line through the device control block (the baud
// rate of the settings, 8 data bits, no parity, 1 stop bit, no flow control)
// and empties the device's input and output buffers; the line settings the
// device had are put back when the port closes, on every path.
//
// Reading goes through the communication time-outs, never a loop that asks
// again and again: readAvailable reads with the time-outs that make a read
// return at once with what is there; waitReadable(ms) reads one character
// with a total time-out of ms, so that the wait sleeps in the system until a
// character comes or the time is up. The character it got is kept and handed
// out first by the next readAvailable.
//
// Failure numbers (SerialError::number()), with their kind where it is one:
//   8002  NotFound: the port number is outside 1..255, or COM<N> does not
//         exist ("Invalid port number: no device COM7") or is no serial device
//   8005  Busy: the port is open already, or another program (or another
//         port object of this one) holds COM<N> ("Port already in use: COM7
//         is open in another program")
//   8012  an operation that needs an open port on a closed one ("Port not open")
//   8021  a write did not get all its characters out within its time limit
//   380   line settings that cannot be used ("Invalid property value: ...")
//   10000 + the Windows error code  every other failure, with the system's
//         description; Disconnected when the device went away while the port
//         was open (an unplugged adapter): "The serial device COM7 was
//         disconnected. Plug it in again and repeat the operation."
// The device a failure names (SerialError::device()) is "COM<N>".
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/serial_port.h"

namespace qv {

// What the port was doing when a Windows call failed: opening the device, or
// an operation on the open device, where the device's going away means it was
// unplugged.
enum class Win32Phase { Open, Operation };

// The failure that Windows error `code` (GetLastError()) means while doing
// `what` (e.g. "Cannot read from COM7") on the port `port` ("COM7"), in the
// phase `phase`. Never fails; a code Windows has no text for is named by its
// number.
SerialError win32SerialError(unsigned long code, Win32Phase phase, const std::string& what, const std::string& port);

// The system's description of Windows error `code` in UTF-8, without the
// line end; "Windows error <code>" when the system has none.
std::string win32ErrorText(unsigned long code);

class Win32SerialPort : public SerialPort {
public:
    static constexpr int NotOpen = SerialError::NotOpen;
    static constexpr int WriteTimeout = 8021;
    static constexpr int InvalidSetting = SerialError::InvalidSetting;
    static constexpr int SystemErrorBase = 10000;

    // The program's folder is not used: on Windows the number is the port.
    explicit Win32SerialPort(std::string programFolder = {});
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    void setPortNumber(int number) override;
    int portNumber() const override { return number_; }
    void setSettings(const std::string& settings) override;
    const std::string& settings() const override { return settings_; }

    void open() override;
    void close() override;
    bool isOpen() const override { return session_ != nullptr; }

    void write(const std::string& text) override;
    // Never waits. A failure is reported once the characters that came
    // before it have been handed out.
    std::string readAvailable() override;
    // Sleeps until a character comes (true) or timeoutMs have passed (false).
    // A failure of the device returns true; the next readAvailable reports it.
    bool waitReadable(int timeoutMs) override;
    // Windows cannot tell which programs hold a port: always the empty text.
    std::string otherUsers() const override { return {}; }

    // The name port number N has for the user, "COM<N>".
    static std::string portName(int number);

private:
    using Line = LineSettings;
    // What an open port holds, given back by its destructor.
    struct Session;

    static Line parseSettings(const std::string& settings);
    void requireOpen(const char* what) const;
    // Reads into `out` what fits in `size` characters under the time-outs
    // `waitMs` (-1: return at once); false with failure_ set when it failed.
    bool read(std::string& out, unsigned long size, int waitMs);

    int number_ = 1;
    std::string settings_ = "9600,N,8,1";
    Line line_;
    std::unique_ptr<Session> session_;
    std::string pending_;                 // read by waitReadable, not yet handed out
    std::optional<SerialError> failure_;  // met by waitReadable, not yet reported
};

}  // namespace qv
