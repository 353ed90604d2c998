// A trace of the wire: a serial port that passes every call on to another
// one unchanged and appends what crossed the line to a trace file.
//
// How this works: each call goes to the wrapped port first; only after it
// returned is the trace line written, so the port sees the same calls at the
// same moments as without a trace. A write is noted as one "sent" line.
// Received characters are collected and noted as one "recv" line each time
// an LF arrives, however many reads the reply took. The command exchange
// tells the port of a time-out (SerialPort::replyTimedOut), which is noted
// with whatever had come without a line end. It also tells the port of each
// received line it dropped as the late reply to an earlier command
// (SerialPort::lateReplyDropped), noted as "late" with the line: a line that
// had its LF was noted as "recv" when it came, so "late" names that line
// again to say it was thrown away; characters without a line end that were
// waiting before a command went out are noted only as "late" (with "(no
// line end)") and are not carried into the next "recv" line. A SerialError
// from the wrapped port is noted as a "failure" and thrown on unchanged.
// Opening and closing the port are noted too.
//
// A trace line is: local date and time to the millisecond, the port, the
// event and its text, for example
//   2024-03-04 14:05:09.125 COM3 sent *0100VR\r\n
//   2024-03-04 14:05:09.160 COM3 recv *0001VR=P1.1.0\r\n
//   2024-03-04 14:05:11.171 COM3 time-out no reply line within 2 s
// and a JH reply that came after its 3-second limit, while the program
// waited for the reply to JP:
//   2024-03-04 14:05:13.001 COM3 sent *0100JH\r\n
//   2024-03-04 14:05:16.004 COM3 time-out no reply line within 3 s
//   2024-03-04 14:05:16.005 COM3 sent *0100JP\r\n
//   2024-03-04 14:05:16.503 COM3 recv *0001JH=25\r\n
//   2024-03-04 14:05:16.503 COM3 recv *0001JP=1\r\n
//   2024-03-04 14:05:16.503 COM3 late *0001JH=25\r\n
// Events: open (with the line settings), sent, recv, late, time-out,
// failure, close. Bytes outside printable ASCII are escaped as \r, \n or
// \xHH, and a backslash as \\. Each line goes to the file in one append and
// is not held back, so several programs may append to one file and a trace
// cut short by a crash ends with the last exchange. A line that cannot be
// written (a full disk, /dev/full) never changes what the program does: it
// is left out, the first such failure is kept, and the caller asks for it
// (traceFailure()) when the operation is over, to report it once.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

#include "platform/serial_port.h"

namespace qv {

// A file opened for appending, written one whole line at a time.
class TraceFile {
public:
    // Opens or creates the file for appending. Throws std::system_error with
    // the errno of the failed open.
    explicit TraceFile(const std::string& path);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Appends the text and an LF in one write. A failed write leaves the
    // line out (or cut short) and is kept when it is the first one.
    void appendLine(std::string text);
    // The errno of the first write that failed; empty while none has.
    std::error_code failure() const { return failure_; }

private:
    int fd_ = -1;
    std::error_code failure_;
};

class TracedSerialPort : public SerialPort {
public:
    // Traces the calls on `inner` into the file at tracePath. The port is
    // named "COM<N>" after its port number, or `portName` when one is given
    // (a device path). Throws std::system_error when the file cannot be
    // opened for appending.
    TracedSerialPort(SerialPort& inner, const std::string& tracePath, std::string portName = {});
    ~TracedSerialPort() override;

    void setPortNumber(int number) override;
    int portNumber() const override { return inner_.portNumber(); }
    void setSettings(const std::string& settings) override;
    const std::string& settings() const override { return inner_.settings(); }

    void open() override;
    void close() override;
    bool isOpen() const override { return inner_.isOpen(); }

    void write(const std::string& text) override;
    std::string readAvailable() override;
    bool waitReadable(int timeoutMs) override;
    void replyTimedOut(int sec) override;
    void lateReplyDropped(const std::string& line) override;
    std::string otherUsers() const override { return inner_.otherUsers(); }

    // The first failure to write a trace line; empty while every line went out.
    std::error_code traceFailure() const { return file_.failure(); }

private:
    void note(std::string_view event, std::string_view text);
    [[noreturn]] void failed(const SerialError& failure, std::string_view during);
    void notePartial(std::string_view event);

    SerialPort& inner_;
    TraceFile file_;
    std::string portName_;
    std::string pending_;  // received characters not yet ended by an LF
};

// The text with bytes outside printable ASCII escaped: CR as \r, LF as \n,
// a backslash as \\, every other one as \xHH.
std::string escapedWireText(std::string_view bytes);

}  // namespace qv
