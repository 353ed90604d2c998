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
