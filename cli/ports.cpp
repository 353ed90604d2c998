#include "cli/ports.h"

#include <climits>
#include <cmath>

#include "common/numbers.h"
#include "platform/serial_port_factory.h"

namespace qv::cli {

std::vector<PortEntry> reachablePorts(const std::string& programFolder, const std::vector<std::string>& portList,
                                      const std::vector<std::string>& details) {
    std::vector<PortEntry> found;
    for (size_t i = 0; i < portList.size() && i < details.size(); ++i) {
        if (details[i].empty()) continue;
        const double number = leadingNumberValue(portList[i]);
        if (!(number >= 1 && number <= INT_MAX) || number != std::floor(number)) continue;
        const int n = static_cast<int>(number);
        found.push_back({n, portDevicePath(programFolder, n), details[i]});
    }
    return found;
}

}  // namespace qv::cli
