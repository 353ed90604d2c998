// What each port number of the Port list reaches, and the binding of serial
// devices that no number reaches yet.
//
// Port number N names the file COM<N> in the program's folder when one exists
// (normally a symbolic link to a device), otherwise /dev/ttyS<N-1>. So N
// reaches something when COM<N> exists, whatever it is (a link whose device
// is unplugged, a link the user made to anything, a plain file), or when there
// is no COM<N> and /dev/ttyS<N-1> is a port of the device list (the phantom
// ttyS nodes most PCs have are not in it).
//
// A device of the list that no number reaches (no COM link resolves to it, and
// it is not the ttyS of a number without COM file) is bound to the lowest
// number that reaches nothing, by a symbolic link COM<N> to the device's stable
// name. Named by its by-id link, an adapter keeps its number across runs and
// when it is plugged in again: while it is away the link dangles and keeps the
// number taken. An existing COM<N> is never changed or removed.
#pragma once

#include <string>
#include <vector>

#include "platform/serial_devices.h"

namespace qv {

class PortNumbers {
public:
    // Looks at what each number reaches in `folder` (the program's folder),
    // against the devices present; number N without COM file names
    // `ttyS` + (N-1).
    PortNumbers(std::string folder, std::vector<SerialDevice> devices, std::string ttyS = "/dev/ttyS");

    // Binds every device that no number reaches to the lowest free number and
    // returns the numbers bound, in order. Never fails: it stops quietly once
    // no number is free or a link cannot be made (a folder that takes no new
    // file); what was bound until then stays.
    std::vector<int> bindNewDevices();

    // What `number` reaches, as the Port list shows it beside the number: the
    // device and what it is ("ttyUSB0 · FTDI FT232R USB UART · A50285BI",
    // "ttyS0 · built-in serial port"), or for a COM file that leads to no
    // listed device where it leads ("COM7 → /dev/pts/3"). The empty text when
    // the number reaches nothing or is outside 1 .. ListedPorts.
    std::string detail(int number) const;
    // detail() of 1 .. ListedPorts, in order.
    std::vector<std::string> details() const;

private:
    struct Reach {
        enum class Kind { Nothing, Device, OtherFile, MissingTarget } kind = Kind::Nothing;
        int device = -1;     // Device: the index in devices_
        std::string target;  // OtherFile: the resolved target, or empty for a file that is no link;
                             // MissingTarget: the link's text
    };

    std::string comPath(int number) const;
    Reach look(int number) const;
    bool reached(int device) const;

    std::string folder_;
    std::vector<SerialDevice> devices_;
    std::string ttyS_;
    std::vector<std::string> deviceKeys_;  // each device's path with every link followed
    std::vector<Reach> reach_;             // index number - 1
};

}  // namespace qv
