#include "cli/options.h"

#include <getopt.h>

#include <cctype>
#include <map>

namespace qv::cli {

const char* const HelpText = R"(Usage: quorvel-cli [OPTIONS] COMMAND [ARGS]

Runs one operation of Quorvel Config Software on the unit at a serial port,
exactly as the window's button does, and ends with the operation's outcome.

Commands:
  ports                  each port number that reaches a device: the number,
                         the device and the Port list's text, one a line
  detect                 Detect Unit; prints the three configuration values
  read-values            Get Current Values From Unit; prints the three values
  write-values [--temp V] [--unit C|F|R] [--constant V]
                         Save Displayed Values To Unit, with all of its checks.
                         The values not given are read from the unit first (Get
                         Current Values From Unit); when that read fails nothing
                         is written. Prints the values the unit confirmed
  baro enable|disable    Write in the Barometric Mode frame
  read-table [FILE]      Get Table from Unit, then the table file (six header
                         lines, then one line a row) to FILE, or to standard
                         output when FILE is absent or "-". A unit with no
                         table lines gives " No Table from unit to save. ",
                         no output and exit status 1, as the window's save
  write-table FILE       Get Table from PC File, then Save Table to Unit

Options:
  --port N        serial port number, 1 to 99: the file COM<N> in the
                  program's folder, else /dev/ttyS<N-1>
  --device PATH   the serial device (a terminal device) to use, instead of a
                  port number
  --baud B        baud rate: 300, 600, 1200, 2400, 4800, 9600, 19200, 38400,
                  57600 or 115200
  --id ID         unit ID, 01 to 98
  --yes           answer Yes to every question (replace an existing file) and
                  go on after the warning about a table file of more than 180
                  lines; without --yes every question is answered No and
                  write-table stops at that warning
  --quiet         no status texts and no progress bar
  --json          print the values, the table rows or the ports as one JSON
                  document on standard output
  --trace FILE    append every line sent and every reply received to FILE;
                  a line that cannot be written is reported once at the end
  --folder DIR    use DIR, an existing folder, as the program's folder
                  (settings file and COM<N> links), e.g. for tests or a
                  folder of simulated units
  -h, --help      show this text and end

Port, baud rate and unit ID not given come from the window's settings file,
"Quorvel Config Utility Data.txt" in the program's folder; the file is only
read, never written (without one: port 1, 9600 baud, unit 01).

Output on standard output, only when the operation succeeded:
  values   temperature12h=25
           tableTempUnit=F                  (C, F or R)
           pressureReductionConstant=29.92
  --json   {"temperature12h": "25", "tableTempUnit": "F",
            "pressureReductionConstant": "29.92"}
  rows     --json: [{"temperature": "20", "ratio": "1.0123"}, ...]; with
           --json and no FILE the table file is not printed
  ports    3<TAB>/dev/ttyUSB0<TAB>ttyUSB0 · FTDI FT232R USB UART · A50285BI
           7<TAB>/dev/pts/3<TAB>COM7 → /dev/pts/3; --json:
           [{"port": 3, "device": "/dev/ttyUSB0",
             "text": "ttyUSB0 · FTDI FT232R USB UART · A50285BI"}, ...]

Every message box goes to standard error as "Title: text", a question with
the answer given below it. The status texts go there too unless --quiet; on
a terminal a table transfer shows a progress bar with the lines done, the
lines in all and the time left, and the texts of each line sent and received
show inside it only (--trace keeps every line).

Trace lines: local date and time to the millisecond, the port, the event
(open, sent, recv, time-out, failure, close) and the text, with \r, \n and
\xHH for bytes outside printable ASCII.

Exit status:
  0  the operation ended with its success status text and showed no failure
  1  the link or the unit failed (no reply, another unit ID, a port error, a
     value read back that differs from the one sent)
  2  usage: a wrong command line, a port or baud rate the window's lists do
     not hold, a --device that is no serial device, a --folder that is no
     folder, or a value to write that fails its check; all found before
     anything is sent
  3  a file problem: a table file missing, unreadable or with a line that
     fails its check; a file not replaced (question answered No); a settings
     file that cannot be read; a trace file that cannot be opened (nothing
     is sent) or written (the operation runs as without a trace)

Every command first gives each serial device that no port number reaches
yet a COM<N> link in the program's folder, as the window does at start-up.
)";

