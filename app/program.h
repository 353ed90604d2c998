// The program's parts wired together: the window on Qt, the serial port on
// POSIX, the serial devices as Qt enumerates them, the system clock and file
// system. main() runs one; the end-to-end tests run one in a folder of their
// own.
//
// With QUORVEL_TRACE=FILE in the environment the serial port is traced: every
// line sent and every reply received is appended to FILE (see
// platform/traced_serial_port.h). Without it nothing is traced.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "app/main_form.h"
#include "app/wire_trace.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/termination_signals.h"
#include "platform/program_folder.h"
#include "platform/qt/main_window.h"
#include "platform/qt/qt_serial_devices.h"
#include "platform/qt/qt_toolkit.h"

namespace qv {

class Program {
public:
    // The program's own folder (settings file, COM<N> links) is found as
    // platform/program_folder.h says, unless one is given.
    explicit Program(std::string programFolder = {})
        : ui(programFolder.empty() ? findProgramFolder() : ProgramFolder{std::move(programFolder), true, {}}),
          port(ui.programFolder()), form(platform), window(form) {
        ui.attach(&window);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // From now on SIGTERM, SIGHUP and SIGINT close the window as a close by
    // the system: the shutdown step runs and nobody is asked anything.
    void closeOnTerminationSignals() {
        signals_ = std::make_unique<TerminationSignals>();
        window.closeOnSignals(*signals_);
    }

    QtToolkit ui;
    PosixSerialPort port;
    std::unique_ptr<TracedSerialPort> trace = traceFromEnvironment(port);
    SystemClock clock;
    FileSystem files;
    QtSerialDeviceCatalog serialDevices;
    Platform platform{ui, trace ? static_cast<SerialPort&>(*trace) : port, clock, files, serialDevices};
    MainForm form;
    MainWindow window;

private:
    std::unique_ptr<TerminationSignals> signals_;
};

}  // namespace qv
