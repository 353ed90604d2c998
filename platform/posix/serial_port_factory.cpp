// The serial port of POSIX systems: the termios port, port N reached by the
// COM<N> link in a folder or /dev/ttyS<N-1>.
#include "platform/serial_port_factory.h"

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/posix/posix_serial_port.h"

namespace qv {

namespace {

// A folder of the process's own under the temporary folder, removed with
// everything in it at the end.
class PrivateFolder {
public:
    // Throws std::system_error with the errno of the failed mkdtemp.
    PrivateFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "quorvel-cli-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            throw std::system_error(errno, std::generic_category(), "cannot make a temporary folder");
        path_ = tmpl;
    }
    ~PrivateFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A folder whose COM1 links to the device, made before the port that opens
// it by its own rule as port 1.
struct LinkedDevice {
    explicit LinkedDevice(const std::string& device) {
        const std::string link = folder.path() + "/COM1";
        std::error_code ec;
        std::filesystem::create_symlink(std::filesystem::absolute(device), link, ec);
        if (ec) throw std::system_error(ec, "cannot link " + link + " to " + device);
    }
    PrivateFolder folder;
};

class DevicePort : private LinkedDevice, public PosixSerialPort {
public:
    explicit DevicePort(const std::string& device) : LinkedDevice(device), PosixSerialPort(folder.path()) {}
};

}  // namespace

std::unique_ptr<SerialPort> makeSerialPort(const std::string& programFolder) {
    return std::make_unique<PosixSerialPort>(programFolder);
}

std::unique_ptr<SerialPort> makeDeviceSerialPort(const std::string& device) {
    if (const std::string problem = serialDeviceProblem(device); !problem.empty()) throw std::invalid_argument(problem);
    return std::make_unique<DevicePort>(device);
}

std::string portDevicePath(const std::string& programFolder, int number) {
    if (number < 1 || number > ListedPorts) return {};
    const std::string path = PosixSerialPort(programFolder).devicePath(number);
    const std::string real = resolvedPath(path);
    return real.empty() ? path : real;
}

}  // namespace qv
