# The source lists of the program's libraries, shared by the main build and
# the fuzzing build. QUORVEL_ROOT is the project's root folder.

# The window model and its handlers, the number conversions and the toolkit
# layer's interfaces with the POSIX backends: everything but a real window.
set(QUORVEL_CORE_SOURCES
  app/main_form.cpp app/settings.cpp
  link/link.cpp link/reply_lines.cpp
  config/baro_mode.cpp config/config_lines.cpp config/detect.cpp config/read_values.cpp
  config/write_values.cpp
  table/read_table.cpp table/table_files.cpp table/table_lines.cpp table/write_table.cpp
  common/numbers.cpp
  platform/clock.cpp platform/controls.cpp platform/files.cpp platform/program_folder.cpp
  platform/toolkit.cpp platform/port_numbers.cpp platform/serial_devices.cpp
  platform/traced_serial_port.cpp
  platform/posix/posix_serial_port.cpp platform/posix/termination_signals.cpp
  platform/posix/uucp_lock.cpp)
list(TRANSFORM QUORVEL_CORE_SOURCES PREPEND ${QUORVEL_ROOT}/)

# The toolkit backend of the tests and the command line: no window.
set(QUORVEL_HEADLESS_SOURCES platform/headless/headless_toolkit.cpp)
list(TRANSFORM QUORVEL_HEADLESS_SOURCES PREPEND ${QUORVEL_ROOT}/)

# The toolkit backend of the command-line program: boxes and status on a terminal.
set(QUORVEL_CONSOLE_SOURCES platform/console/console_toolkit.cpp)
list(TRANSFORM QUORVEL_CONSOLE_SOURCES PREPEND ${QUORVEL_ROOT}/)
