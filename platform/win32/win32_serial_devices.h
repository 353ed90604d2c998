// The serial ports present on a Windows machine, for the Port list.
//
// How this works: the registry's list of serial ports
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, one value per port whose data is its
// name, "COM7") says which ports exist right now. The setup API says what
// each one is: the devices of the Ports class and of the COM port interface
// carry their port name ("PortName" in the device's own registry key), the
// friendly name Windows shows ("USB Serial Port (COM7)") and the maker
// ("FTDI"). The two are joined by the port name; a port that only one of them
// knows is listed too. Asking again enumerates again, so a port plugged in
// meanwhile shows.
//
// Each device's path and stable name are the port name itself: on Windows
// the number is the port, and Windows keeps an adapter's number across
// replugs on its own.
#pragma once

#include <string>
#include <vector>

#include "platform/serial_devices.h"

namespace qv {

class Win32SerialDeviceCatalog : public SerialDeviceCatalog {
public:
    // The ports present now, in the order of their numbers; empty when there
    // are none or neither the registry nor the setup API can be read.
    std::vector<SerialDevice> devices() override;
};

// The number of the port name "COM7" (in any case); 0 for a name that is no
// COM port ("LPT1", "COM", "COM0", "COM7x").
int comPortNumber(const std::string& name);

// What a device is, from its friendly name: "USB Serial Port (COM7)" without
// the port's own name in brackets at its end ("USB Serial Port"), blanks
// around it removed; the friendly name as it is when it does not end so.
std::string portDescription(const std::string& friendlyName, const std::string& port);

// True for one of the machine's own ports: a 16550-type UART of the board
// (hardware ID ...PNP0501) or a port of Windows' standard port driver.
bool builtInSerialPort(const std::string& hardwareIds, const std::string& manufacturer);

// The Port list's text for a device: "COM7 · USB Serial Port · FTDI" (the
// port, what it is, its maker, its serial number), empty parts left out, and
// the maker also when the description names it already or when it is only
// Windows' placeholder in brackets ("(Standard port types)"); a built-in port
// with nothing else known says "built-in serial port".
std::string portDetailText(const SerialDevice& device);

}  // namespace qv
