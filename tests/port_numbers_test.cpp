// Port numbers and serial devices over a fake enumeration in a temporary
// folder: which number reaches what, and the binding of new devices.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>

#include "platform/posix/port_numbers.h"
#include "platform/serial_devices.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using Links = std::map<int, std::string>;  // COM<N> -> link text; "@" is the temporary folder

const std::string FtdiById = "@/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
const std::string FtdiText = " \u00b7 FTDI FT232R USB UART \u00b7 A50285BI";
const Links AllTaken = [] { Links l; for (int n = 1; n <= ListedPorts; ++n) l[n] = "@/gone"; return l; }();

struct BindingCase {
    const char* name;
    std::vector<std::string> present;  // the devices listed, in @/dev; an FTDI adapter has a by-id link, ttyS none at all
    Links before;                      // the program folder's COM files
    Links after;                       // every COM file once the devices are bound
    Links shown;                       // what some numbers show in the Port list
    Links meanwhile = {};              // COM files another copy of the program makes after the look, before the binding
};

void PrintTo(const BindingCase& c, std::ostream* out) { *out << c.name; }

class PortBinding : public ::testing::TestWithParam<BindingCase> {};

TEST_P(PortBinding, NewDevicesTakeTheLowestFreeNumberAndExistingFilesStay) {
    const BindingCase& c = GetParam();
    TempDir dir;
    const auto real = [&](const std::string& text) { return std::regex_replace(text, std::regex("@"), dir.path()); };
    const auto link = [&](const Links& links) {
        for (const auto& [n, to] : links) EXPECT_EQ(::symlink(real(to).c_str(), dir.file("COM" + std::to_string(n)).c_str()), 0);
    };
    for (const char* folder : {"dev", "by-id"}) std::filesystem::create_directories(dir.file(folder));
    std::vector<SerialDevice> devices;
    for (const std::string& name : c.present) {
        const std::string path = dir.file("dev/" + name);
        const bool usb = name.starts_with("ttyUSB");
        dir.write("dev/" + name, "");
        EXPECT_TRUE(!usb || ::symlink(path.c_str(), real(FtdiById).c_str()) == 0);
        devices.push_back({path, name.starts_with("ttyS") ? "" : stableSerialName(path, dir.file("by-id")),
                           usb ? "FT232R USB UART" : "", usb ? "FTDI" : "", usb ? "A50285BI" : "", name.starts_with("ttyS")});
    }
    link(c.before);
    PortNumbers numbers(dir.path(), devices, dir.file("dev/ttyS"));
    link(c.meanwhile);
    numbers.bindNewDevices();
    Links made;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (std::string name = entry.path().filename().string(); name.starts_with("COM"))
            made[std::stoi(name.substr(3))] =
                std::regex_replace(std::filesystem::read_symlink(entry.path()).string(), std::regex(dir.path()), "@");
    EXPECT_EQ(made, c.after);
    // The links made lead to their devices: a fresh look sees what the binder says.
    const std::vector<std::string> details = numbers.details();
    EXPECT_EQ(details, PortNumbers(dir.path(), devices, dir.file("dev/ttyS")).details());
    for (const auto& [n, text] : c.shown) EXPECT_EQ(details[static_cast<size_t>(n - 1)], real(text)) << n;
}

INSTANTIATE_TEST_SUITE_P(
    Rule, PortBinding,
    ::testing::Values(
        // ttyS0 is real, so 1 is taken; a link whose target is gone (an unplugged adapter's) keeps 2.
        BindingCase{"FirstSightBindsTheLowestFreeNumberToTheByIdName", {"ttyS0", "ttyUSB0", "ttyACM0"}, {{2, "@/gone"}},
                    {{2, "@/gone"}, {3, FtdiById}, {4, "@/dev/ttyACM0"}},
                    {{1, "ttyS0 \u00b7 built-in serial port"}, {2, "COM2 \u2192 @/gone \u00b7 not present"},
                     {3, "ttyUSB0" + FtdiText}, {4, "ttyACM0"}, {5, ""}}},
        BindingCase{"ReplugKeepsTheNumber", {"ttyUSB1"}, {{3, FtdiById}}, {{3, FtdiById}},
                    {{3, "ttyUSB1" + FtdiText}, {1, ""}}},
        // ttyS0 is a phantom node (not listed): 1 is free; ttyS1 is real.
        BindingCase{"PhantomTtySIsFreeRealTtySIsTaken", {"ttyS1", "ttyUSB0"}, {}, {{1, FtdiById}},
                    {{1, "ttyUSB0" + FtdiText}, {2, "ttyS1 \u00b7 built-in serial port"}}},
        BindingCase{"AllNumbersTakenBindsNothing", {"ttyUSB0"}, AllTaken, AllTaken, {}},
        // COM1 hides ttyS0, which then needs a number of its own; COM2 turns out taken when the links are made, by
        // the adapter itself, which then needs no other.
        BindingCase{"HiddenAndMeanwhileTakenNumbersAreSkipped", {"ttyS0", "ttyUSB0", "ttyACM0"}, {{1, "/dev/null"}},
                    {{1, "/dev/null"}, {2, FtdiById}, {3, "@/dev/ttyS0"}, {4, "@/dev/ttyACM0"}},
                    {{1, "COM1 \u2192 /dev/null"}, {2, "ttyUSB0" + FtdiText}, {3, "ttyS0 \u00b7 built-in serial port"}},
                    {{2, FtdiById}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SerialDevices, KernelsUartTypeZeroIsAPhantom) {
    TempDir dir;
    for (const char* tty : {"ttyS0", "ttyS1"}) std::filesystem::create_directories(dir.file(tty));
    dir.write("ttyS0/type", "0\n"), dir.write("ttyS1/type", "4\n");
    // No word from the kernel (ttyS2): the enumeration's stands.
    for (const auto& [tty, phantom] : {std::pair{"ttyS0", true}, {"ttyS1", false}, {"ttyS2", false}})
        EXPECT_EQ(phantomUart(tty, dir.path()), phantom) << tty;
}

}  // namespace
}  // namespace qv
