#include "platform/serial_devices.h"

#include <fstream>
#include <system_error>

#include "platform/file_names.h"

namespace qv {

namespace {

class NoSerialDevices : public SerialDeviceCatalog {
public:
    std::vector<SerialDevice> devices() override { return {}; }
};

// The last part of a path, after its last "/" or "\\".
std::string baseName(const std::string& path) {
    const auto separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

std::string deviceText(const SerialDevice& device) {
    std::string what = device.description;
    if (!device.manufacturer.empty() && what.find(device.manufacturer) == std::string::npos)
        what = what.empty() ? device.manufacturer : device.manufacturer + " " + what;
    if (what.empty() && device.builtInUart) what = "built-in serial port";
    std::string text = baseName(device.path);
    for (const std::string& part : {what, device.serialNumber})
        if (!part.empty()) text += " \u00b7 " + part;
    return text;
}

std::string resolvedPath(const std::string& path) {
    if (path.empty()) return {};
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(pathFromUtf8(path), ec);
    return ec ? std::string() : utf8Name(real);
}

SerialDeviceCatalog& noSerialDevices() {
    static NoSerialDevices none;
    return none;
}

std::string stableSerialName(const std::string& devicePath, const std::string& byIdFolder) {
    const std::string device = resolvedPath(devicePath);
    if (device.empty()) return devicePath;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(pathFromUtf8(byIdFolder), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string link = byIdFolder + "/" + utf8Name(it->path().filename());
        if (resolvedPath(link) == device) return link;
    }
    return devicePath;
}

bool phantomUart(const std::string& ttyName, const std::string& sysClassTty) {
    std::ifstream type(pathFromUtf8(sysClassTty + "/" + ttyName + "/type"));
    int value = -1;
    return type >> value && value == 0;  // 0 is the kernel's PORT_UNKNOWN
}

}  // namespace qv
