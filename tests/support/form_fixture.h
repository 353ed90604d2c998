// A MainForm on the headless backend, with its program folder in a fresh
// temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/main_form.h"
#include "platform/headless/headless_toolkit.h"
#include "support/no_serial_port.h"
#include "support/temp_dir.h"

namespace qv {

// A clock whose date and time a test can set; seconds() runs on steadily.
class TestClock : public SystemClock {
public:
    LocalTime now() override { return fixed ? time : SystemClock::now(); }
    bool fixed = false;
    LocalTime time;
};

// The window over the serial port Port (built for the program folder) and
// the file layer Files; Base is the GoogleTest fixture kind.
template <class Port = NoSerialPort, class Files = FileSystem, class Base = ::testing::Test>
class FormFixtureWith : public Base {
protected:
    TempDir dir;
    HeadlessToolkit ui{dir.path()};
    Port port{dir.path()};
    TestClock clock;
    Files files;
    Platform platform{ui, port, clock, files};
    MainForm form{platform};
};

using FormFixture = FormFixtureWith<NoSerialPort>;

}  // namespace qv
