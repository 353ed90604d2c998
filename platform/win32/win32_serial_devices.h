// STAND-IN: the Windows serial device list is not written yet; this catalog
// lists no device. It is replaced by the one that asks Windows for its ports.
#pragma once

#include "platform/serial_devices.h"

namespace qv {

class Win32SerialDeviceCatalog : public SerialDeviceCatalog {
public:
    // Always empty until the real catalog lands.
    std::vector<SerialDevice> devices() override;
};

}  // namespace qv
