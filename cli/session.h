// One run of quorvel-cli: one operation of the window on one unit.
//
// How this works: the run builds the window's model (MainForm) on the
// console toolkit, the POSIX serial port (behind the wire trace when one is
// asked for), the system clock and a file layer that never writes the
// settings file. Form_Load reads the settings as the window's start-up does;
// the options then set the Port, Baud and Unit ID boxes. The command clicks
// the window's own handlers, in the order a technician would, with the
// values, options and file names put where the window takes them from (the
// boxes, Text1, the save dialog's answer). Nothing here talks to the unit:
// what goes on the wire is what the handlers send.
//
// Each step is judged as the technician would judge it: it succeeded when
// the status line ends with its success text, no box reported a failure and,
// for a step on the link, CommOK is 1. Otherwise the first failure box gives
// the exit status: a box about a table or settings file (title "File", or the
// table write's checks of the file's lines), or a question answered No, is a
// file problem (3); a box refusing a value to write, or the missing link
// settings, a usage error (2); every other box, or none, a failure of the
// link or the unit (1). The run stops at the first step that failed. A
// trace line that could not be written is reported once at the end and
// turns a run that went well into a file problem (3).
//
// The option values that name things on the machine (--folder, --device,
// --port) are checked before Form_Load, or before the first step, so a
// wrong one is a usage error with nothing sent.
#pragma once

#include <iosfwd>

#include "cli/options.h"

namespace qv::cli {

// Runs the command of `options`; the values, rows or table file go to `out`
// (standard output), everything else to `err`, whose being a terminal is
// `errIsTerminal`. Returns the exit status (see ExitStatus); never throws.
int run(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal);

}  // namespace qv::cli
