#include "platform/qt/qt_serial_devices.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace qv {

namespace {

std::string toUtf8(const QString& s) { return s.toUtf8().toStdString(); }

}  // namespace

std::vector<SerialDevice> QtSerialDeviceCatalog::devices() {
    std::vector<SerialDevice> found;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDevice device;
        device.path = toUtf8(info.systemLocation());
        const std::string name = toUtf8(info.portName());
        if (device.path.empty() || name.empty()) continue;
        device.builtInUart = name.rfind("ttyS", 0) == 0;
        if (device.builtInUart && phantomUart(name)) continue;
        device.stableName = stableSerialName(device.path);
        device.description = toUtf8(info.description());
        device.manufacturer = toUtf8(info.manufacturer());
        device.serialNumber = toUtf8(info.serialNumber());
        found.push_back(std::move(device));
    }
    std::sort(found.begin(), found.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
    return found;
}

}  // namespace qv
