// A simulated unit and the port that reaches it: the model port (the unit
// in-process) on every platform and, where the system has pseudo terminals,
// the unit on one reached through the real serial port, which alone can have
// the faults of a real device.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/model_port.h"

namespace qv::test {

// Faults only a real device has: another holder of the port, a device the
// user may not open, another program that reads the device.
enum class DeviceFault { None, InUse, Denied, Reader };

class UnitLine {
public:
    virtual ~UnitLine() = default;
    virtual SerialPort& port() = 0;  // the port the window opens
    virtual int number() const = 0;  // the port number the unit answers at
    virtual void withModel(const std::function<void(sim::UnitModel&)>& fn) = 0;
    // Puts the fault in place and runs op under it. Returns op's result, or
    // nothing when it could not be run so.
    virtual std::optional<std::string> run(DeviceFault, const std::function<std::string()>& op) { return op(); }
};

class ModelLine : public UnitLine {
public:
    explicit ModelLine(const sim::UnitConfig& cfg) : port_(cfg, 4) {}
    SerialPort& port() override { return port_; }
    int number() const override { return port_.port(); }
    void withModel(const std::function<void(sim::UnitModel&)>& fn) override { port_.withModel(fn); }

private:
    sim::ModelPort port_;
};

struct UnitLineKind {
    std::string name;
    bool realDevice;
    std::function<std::unique_ptr<UnitLine>(const std::string& folder, const sim::UnitConfig&)> make;
};

// The lines of this platform, the model port first.
std::vector<UnitLineKind> unitLines();

inline UnitLineKind modelLine() {
    return {"Model", false, [](const std::string&, const sim::UnitConfig& cfg) { return std::make_unique<ModelLine>(cfg); }};
}

}  // namespace qv::test
