// The serial port and device list of Windows: port N is \\.\COM<N>; there
// are no COM<N> links and no device files to name a port by.
#include "platform/serial_port_factory.h"

#include <stdexcept>

#include "platform/win32/win32_serial_devices.h"
#include "platform/win32/win32_serial_port.h"

namespace qv {

std::unique_ptr<SerialPort> makeSerialPort(const std::string& programFolder) {
    return std::make_unique<Win32SerialPort>(programFolder);
}

std::unique_ptr<SerialPort> makeDeviceSerialPort(const std::string& device) {
    throw std::invalid_argument(serialDeviceProblem(device));
}

std::string serialDeviceProblem(const std::string& /*device*/) {
    return "Windows names serial ports by number: give --port N for COMN";
}

std::string portDevicePath(const std::string& /*programFolder*/, int number) {
    if (number < 1 || number > ListedPorts) return {};
    return "\\\\.\\COM" + std::to_string(number);
}

std::unique_ptr<SerialDeviceCatalog> makeSerialDeviceCatalog() {
    return std::make_unique<Win32SerialDeviceCatalog>();
}

}  // namespace qv
