// A serial port that passes everything on to another one and counts the
// characters that really crossed it, both ways.
#pragma once

#include <cstdint>
#include <string>

#include "platform/serial_port.h"

namespace qv::bench {

class CountingPort : public SerialPort {
public:
    explicit CountingPort(SerialPort& inner) : inner_(inner) {}

    void setPortNumber(int number) override { inner_.setPortNumber(number); }
    int portNumber() const override { return inner_.portNumber(); }
    void setSettings(const std::string& settings) override { inner_.setSettings(settings); }
    const std::string& settings() const override { return inner_.settings(); }
    void open() override { inner_.open(); }
    void close() override { inner_.close(); }
    bool isOpen() const override { return inner_.isOpen(); }

    void write(const std::string& text) override {
        inner_.write(text);  // throws unless every character went out
        written += text.size();
        ++writes;
    }
    std::string readAvailable() override {
        std::string got = inner_.readAvailable();
        read += got.size();
        ++reads;
        return got;
    }
    bool waitReadable(int timeoutMs) override {
        ++waits;
        return inner_.waitReadable(timeoutMs);
    }
    std::string otherUsers() const override { return inner_.otherUsers(); }

    void reset() { written = read = writes = reads = waits = 0; }

    std::uint64_t written = 0;  // characters handed to the line
    std::uint64_t read = 0;     // characters taken from the line
    std::uint64_t writes = 0, reads = 0, waits = 0;

private:
    SerialPort& inner_;
};

}  // namespace qv::bench
