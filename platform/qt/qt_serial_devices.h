// The serial devices present, as Qt's serial port enumeration finds them.
//
// Qt lists the tty devices that udev (or sysfs) knows with a device behind
// them: USB adapters with their maker, model and serial number, the machine's
// own UARTs (/dev/ttyS<k>), and others. It leaves out a ttyS node of the 8250
// driver that it cannot open or that reports no UART type: the phantom nodes
// most PCs have. Newer kernels hang every ttyS node below a port device of
// the serial core, which hides the 8250 driver from that check, so phantoms
// get through there; the kernel's own word on the UART type (sysfs "type", 0
// for none) drops them.
#pragma once

#include "platform/serial_devices.h"

namespace qv {

class QtSerialDeviceCatalog : public SerialDeviceCatalog {
public:
    // Sorted by device path; empty when Qt finds none.
    std::vector<SerialDevice> devices() override;
};

}  // namespace qv
