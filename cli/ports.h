// Which port numbers of the Port list reach a device.
#pragma once

#include <string>
#include <vector>

namespace qv::cli {

struct PortEntry {
    int number = 0;
    std::string device;  // the device the port opens, links followed where they lead somewhere
    std::string text;    // what the open Port list shows beside the number
};

// The entries of the Port list whose number reaches a device: those the list
// shows a text beside (`details`, one per item of `portList`, as the window's
// list-opening handler leaves them), for the program's folder
// `programFolder`. Each item's text names its port number first. Nothing is
// opened; the result can be empty.
std::vector<PortEntry> reachablePorts(const std::string& programFolder, const std::vector<std::string>& portList,
                                      const std::vector<std::string>& details);

}  // namespace qv::cli
