#pragma once

#include <string>

#include "platform/serial_port.h"

namespace qv {

// A serial port that is never there (tests that do not talk to a unit).
class NoSerialPort : public SerialPort {
public:
    NoSerialPort() = default;
    explicit NoSerialPort(const std::string& /*programFolder*/) {}
    void setPortNumber(int n) override { number = n; }
    int portNumber() const override { return number; }
    void setSettings(const std::string& s) override { text = s; }
    const std::string& settings() const override { return text; }
    void open() override { throw SerialError(SerialError::InvalidPort, "no serial port in this test"); }
    void close() override {}
    bool isOpen() const override { return false; }
    void write(const std::string&) override { throw SerialError(8012, "port not open"); }
    std::string readAvailable() override { return {}; }
    bool waitReadable(int) override { return false; }
    std::string otherUsers() const override { return {}; }
    int number = 0;
    std::string text;
};

}  // namespace qv
