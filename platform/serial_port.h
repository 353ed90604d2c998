// The serial port as the window's operations use it.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

namespace qv {

// The file COM<N> in the program's folder ("." when none is given) that names
// port N when it exists; without it port N is /dev/ttyS<N-1>.
inline std::string comLinkPath(const std::string& folder, int number) {
    return (folder.empty() ? std::string(".") : folder) + "/COM" + std::to_string(number);
}

// A failure of the serial layer: a number and a description. The numbers 8002
// (the port number names no usable serial port) and 8005 (the port is already
// open or in use) are told apart by the callers. Where the layer knows them,
// the failure also carries what kind of failure it is and the device it
// concerns (a /dev path), for callers that must tell the user what to do.
class SerialError : public std::runtime_error {
public:
    enum class Kind { Other, NotFound, Forbidden, Busy, Disconnected };

    SerialError(int number, const std::string& description, Kind kind = Kind::Other, std::string device = {})
        : std::runtime_error(description), number_(number), description_(description), kind_(kind),
          device_(std::move(device)) {}
    int number() const { return number_; }
    const std::string& description() const { return description_; }
    Kind kind() const { return kind_; }
    const std::string& device() const { return device_; }

    static constexpr int InvalidPort = 8002;
    static constexpr int PortInUse = 8005;
    static constexpr int InvalidSetting = 380;
    // An operation that needs an open port, on a closed one.
    static constexpr int NotOpen = 8012;

private:
    int number_;
    std::string description_;
    Kind kind_;
    std::string device_;
};

// The line settings of a port.
struct LineSettings {
    int baud = 9600;
    char parity = 'N';  // 'N', 'E' or 'O'
    int dataBits = 8;
    int stopBits = 1;
};

// Reads line settings written "baud,parity,data bits,stop bits" ("9600,N,8,1";
// blanks around a part and a lower-case parity letter are allowed), with 5 to
// 8 data bits, 1 or 2 stop bits and a baud rate that `baudUsable` accepts.
// Throws SerialError InvalidSetting ("Invalid property value: baud rate 9601
// in "9601,N,8,1"") naming the first part that cannot be used.
LineSettings parseLineSettings(const std::string& settings, const std::function<bool(int)>& baudUsable);

class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual void setPortNumber(int number) = 0;
    virtual int portNumber() const = 0;
    // Line settings such as "9600,N,8,1".
    virtual void setSettings(const std::string& settings) = 0;
    virtual const std::string& settings() const = 0;

    virtual void open() = 0;
    // Closing a port that is not open does nothing.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Hands the whole text to the port; never drops a byte.
    virtual void write(const std::string& text) = 0;
    // Everything received and not yet read; the empty text when nothing came.
    virtual std::string readAvailable() = 0;
    // Waits at most timeoutMs for received characters; true when some wait.
    virtual bool waitReadable(int timeoutMs) = 0;

    // The other programs that hold the device of the current port number
    // open, as one line for the status line, such as
    // "/dev/ttyUSB0 is also open in process 4242 (cat)": a program that reads
    // the device without locking it takes replies meant for this one. Works
    // on a closed port. Returns the empty text when no other program holds
    // the device, when those that do cannot be seen (programs of other users)
    // and when the port number names no device; never fails.
    virtual std::string otherUsers() const = 0;

    // Told by the command exchange when no reply line came within its limit
    // of sec seconds; whatever was read meanwhile is thrown away. A port has
    // nothing to do then; a tracing port notes it (the port itself cannot
    // tell a time-out from a slow reply).
    virtual void replyTimedOut(int /*sec*/) {}
    // Told by the command exchange of each received line it threw away as
    // the late reply to an earlier command: a line that names another
    // command, or input that was waiting before the command went out (its
    // last piece perhaps without a line end). A port has nothing to do then;
    // a tracing port notes it.
    virtual void lateReplyDropped(const std::string& /*line*/) {}
};

}  // namespace qv
