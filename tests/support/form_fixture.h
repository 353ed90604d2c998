// A MainForm on the headless backend, with its program folder in a fresh
// temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
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

    // Which of the nine frames and Frame3 are enabled, as "1" and "0" in the
    // order Frame1 Frame2 Frame4 Frame5 Frame7 Frame8 Frame10 Frame12 Frame13 Frame3.
    std::string frames() const {
        std::string out;
        for (const Frame* f : {&form.Frame1, &form.Frame2, &form.Frame4, &form.Frame5, &form.Frame7,
                               &form.Frame8, &form.Frame10, &form.Frame12, &form.Frame13, &form.Frame3})
            out += f->enabled() ? '1' : '0';
        return out;
    }
    static constexpr const char* AllEnabled = "1111111111";
};

using FormFixture = FormFixtureWith<NoSerialPort>;

// A box as the tests compare it: text, title and icon (every box of these
// operations has an OK button only, which boxSeen checks as well).
struct Box {
    std::string text;
    std::string title = AppTitle;
    Icon icon = Icon::None;
    bool operator==(const Box&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Box& b) {
    return out << "{\"" << b.text << "\", \"" << b.title << "\", icon " << static_cast<int>(b.icon) << "}";
}

}  // namespace qv