namespace {

enum OptionId { Port = 1000, Device, Baud, Id, Yes, Quiet, Json, Trace, Folder, Temp, Unit, Constant, Help };

const option LongOptions[] = {
    {"port", required_argument, nullptr, Port},       {"device", required_argument, nullptr, Device},
    {"baud", required_argument, nullptr, Baud},       {"id", required_argument, nullptr, Id},
    {"yes", no_argument, nullptr, Yes},               {"quiet", no_argument, nullptr, Quiet},
    {"json", no_argument, nullptr, Json},             {"trace", required_argument, nullptr, Trace},
    {"folder", required_argument, nullptr, Folder},   {"temp", required_argument, nullptr, Temp},
    {"unit", required_argument, nullptr, Unit},       {"constant", required_argument, nullptr, Constant},
    {"help", no_argument, nullptr, Help},             {nullptr, 0, nullptr, 0},
};

// How many arguments each command takes: at least, at most.
const std::map<std::string, std::pair<size_t, size_t>> Commands = {
    {"ports", {0, 0}},       {"detect", {0, 0}}, {"read-values", {0, 0}}, {"write-values", {0, 0}},
    {"baro", {1, 1}},        {"read-table", {0, 1}}, {"write-table", {1, 1}},
};

}  // namespace

Options parseOptions(int argc, char** argv) {
    Options o;
    std::vector<std::string> positional;
    // getopt_long keeps its place in globals: start afresh, report nothing
    // itself, and take options wherever they stand.
    optind = 0;
    opterr = 0;
    for (;;) {
        const int previous = optind;
        const int c = getopt_long(argc, argv, "-:h", LongOptions, nullptr);
        if (c == -1) break;
        const std::string value = optarg ? optarg : "";
        switch (c) {
            case 1: positional.push_back(value); break;
            case Port: o.port = value; break;
            case Device: o.device = value; break;
            case Baud: o.baud = value; break;
            case Id: o.id = value; break;
            case Yes: o.yes = true; break;
            case Quiet: o.quiet = true; break;
            case Json: o.json = true; break;
            case Trace: o.trace = value; break;
            case Folder: o.folder = value; break;
            case Temp: o.temp = value; break;
            case Unit: o.unit = value; break;
            case Constant: o.constant = value; break;
            case 'h':
            case Help: o.help = true; break;
            case ':': throw Usage(std::string(argv[optind - 1]) + " needs a value");
            default: {
                const int at = optind > previous ? optind - 1 : previous;
                throw Usage("unknown option " + std::string(at < argc ? argv[at] : "?"));
            }
        }
    }
    for (int i = optind; i < argc; ++i) positional.emplace_back(argv[i]);
    if (o.help) return o;

    if (positional.empty()) throw Usage("no command given");
    o.command = positional.front();
    o.args.assign(positional.begin() + 1, positional.end());
    auto known = Commands.find(o.command);
    if (known == Commands.end()) throw Usage("unknown command \"" + o.command + "\"");
    const auto [least, most] = known->second;
    if (o.args.size() < least) throw Usage(o.command + " needs " + (o.command == "baro" ? "enable or disable" : "a FILE"));
    if (o.args.size() > most) throw Usage("too many arguments for " + o.command + ": \"" + o.args[most] + "\"");

    if (o.command == "baro" && o.args[0] != "enable" && o.args[0] != "disable")
        throw Usage("baro takes enable or disable, not \"" + o.args[0] + "\"");
    if (o.command != "write-values" && (o.temp || o.unit || o.constant))
        throw Usage("--temp, --unit and --constant go with write-values only");
    if (o.unit) {
        std::string u = *o.unit;
        if (u.size() != 1 || std::string("CFRcfr").find(u[0]) == std::string::npos)
            throw Usage("--unit takes C, F or R, not \"" + *o.unit + "\"");
        o.unit = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(u[0]))));
    }
    if (o.port && o.device) throw Usage("--port and --device exclude each other");
    if (o.device && o.device->empty()) throw Usage("--device needs a path");
    if (o.trace && o.trace->empty()) throw Usage("--trace needs a file name");
    if (o.folder && o.folder->empty()) throw Usage("--folder needs a folder");
    // The save takes no empty name; refused here rather than after the whole read.
    if (o.command == "read-table" && !o.args.empty() && o.args[0].empty())
        throw Usage("read-table needs a FILE name, not \"\"");
    return o;
}

}  // namespace qv::cli
