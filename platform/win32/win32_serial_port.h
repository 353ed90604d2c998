// STAND-IN: the Windows serial port is not written yet. This class only lets
// the Windows build link and run everything that does not open a port:
// opening any port fails with 8002 ("no usable serial port"). It is replaced
// by the real \\.\COM<N> port.
#pragma once

#include <string>

#include "platform/serial_port.h"

namespace qv {

class Win32SerialPort : public SerialPort {
public:
    Win32SerialPort() = default;
    // The program's folder plays no part on Windows: port N is \\.\COM<N>.
    explicit Win32SerialPort(std::string /*programFolder*/) {}

    // Throws SerialError 8002 for a number outside 1 .. 255, 8005 while open.
    void setPortNumber(int number) override;
    int portNumber() const override { return number_; }
    void setSettings(const std::string& settings) override { settings_ = settings; }
    const std::string& settings() const override { return settings_; }

    // Always throws SerialError 8002: no port can be opened yet.
    void open() override;
    void close() override {}
    bool isOpen() const override { return false; }
    // Throws SerialError 8002: the port is never open.
    void write(const std::string& text) override;
    std::string readAvailable() override { return {}; }
    bool waitReadable(int /*timeoutMs*/) override { return false; }
    std::string otherUsers() const override { return {}; }

private:
    int number_ = 1;
    std::string settings_ = "9600,N,8,1";
};

}  // namespace qv
