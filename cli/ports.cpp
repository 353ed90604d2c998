#include "cli/ports.h"

#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "common/numbers.h"

namespace qv::cli {

namespace {

// The file the path leads to once every link is followed; empty when it
// leads nowhere.
std::string resolved(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// A /dev/ttyS<k> node stands for a UART only when the kernel found one
// there: its serial driver then reports a port type other than 0.
bool uartBehind(const std::string& device) {
    const std::string prefix = "/dev/ttyS";
    if (device.compare(0, prefix.size(), prefix) != 0) return true;
    std::ifstream type("/sys/class/tty/" + device.substr(5) + "/type");
    int kind = 0;
    return static_cast<bool>(type >> kind) && kind != 0;
}

}  // namespace

std::vector<PortEntry> reachablePorts(const PosixSerialPort& port, const std::vector<std::string>& portList) {
    std::vector<PortEntry> found;
    for (const std::string& text : portList) {
        const double number = leadingNumberValue(text);
        if (!(number >= 1 && number <= INT_MAX) || number != std::floor(number)) continue;
        const int n = static_cast<int>(number);
        const std::string device = resolved(port.devicePath(n));
        struct stat st{};
        if (device.empty() || ::stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode) || !uartBehind(device))
            continue;
        found.push_back({n, device, text});
    }
    return found;
}

}  // namespace qv::cli
