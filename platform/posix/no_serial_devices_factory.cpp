// The device list of a build without a way to enumerate serial devices:
// always empty, so nothing gets a number of its own.
#include "platform/serial_port_factory.h"

namespace qv {

namespace {

class NoDevices : public SerialDeviceCatalog {
public:
    std::vector<SerialDevice> devices() override { return {}; }
};

}  // namespace

std::unique_ptr<SerialDeviceCatalog> makeSerialDeviceCatalog() { return std::make_unique<NoDevices>(); }

}  // namespace qv
