// The lines of a system with pseudo terminals: the model port, and the unit
// on a pty reached through the real serial port, with the faults of a real
// device.
#include <sys/stat.h>

#include "platform/posix/posix_serial_port.h"
#include "sim/pty_unit.h"
#include "support/system_faults.h"
#include "support/unit_line.h"

namespace qv::test {
namespace {

class PtyLine : public UnitLine {
public:
    PtyLine(const std::string& folder, const sim::UnitConfig& cfg)
        : folder_(folder), unit_(folder, cfg), port_(folder), holder_(folder) {}
    SerialPort& port() override { return port_; }
    int number() const override { return unit_.port(); }
    void withModel(const std::function<void(sim::UnitModel&)>& fn) override { unit_.withModel(fn); }

    std::optional<std::string> run(DeviceFault fault, const std::function<std::string()>& op) override {
        if (fault == DeviceFault::InUse) holder_.setPortNumber(unit_.port()), holder_.open();
        if (fault == DeviceFault::Reader) reader_.emplace(unit_.slavePath());
        if (fault != DeviceFault::Denied) return op();
        // The folder becomes the root's, so that nobody may enter it; the device stays closed.
        if (::chmod(folder_.c_str(), 0755) != 0) return std::nullopt;
        return runWithoutAccess(unit_.slavePath(), op);
    }

private:
    std::string folder_;
    sim::PtyUnit unit_;
    PosixSerialPort port_;
    PosixSerialPort holder_;               // another user of the port
    std::optional<DeviceHolder> reader_;   // another program that reads the device
};

}  // namespace

std::vector<UnitLineKind> unitLines() {
    return {modelLine(), {"Pty", true, [](const std::string& folder, const sim::UnitConfig& cfg) {
                              return std::make_unique<PtyLine>(folder, cfg);
                          }}};
}

}  // namespace qv::test
