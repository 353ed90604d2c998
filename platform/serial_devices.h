// The serial devices present on the machine, as the system enumerates them.
//
// A catalog lists every serial device it finds right now (USB adapters, the
// machine's own UARTs, ...); asking again lists what is plugged in by then.
// The real catalog asks the toolkit's serial port enumeration; the tests give
// a list of their own. Each device carries the name it is best reached by:
// its /dev/serial/by-id/ link where udev made one, which stays the same when
// the adapter is unplugged and plugged in again (its /dev/ttyUSB<k> may not).
#pragma once

#include <string>
#include <vector>

namespace qv {

struct SerialDevice {
    std::string path;          // the device file, e.g. /dev/ttyUSB0
    std::string stableName;    // the by-id link that resolves to it, else `path`
    std::string description;   // e.g. "FT232R USB UART"; may be empty
    std::string manufacturer;  // e.g. "FTDI"; may be empty
    std::string serialNumber;  // e.g. "A50285BI"; may be empty
    bool builtInUart = false;  // one of the machine's own ports (/dev/ttyS<k>)
};

// The numbers the Port list offers: 1 .. ListedPorts.
inline constexpr int ListedPorts = 99;

class SerialDeviceCatalog {
public:
    virtual ~SerialDeviceCatalog() = default;
    // The devices present now; empty when there are none or the system
    // cannot tell.
    virtual std::vector<SerialDevice> devices() = 0;
};

// A machine without serial devices: the catalog of the tests and tools that
// do not ask for one.
SerialDeviceCatalog& noSerialDevices();

// What the open Port list shows beside each number 1 .. ListedPorts, in
// order, for the devices present: the device and what it is ("ttyUSB0 · FTDI
// FT232R USB UART · A50285BI", "COM3 · built-in serial port"), or the empty
// text where the number reaches nothing. Where the system lets the program
// choose the numbers (COM<N> links in `programFolder` on Linux), devices that
// no number reaches yet are first bound to free numbers; on Windows the
// number is the device's own COM number. Never fails.
std::vector<std::string> portListDetails(const std::string& programFolder, const std::vector<SerialDevice>& devices);

// A device as the Port list names it: its name (the last part of its path),
// what it is (maker and model, the maker once), its serial number; empty
// parts left out.
std::string deviceText(const SerialDevice& device);

// The absolute path with every link followed; the empty text when it does not
// resolve (a dangling link, a missing file).
std::string resolvedPath(const std::string& path);

// The entry of `byIdFolder` (udev's /dev/serial/by-id) that resolves to the
// device file `devicePath`; `devicePath` itself when there is none or the
// folder cannot be read.
std::string stableSerialName(const std::string& devicePath,
                             const std::string& byIdFolder = "/dev/serial/by-id");

// True when the kernel says the UART behind `ttyName` (e.g. "ttyS3") is of
// unknown type: a phantom node with no port behind it. False when it names a
// type, or when `sysClassTty`/<ttyName>/type cannot be read (older kernels let
// only root read it).
bool phantomUart(const std::string& ttyName, const std::string& sysClassTty = "/sys/class/tty");

}  // namespace qv
