#include "platform/win32/win32_serial_devices.h"

#include "platform/win32/win32_text.h"

#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <type_traits>

namespace qv {

namespace {

// The device setup class of serial and parallel ports, and the device
// interface of COM ports (which some USB adapters register under a class of
// their own).
constexpr GUID PortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr GUID ComPortInterface = {0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

struct CloseKey {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, CloseKey>;

struct DestroyDeviceList {
    void operator()(HDEVINFO set) const { ::SetupDiDestroyDeviceInfoList(set); }
};
using UniqueDeviceList = std::unique_ptr<std::remove_pointer_t<HDEVINFO>, DestroyDeviceList>;

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// A text value of `key`; empty when it is missing or no text.
std::string textValue(HKEY key, const wchar_t* name) {
    DWORD type = 0, bytes = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) return {};
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS)
        return {};
    return win32::utf8(text.c_str());
}

// The ports of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: the data of its values.
std::vector<std::string> registryPorts() {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS)
        return {};
    UniqueKey key(opened);
    std::vector<std::string> ports;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        wchar_t data[256];
        DWORD nameLength = std::size(name), dataBytes = sizeof data - sizeof(wchar_t), type = 0;
        const LONG result = ::RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        ports.push_back(win32::utf8(data));
    }
    return ports;
}

// A text property of a device (the first text of a list); empty when it has none.
std::string deviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD type = 0, bytes = 0;
    ::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &bytes);
    if (bytes == 0) return {};
    std::wstring text(bytes / sizeof(wchar_t) + 2, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(text.data()),
                                             static_cast<DWORD>(text.size() * sizeof(wchar_t)), nullptr))
        return {};
    return win32::utf8(text.c_str());
}

// Every text of a list property, one a line.
std::string deviceListProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD type = 0, bytes = 0;
    ::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &bytes);
    if (bytes == 0) return {};
    std::wstring list(bytes / sizeof(wchar_t) + 2, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(list.data()),
                                             static_cast<DWORD>(list.size() * sizeof(wchar_t)), nullptr))
        return {};
    std::string out;
    for (const wchar_t* item = list.c_str(); *item; item += std::wcslen(item) + 1) out += win32::utf8(item) + "\n";
    return out;
}

// What the setup API says of each port it knows, by upper-case port name.
void addSetupPorts(const GUID& guid, DWORD flags, std::map<std::string, SerialDevice>& ports) {
    UniqueDeviceList set(::SetupDiGetClassDevsW(&guid, nullptr, nullptr, flags));
    if (set.get() == INVALID_HANDLE_VALUE) {
        set.release();
        return;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!::SetupDiEnumDeviceInfo(set.get(), index, &device)) break;  // ERROR_NO_MORE_ITEMS, or nothing to go on
        HKEY opened = ::SetupDiOpenDevRegKey(set.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (opened == INVALID_HANDLE_VALUE) continue;
        const std::string port = textValue(UniqueKey(opened).get(), L"PortName");
        if (comPortNumber(port) == 0) continue;  // a printer port, or a port without name
        SerialDevice& d = ports[upper(port)];
        if (!d.description.empty()) continue;  // known from the other list already
        d.path = d.stableName = upper(port);
        d.description = portDescription(deviceProperty(set.get(), device, SPDRP_FRIENDLYNAME), d.path);
        if (d.description.empty()) d.description = trim(deviceProperty(set.get(), device, SPDRP_DEVICEDESC));
        d.manufacturer = trim(deviceProperty(set.get(), device, SPDRP_MFG));
        d.builtInUart = builtInSerialPort(deviceListProperty(set.get(), device, SPDRP_HARDWAREID), d.manufacturer);
    }
}

}  // namespace

int comPortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || upper(name.substr(0, 3)) != "COM") return 0;
    if (!std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; }) || name[3] == '0')
        return 0;
    return std::stoi(name.substr(3));
}

std::string portDescription(const std::string& friendlyName, const std::string& port) {
    std::string text = trim(friendlyName);
    const std::string suffix = "(" + upper(port) + ")";
    if (text.size() >= suffix.size() && upper(text.substr(text.size() - suffix.size())) == suffix)
        text = trim(text.substr(0, text.size() - suffix.size()));
    return text;
}

bool builtInSerialPort(const std::string& hardwareIds, const std::string& manufacturer) {
    return upper(hardwareIds).find("PNP0501") != std::string::npos || manufacturer == "(Standard port types)";
}

std::string portDetailText(const SerialDevice& device) {
    std::string what = device.description;
    const std::string& maker = device.manufacturer;
    const bool placeholder = maker.starts_with("(") && maker.ends_with(")");
    std::string makerPart = placeholder || (!what.empty() && what.find(maker) != std::string::npos) ? "" : maker;
    if (what.empty() && makerPart.empty() && device.builtInUart) what = "built-in serial port";
    std::string text = device.path;
    for (const std::string& part : {what, makerPart, device.serialNumber})
        if (!part.empty()) text += " \u00b7 " + part;
    return text;
}

std::vector<SerialDevice> Win32SerialDeviceCatalog::devices() {
    std::map<std::string, SerialDevice> ports;
    addSetupPorts(PortsClass, DIGCF_PRESENT, ports);
    addSetupPorts(ComPortInterface, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE, ports);
    for (const std::string& port : registryPorts()) {
        if (comPortNumber(port) == 0) continue;
        SerialDevice& d = ports[upper(port)];
        d.path = d.stableName = upper(port);
    }
    std::vector<SerialDevice> out;
    for (auto& [name, device] : ports) out.push_back(std::move(device));
    std::sort(out.begin(), out.end(), [](const SerialDevice& a, const SerialDevice& b) {
        return comPortNumber(a.path) < comPortNumber(b.path);
    });
    return out;
}

}  // namespace qv
