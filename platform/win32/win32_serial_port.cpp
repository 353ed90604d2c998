// STAND-IN until the Windows serial port is written (see the header).
#include "platform/win32/win32_serial_port.h"

namespace qv {

void Win32SerialPort::setPortNumber(int number) {
    if (number < 1 || number > 255)
        throw SerialError(SerialError::InvalidPort, "Invalid port number", SerialError::Kind::NotFound);
    number_ = number;
}

void Win32SerialPort::open() {
    throw SerialError(SerialError::InvalidPort, "Serial ports are not supported in this Windows build yet",
                      SerialError::Kind::NotFound, "\\\\.\\COM" + std::to_string(number_));
}

void Win32SerialPort::write(const std::string& /*text*/) {
    throw SerialError(SerialError::InvalidPort, "Port not open", SerialError::Kind::Other);
}

}  // namespace qv
