// STAND-IN until the Windows serial device list is written (see the header).
#include "platform/win32/win32_serial_devices.h"

namespace qv {

std::vector<SerialDevice> Win32SerialDeviceCatalog::devices() { return {}; }

}  // namespace qv
