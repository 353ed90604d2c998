// A MainForm on the headless backend, with its program folder in a fresh
// temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/main_form.h"
#include "platform/headless/headless_toolkit.h"
#include "support/temp_dir.h"

namespace qv {

// A clock whose date and time a test can set; seconds() runs on steadily.
class TestClock : public SystemClock {
public:
    LocalTime now() override { return fixed ? time : SystemClock::now(); }
    bool fixed = false;
    LocalTime time;
};

// A serial port that is never there (tests that do not talk to a unit).
class NoSerialPort : public SerialPort {
public:
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
    int number = 0;
    std::string text;
};

template <class Port = NoSerialPort>
class FormFixtureWith : public ::testing::Test {
protected:
    TempDir dir;
    HeadlessToolkit ui{dir.path()};
    Port port;
    TestClock clock;
    FileSystem files;
    Platform platform{ui, port, clock, files};
    MainForm form{platform};
};

using FormFixture = FormFixtureWith<NoSerialPort>;

}  // namespace qv
