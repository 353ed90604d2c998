// The Windows serial port's failures and the Port list's texts on Windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <regex>

#include "platform/serial_devices.h"
#include "platform/win32/win32_serial_devices.h"
#include "platform/win32/win32_serial_port.h"

namespace qv {
namespace {

using Kind = SerialError::Kind;
using Phase = Win32Phase;

struct ErrorCase {
    DWORD code;
    Phase phase;
    int number;
    Kind kind;
    const char* description;  // a pattern
};

void PrintTo(const ErrorCase& c, std::ostream* out) { *out << c.code << (c.phase == Phase::Open ? " open" : " operation"); }

class Win32Errors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(Win32Errors, MapToTheNumbersAndKindsOfTheLinuxPort) {
    const ErrorCase& c = GetParam();
    const SerialError e = win32SerialError(c.code, c.phase, c.phase == Phase::Open ? "Cannot open COM7" : "Cannot read from COM7", "COM7");
    EXPECT_EQ(e.number(), c.number);
    EXPECT_EQ(e.kind(), c.kind);
    EXPECT_TRUE(std::regex_match(e.description(), std::regex(c.description))) << e.description();
    EXPECT_EQ(e.device(), "COM7");
}

const char* const Unplugged = "The serial device COM7 was disconnected\\. Plug it in again and repeat the operation\\.";

INSTANTIATE_TEST_SUITE_P(
    Code, Win32Errors,
    ::testing::Values(
        ErrorCase{ERROR_FILE_NOT_FOUND, Phase::Open, 8002, Kind::NotFound, "Invalid port number: no device COM7"},
        ErrorCase{ERROR_PATH_NOT_FOUND, Phase::Open, 8002, Kind::NotFound, "Invalid port number: no device COM7"},
        ErrorCase{ERROR_INVALID_NAME, Phase::Open, 8002, Kind::NotFound, "Invalid port number: no device COM7"},
        // Wine's COM<N> may lead to a file that takes no line settings.
        ErrorCase{ERROR_INVALID_HANDLE, Phase::Open, 8002, Kind::NotFound, "Invalid port number: COM7 is not a serial device"},
        ErrorCase{ERROR_INVALID_FUNCTION, Phase::Open, 8002, Kind::NotFound, "Invalid port number: COM7 is not a serial device"},
        ErrorCase{ERROR_ACCESS_DENIED, Phase::Open, 8005, Kind::Busy, "Port already in use: COM7 is open in another program"},
        ErrorCase{ERROR_SHARING_VIOLATION, Phase::Open, 8005, Kind::Busy, "Port already in use: COM7 .*"},
        ErrorCase{ERROR_DEVICE_REMOVED, Phase::Operation, 10000 + ERROR_DEVICE_REMOVED, Kind::Disconnected, Unplugged},
        ErrorCase{ERROR_GEN_FAILURE, Phase::Operation, 10000 + ERROR_GEN_FAILURE, Kind::Disconnected, Unplugged},
        ErrorCase{ERROR_OPERATION_ABORTED, Phase::Operation, 10995, Kind::Disconnected, Unplugged},
        ErrorCase{ERROR_BAD_COMMAND, Phase::Operation, 10000 + ERROR_BAD_COMMAND, Kind::Disconnected, Unplugged},
        ErrorCase{ERROR_DEVICE_NOT_CONNECTED, Phase::Operation, 11167, Kind::Disconnected, Unplugged},
        ErrorCase{ERROR_INVALID_HANDLE, Phase::Operation, 10006, Kind::Disconnected, Unplugged},
        ErrorCase{ERROR_NOT_READY, Phase::Operation, 10021, Kind::Disconnected, Unplugged},  // Wine, for a hung-up line
        // Anything else, and the open codes during an operation, name the step and the system's words.
        ErrorCase{ERROR_ACCESS_DENIED, Phase::Operation, 10005, Kind::Other, "Cannot read from COM7: [^\r\n]*\\w[^\r\n]*"},
        ErrorCase{ERROR_FILE_NOT_FOUND, Phase::Operation, 10002, Kind::Other, "Cannot read from COM7: [^\r\n]*\\w[^\r\n]*"},
        ErrorCase{ERROR_DEVICE_REMOVED, Phase::Open, 10000 + ERROR_DEVICE_REMOVED, Kind::Other, "Cannot open COM7: .+"},
        ErrorCase{0xBEEF, Phase::Open, 10000 + 0xBEEF, Kind::Other, "Cannot open COM7: Windows error 48879"}));

// What a port that is not open does with each call.
struct ClosedPortCase {
    const char* name;
    std::function<void(Win32SerialPort&)> call;
    const char* outcome;  // "number|description", or "ok"
};

void PrintTo(const ClosedPortCase& c, std::ostream* out) { *out << c.name; }

class Win32ClosedPort : public ::testing::TestWithParam<ClosedPortCase> {};

TEST_P(Win32ClosedPort, ChecksBeforeTouchingADevice) {
    Win32SerialPort port;
    std::string outcome = "ok";
    try {
        GetParam().call(port);
    } catch (const SerialError& e) {
        outcome = std::to_string(e.number()) + "|" + e.description();
    }
    EXPECT_EQ(outcome, GetParam().outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Call, Win32ClosedPort,
    ::testing::Values(
        ClosedPortCase{"Settings", [](Win32SerialPort& p) { p.setSettings(" 115200 , e , 7 , 2 "); }, "ok"},
        ClosedPortCase{"BadBaud", [](Win32SerialPort& p) { p.setSettings("9601,N,8,1"); },
                       "380|Invalid property value: baud rate 9601 in \"9601,N,8,1\""},
        ClosedPortCase{"BadStopBits", [](Win32SerialPort& p) { p.setSettings("9600,N,8,3"); },
                       "380|Invalid property value: stop bits 3 in \"9600,N,8,3\""},
        ClosedPortCase{"Number256", [](Win32SerialPort& p) { p.setPortNumber(256); }, "8002|Invalid port number"},
        ClosedPortCase{"Write", [](Win32SerialPort& p) { p.write("x"); }, "8012|Port not open (write)"},
        ClosedPortCase{"Wait", [](Win32SerialPort& p) { p.waitReadable(10); }, "8012|Port not open (wait)"},
        // No machine has a port above 250: \\.\COM<N> names it, and nothing is there.
        ClosedPortCase{"NoSuchPort", [](Win32SerialPort& p) { p.setPortNumber(251), p.open(); },
                       "8002|Invalid port number: no device COM251"}),
    [](const auto& info) { return std::string(info.param.name); });

struct PortListCase {
    const char* name;
    std::vector<SerialDevice> devices;
    int number;
    std::string shown;
};

void PrintTo(const PortListCase& c, std::ostream* out) { *out << c.name; }

class Win32PortList : public ::testing::TestWithParam<PortListCase> {};

TEST_P(Win32PortList, NumberNIsCOMNWithWhatWindowsCallsIt) {
    const PortListCase& c = GetParam();
    EXPECT_EQ(portListDetails("C:\\q", c.devices)[static_cast<size_t>(c.number - 1)], c.shown);
}

SerialDevice port(const char* name, const char* description = "", const char* maker = "", bool builtIn = false) {
    return {name, name, description, maker, "", builtIn};
}
const SerialDevice Ftdi = port("COM7", "USB Serial Port", "FTDI");

INSTANTIATE_TEST_SUITE_P(
    Device, Win32PortList,
    ::testing::Values(
        PortListCase{"Adapter", {port("COM1"), Ftdi}, 7, "COM7 \u00b7 USB Serial Port \u00b7 FTDI"},
        PortListCase{"MakerNamedOnce", {port("COM3", "Silicon Labs CP210x USB to UART Bridge", "Silicon Labs")}, 3,
                     "COM3 \u00b7 Silicon Labs CP210x USB to UART Bridge"},
        PortListCase{"PlaceholderMaker", {port("COM1", "Communications Port", "(Standard port types)", true)}, 1,
                     "COM1 \u00b7 Communications Port"},
        PortListCase{"BuiltInUnnamed", {port("COM2", "", "", true)}, 2, "COM2 \u00b7 built-in serial port"},
        PortListCase{"NothingKnown", {port("COM12")}, 12, "COM12"},
        PortListCase{"NoSuchPort", {Ftdi}, 8, ""},
        PortListCase{"OneIsNotTen", {port("COM1")}, 10, ""},
        PortListCase{"PrinterPort", {port("LPT1", "Printer Port")}, 1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct NameCase {
    std::string friendlyName, port, description;
    std::string hardwareIds, manufacturer;
    bool builtIn;
};

class Win32DeviceNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(Win32DeviceNames, FriendlyNameLosesItsPortAndBuiltInPortsAreKnown) {
    const NameCase& c = GetParam();
    EXPECT_EQ(portDescription(c.friendlyName, c.port), c.description);
    EXPECT_EQ(builtInSerialPort(c.hardwareIds, c.manufacturer), c.builtIn);
}

INSTANTIATE_TEST_SUITE_P(
    Name, Win32DeviceNames,
    ::testing::Values(NameCase{"USB Serial Port (COM7)", "COM7", "USB Serial Port", "FTDIBUS\\VID_0403+PID_6001\n", "FTDI", false},
                      NameCase{"Communications Port (com1)", "COM1", "Communications Port", "ACPI\\PNP0501\n*PNP0501\n", "", true},
                      NameCase{"Port (COM17)", "COM7", "Port (COM17)", "", "(Standard port types)", true},
                      NameCase{"  Bluetooth Link  ", "COM4", "Bluetooth Link", "BTHENUM\\{00001101}\n", "Microsoft", false},
                      NameCase{"", "COM4", "", "", "", false}));

}  // namespace
}  // namespace qv
