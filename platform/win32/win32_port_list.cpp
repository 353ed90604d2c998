// The Port list's texts on Windows: each device is reached by its own COM
// number (\\.\COM<N> is port N), so nothing is bound.
#include <cctype>

#include "platform/serial_devices.h"

namespace qv {

namespace {

// N for a device named "COM<N>" (also as \\.\COM<N>); 0 for any other name.
int comNumber(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, "COM") != 0) return 0;
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

}  // namespace

std::vector<std::string> portListDetails(const std::string& /*programFolder*/, const std::vector<SerialDevice>& devices) {
    std::vector<std::string> details(ListedPorts);
    for (const SerialDevice& device : devices) {
        const int number = comNumber(device.path);
        if (number >= 1 && number <= ListedPorts) details[static_cast<size_t>(number - 1)] = deviceText(device);
    }
    return details;
}

}  // namespace qv
