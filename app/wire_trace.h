// The wire trace of the window's program: with QUORVEL_TRACE=FILE in the
// environment the serial port is traced, every line sent and every reply
// received appended to FILE (see platform/traced_serial_port.h).
#pragma once

#include <cstdlib>
#include <iostream>
#include <memory>
#include <system_error>

#include "platform/traced_serial_port.h"

namespace qv {

// The traced port when QUORVEL_TRACE names a file; nothing when it is unset
// or empty, or when the file cannot be opened (then said on standard error,
// and the window runs untraced).
inline std::unique_ptr<TracedSerialPort> traceFromEnvironment(SerialPort& port) {
    const char* file = std::getenv("QUORVEL_TRACE");
    if (!file || !*file) return nullptr;
    try {
        return std::make_unique<TracedSerialPort>(port, file);
    } catch (const std::system_error& e) {
        std::cerr << "QUORVEL_TRACE: " << e.what() << "; the wire is not traced\n";
        return nullptr;
    }
}

}  // namespace qv
