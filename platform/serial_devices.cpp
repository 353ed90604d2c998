#include "platform/serial_devices.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace qv {

namespace {

class NoSerialDevices : public SerialDeviceCatalog {
public:
    std::vector<SerialDevice> devices() override { return {}; }
};

}  // namespace

std::string resolvedPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

SerialDeviceCatalog& noSerialDevices() {
    static NoSerialDevices none;
    return none;
}

std::string stableSerialName(const std::string& devicePath, const std::string& byIdFolder) {
    const std::string device = resolvedPath(devicePath);
    if (device.empty()) return devicePath;
    struct CloseDir {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    std::unique_ptr<DIR, CloseDir> dir(::opendir(byIdFolder.c_str()));
    if (!dir) return devicePath;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string link = byIdFolder + "/" + name;
        if (resolvedPath(link) == device) return link;
    }
    return devicePath;
}

bool phantomUart(const std::string& ttyName, const std::string& sysClassTty) {
    std::ifstream type(sysClassTty + "/" + ttyName + "/type");
    int value = -1;
    return type >> value && value == 0;  // 0 is the kernel's PORT_UNKNOWN
}

}  // namespace qv
