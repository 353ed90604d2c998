// The serial port and the serial device list of this system, for the code
// that must make them without naming a system: each system's implementation
// is picked by the build (platform/posix/serial_port_factory.cpp,
// platform/win32/serial_port_factory.cpp).
//
// Port number N opens, on Linux, the COM<N> link in the program's folder or
// /dev/ttyS<N-1> (see platform/posix/posix_serial_port.h); on Windows the
// port \\.\COM<N>, the program's folder playing no part.
#pragma once

#include <memory>
#include <string>

#include "platform/serial_devices.h"
#include "platform/serial_port.h"

namespace qv {

// A closed serial port of this system for the program's folder. Never fails;
// opening it throws SerialError as SerialPort says.
std::unique_ptr<SerialPort> makeSerialPort(const std::string& programFolder);

// A closed serial port whose port number 1 opens the serial device `device`
// (a device file such as /dev/ttyUSB0). Throws std::system_error when what it
// needs to reach the device cannot be made, and std::invalid_argument, naming
// the reason, when `device` is not a serial device of this system (see
// serialDeviceProblem).
std::unique_ptr<SerialPort> makeDeviceSerialPort(const std::string& device);

// Why `device` cannot be a serial port, checked without touching the line:
// "no such device" when nothing is there (a dangling link included),
// "<device> is not a serial device" for anything but a terminal device (a
// regular file, a folder, /dev/null), another system error's description
// when the path cannot be looked at; on Windows, where ports are named by
// their number, always a text saying so. The empty text for a terminal
// device, and for a character device this user may not open or another
// program holds: opening the port then says what is wrong.
std::string serialDeviceProblem(const std::string& device);

// The device port number `number` opens, with every link followed where it
// leads somewhere, for the program's folder; the empty text for a number
// outside 1 .. ListedPorts.
std::string portDevicePath(const std::string& programFolder, int number);

// The serial devices of this machine as the system lists them; where the
// build has no way to ask, a list that is always empty.
std::unique_ptr<SerialDeviceCatalog> makeSerialDeviceCatalog();

}  // namespace qv
