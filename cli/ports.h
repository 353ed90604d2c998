// Which port numbers of the Port list reach a device.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/posix_serial_port.h"

namespace qv::cli {

struct PortEntry {
    int number = 0;
    std::string device;  // the device file the port opens, links followed
    std::string text;    // the Port list's text for the port
};

// The entries of the Port list (its item texts, each naming its port number
// first) whose port reaches a device: the file the serial port opens for
// that number (see PosixSerialPort::devicePath) leads to a character device,
// and when that is a /dev/ttyS port, the kernel knows a UART behind it (the
// nodes exist whether or not there is one). Nothing is opened. Ports that
// reach nothing are left out; the list can be empty.
std::vector<PortEntry> reachablePorts(const PosixSerialPort& port, const std::vector<std::string>& portList);

}  // namespace qv::cli
