#include "platform/posix/port_numbers.h"

#include "platform/serial_port.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace qv {

PortNumbers::PortNumbers(std::string folder, std::vector<SerialDevice> devices, std::string ttyS)
    : folder_(std::move(folder)), devices_(std::move(devices)), ttyS_(std::move(ttyS)) {
    for (const SerialDevice& device : devices_) {
        std::string key = resolvedPath(device.path);
        deviceKeys_.push_back(key.empty() ? device.path : key);
    }
    for (int number = 1; number <= ListedPorts; ++number) reach_.push_back(look(number));
}

std::string PortNumbers::comPath(int number) const {
    return comLinkPath(folder_, number);
}

PortNumbers::Reach PortNumbers::look(int number) const {
    using Kind = Reach::Kind;
    const std::string com = comPath(number);
    struct stat st{};
    if (::lstat(com.c_str(), &st) != 0) {
        // No COM file: the number names /dev/ttyS<N-1>, which counts only as
        // a port of the list.
        const std::string ttyS = ttyS_ + std::to_string(number - 1);
        for (size_t i = 0; i < devices_.size(); ++i)
            if (devices_[i].path == ttyS) return {Kind::Device, static_cast<int>(i), {}};
        return {};
    }
    if (!S_ISLNK(st.st_mode)) return {Kind::OtherFile, -1, {}};
    const std::string target = resolvedPath(com);
    if (target.empty()) {
        char text[4096];
        ssize_t length = ::readlink(com.c_str(), text, sizeof text - 1);
        return {Kind::MissingTarget, -1, length > 0 ? std::string(text, static_cast<size_t>(length)) : ""};
    }
    for (size_t i = 0; i < deviceKeys_.size(); ++i)
        if (deviceKeys_[i] == target) return {Kind::Device, static_cast<int>(i), {}};
    return {Kind::OtherFile, -1, target};
}

bool PortNumbers::reached(int device) const {
    for (const Reach& r : reach_)
        if (r.kind == Reach::Kind::Device && r.device == device) return true;
    return false;
}

std::vector<int> PortNumbers::bindNewDevices() {
    std::vector<int> bound;
    int number = 1;
    for (int device = 0; device < static_cast<int>(devices_.size()); ++device) {
        const SerialDevice& d = devices_[static_cast<size_t>(device)];
        const std::string& target = d.stableName.empty() ? d.path : d.stableName;
        while (!reached(device)) {
            while (number <= ListedPorts && reach_[static_cast<size_t>(number - 1)].kind != Reach::Kind::Nothing)
                ++number;
            if (number > ListedPorts) return bound;
            if (::symlink(target.c_str(), comPath(number).c_str()) == 0) {
                reach_[static_cast<size_t>(number - 1)] = {Reach::Kind::Device, device, {}};
                bound.push_back(number);
                break;
            }
            const int err = errno;
            if (err != EEXIST) return bound;
            // Someone else made this COM file meanwhile (another copy of the
            // program may have bound this very device): it is theirs now.
            reach_[static_cast<size_t>(number - 1)] = look(number);
            ++number;
        }
    }
    return bound;
}

std::string PortNumbers::detail(int number) const {
    if (number < 1 || number > ListedPorts) return {};
    const Reach& r = reach_[static_cast<size_t>(number - 1)];
    const std::string com = "COM" + std::to_string(number);
    switch (r.kind) {
        case Reach::Kind::Nothing:
            return {};
        case Reach::Kind::Device:
            return deviceText(devices_[static_cast<size_t>(r.device)]);
        case Reach::Kind::OtherFile:
            return r.target.empty() ? com : com + " \u2192 " + r.target;
        case Reach::Kind::MissingTarget:
            return (r.target.empty() ? com : com + " \u2192 " + r.target) + " \u00b7 not present";
    }
    return {};
}

std::vector<std::string> PortNumbers::details() const {
    std::vector<std::string> out;
    for (int number = 1; number <= ListedPorts; ++number) out.push_back(detail(number));
    return out;
}

}  // namespace qv

namespace qv {

std::vector<std::string> portListDetails(const std::string& programFolder, const std::vector<SerialDevice>& devices) {
    PortNumbers numbers(programFolder, devices);
    numbers.bindNewDevices();
    return numbers.details();
}

}  // namespace qv
