// The simulated unit at the far end of an in-process serial line: a serial
// port whose other end is a UnitModel, for platforms without pseudo
// terminals and for tests that need no real device.
//
// How this works: there is no device, no thread and no system call. Each
// write hands every whole line (up to an LF; the model drops the CR) to the
// unit at once, and its reply is queued with the time each character is due
// (sim/reply_schedule.h: the reply delay, the slow command's delay, replies in
// order, pieces 50 ms apart), the line itself unpaced. readAvailable returns
// the characters due by now; waitReadable sleeps until the next one is due.
// The port answers only at its own number and only at the unit's baud rate:
// a line sent at another rate is noise, neither answered nor received. When
// the unit hangs up (Faults::hangupAfter) the line is gone for good: reads
// and writes fail as the POSIX port's do on a hung-up line, and the number
// then opens as a missing device would. Standard library only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "sim/reply_schedule.h"
#include "sim/unit_model.h"

namespace qv::sim {

class ModelPort : public SerialPort {
public:
    static constexpr int NotOpen = SerialError::NotOpen;
    static constexpr int InvalidSetting = SerialError::InvalidSetting;
    // The number of a hung-up line on the POSIX port: 10000 + EIO.
    static constexpr int Disconnected = 10005;

    // The unit answers at port number `port`.
    explicit ModelPort(UnitConfig cfg, int port = 1);

    int port() const { return port_; }
    // Every line the unit received (without CR LF).
    const std::vector<std::string>& received() const { return model_.received(); }
    // Access to the unit (change faults, read stored values).
    void withModel(const std::function<void(UnitModel&)>& fn) { fn(model_); }
    // True once the unit hung up the line (Faults::hangupAfter).
    bool hungUp() const { return hungUp_; }

    // Outside 1..255: 8002 (NotFound); another number while open: 8005.
    void setPortNumber(int number) override;
    int portNumber() const override { return number_; }
    // "baud,parity,data bits,stop bits"; anything else throws 380.
    void setSettings(const std::string& settings) override;
    const std::string& settings() const override { return settings_; }

    // Another number than the unit's, or a line that hung up: 8002
    // (NotFound, "Invalid port number: no device COM<N>"); open already: 8005.
    void open() override;
    // Drops whatever was not read.
    void close() override;
    bool isOpen() const override { return open_; }

    // On a closed port 8012; on a hung-up line 10005 (Disconnected).
    void write(const std::string& text) override;
    // The characters due by now, "" when none are; fails as write does.
    std::string readAvailable() override;
    // Sleeps until the next character is due or timeoutMs passed; true when
    // one is due (or the line hung up, which the next read reports); 8012 on
    // a closed port.
    bool waitReadable(int timeoutMs) override;
    std::string otherUsers() const override { return {}; }

private:
    std::string device() const { return "COM" + std::to_string(number_); }
    void requireLine(const char* what) const;

    UnitModel model_;
    int port_;
    int number_ = 1;
    std::string settings_ = "9600,N,8,1";
    int baud_ = 9600;
    bool open_ = false;
    bool hungUp_ = false;
    std::string lineBuf_;        // characters written after the last LF
    std::deque<TimedChar> tx_;   // reply characters not yet read
    ReplyClock::time_point txFree_{};
};

}  // namespace qv::sim
