#include "cli/ports.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "common/numbers.h"

namespace qv::cli {

namespace {

// The file the path leads to once every link is followed; the path itself
// when it leads nowhere (an unplugged adapter's link).
std::string resolved(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

}  // namespace

std::vector<PortEntry> reachablePorts(const PosixSerialPort& port, const std::vector<std::string>& portList,
                                      const std::vector<std::string>& details) {
    std::vector<PortEntry> found;
    for (size_t i = 0; i < portList.size() && i < details.size(); ++i) {
        if (details[i].empty()) continue;
        const double number = leadingNumberValue(portList[i]);
        if (!(number >= 1 && number <= INT_MAX) || number != std::floor(number)) continue;
        const int n = static_cast<int>(number);
        found.push_back({n, resolved(port.devicePath(n)), details[i]});
    }
    return found;
}

}  // namespace qv::cli
