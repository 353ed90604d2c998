// The Port list's texts on Windows: each device is reached by its own COM
// number (\\.\COM<N> is port N), so nothing is bound and the program's folder
// plays no part.
#include "platform/serial_devices.h"
#include "platform/win32/win32_serial_devices.h"

namespace qv {

std::vector<std::string> portListDetails(const std::string& /*programFolder*/, const std::vector<SerialDevice>& devices) {
    std::vector<std::string> details(ListedPorts);
    for (const SerialDevice& device : devices) {
        const int number = comPortNumber(device.path);
        if (number >= 1 && number <= ListedPorts) details[static_cast<size_t>(number - 1)] = portDetailText(device);
    }
    return details;
}

}  // namespace qv
