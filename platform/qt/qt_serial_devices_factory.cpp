// The device list of a build with Qt's serial port enumeration.
#include "platform/qt/qt_serial_devices.h"
#include "platform/serial_port_factory.h"

namespace qv {

std::unique_ptr<SerialDeviceCatalog> makeSerialDeviceCatalog() { return std::make_unique<QtSerialDeviceCatalog>(); }

}  // namespace qv
