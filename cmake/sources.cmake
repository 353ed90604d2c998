# The source lists of the program's libraries, shared by the main build and
# the fuzzing build. QUORVEL_ROOT is the project's root folder.

# The window model and its handlers, the number conversions and the toolkit
# layer's interfaces: what every system shares.
set(QUORVEL_SHARED_SOURCES
  app/main_form.cpp app/settings.cpp
  link/link.cpp link/reply_lines.cpp
  config/baro_mode.cpp config/config_lines.cpp config/detect.cpp config/read_values.cpp
  config/write_values.cpp
  table/read_table.cpp table/table_files.cpp table/table_lines.cpp table/write_table.cpp
  common/numbers.cpp
  platform/clock.cpp platform/controls.cpp platform/files.cpp
  platform/toolkit.cpp platform/serial_devices.cpp platform/serial_port.cpp
  platform/traced_serial_port.cpp)

# The system's part of the toolkit layer on Linux: files, the program's
# folder, the termios serial port with its COM<N> links and locks, the
# termination signals, the console.
set(QUORVEL_POSIX_SOURCES
  platform/posix/posix_files.cpp platform/posix/posix_program_folder.cpp
  platform/posix/posix_system.cpp platform/posix/posix_trace_file.cpp
  platform/posix/port_numbers.cpp platform/posix/posix_serial_port.cpp
  platform/posix/serial_port_factory.cpp platform/posix/termination_signals.cpp
  platform/posix/uucp_lock.cpp)

# The same on Windows: wide-character file calls, %APPDATA%, the console's
# control handler, \\.\COM<N> ports.
set(QUORVEL_WIN32_SOURCES
  platform/win32/win32_files.cpp platform/win32/win32_program_folder.cpp
  platform/win32/win32_system.cpp platform/win32/win32_trace_file.cpp
  platform/win32/win32_port_list.cpp platform/win32/serial_port_factory.cpp
  platform/win32/termination_signals.cpp
  platform/win32/win32_serial_port.cpp platform/win32/win32_serial_devices.cpp)

if(WIN32)
  set(QUORVEL_CORE_SOURCES ${QUORVEL_SHARED_SOURCES} ${QUORVEL_WIN32_SOURCES})
else()
  set(QUORVEL_CORE_SOURCES ${QUORVEL_SHARED_SOURCES} ${QUORVEL_POSIX_SOURCES})
endif()
list(TRANSFORM QUORVEL_CORE_SOURCES PREPEND ${QUORVEL_ROOT}/)

# The toolkit backend of the tests and the command line: no window.
set(QUORVEL_HEADLESS_SOURCES platform/headless/headless_toolkit.cpp)
list(TRANSFORM QUORVEL_HEADLESS_SOURCES PREPEND ${QUORVEL_ROOT}/)

# The toolkit backend of the command-line program: boxes and status on a terminal.
set(QUORVEL_CONSOLE_SOURCES platform/console/console_toolkit.cpp)
list(TRANSFORM QUORVEL_CONSOLE_SOURCES PREPEND ${QUORVEL_ROOT}/)
