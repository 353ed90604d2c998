// The program's parts wired together on Windows: the native window, the
// \\.\COM<N> serial port, the serial devices as the registry and the setup
// API list them, the system clock and file system. win32_main.cpp runs one.
//
// With QUORVEL_TRACE=FILE in the environment the serial port is traced (see
// app/wire_trace.h).
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "app/main_form.h"
#include "app/wire_trace.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/program_folder.h"
#include "platform/win32/win32_serial_devices.h"
#include "platform/win32/win32_serial_port.h"
#include "platform/win32/win32_toolkit.h"
#include "platform/win32/win32_window.h"

namespace qv {

class Win32Program {
public:
    // The program's own folder (settings file) is found as
    // platform/program_folder.h says, unless one is given.
    explicit Win32Program(std::string programFolder = {})
        : ui(programFolder.empty() ? findProgramFolder() : ProgramFolder{std::move(programFolder), true, {}}),
          port(ui.programFolder()), form(platform), window(form) {
        ui.attach(&window);
    }
    Win32Program(const Win32Program&) = delete;
    Win32Program& operator=(const Win32Program&) = delete;

    Win32Toolkit ui;
    Win32SerialPort port;
    std::unique_ptr<TracedSerialPort> trace = traceFromEnvironment(port);
    SystemClock clock;
    FileSystem files;
    Win32SerialDeviceCatalog serialDevices;
    Platform platform{ui, trace ? static_cast<SerialPort&>(*trace) : port, clock, files, serialDevices};
    MainForm form;
    Win32Window window;
};

}  // namespace qv
