// unit-simulator: a simulated barometer on a pseudo terminal, linked as
// COM<N> in a folder, for trying the program without the instrument.
//
// The first line on standard output is "port N" (the port number taken),
// the second "device PATH" (the pty slave); both are flushed at once. The
// program then serves the unit until SIGINT or SIGTERM and removes the COM
// link it made on the way out, while that still leads to its pty.
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/program_folder.h"
#ifdef QUORVEL_SIM_SERIAL_DEVICES
#include "platform/qt/qt_serial_devices.h"
#endif
#include "sim/pty_unit.h"

namespace {

const char* const Usage = R"(Usage: unit-simulator [options]

Serves a simulated unit on a pseudo terminal linked as DIR/COM<N>.
Prints "port N" and "device PATH" on its first two lines, then runs until
SIGINT or SIGTERM, removing the link on exit.

Options:
  --folder DIR        folder for the COM<N> link (default: the window's own
                      folder: this program's folder when you may create files
                      in it, else ~/.config/quorvel-config)
  --port N            port number to take (default: the lowest number the
                      window finds free: no COM<N> there, and no real port
                      /dev/ttyS<N-1>); an existing COM<N> is never replaced
  --id ID             unit ID, two characters (default 01)
  --kind C            kind letter of the VR reply: P, M or X (default P)
  --version TEXT      version text of the VR reply (default 1.1.0)
  --baud B            the unit's baud rate (default 9600)
  --jh V, --jp V, --jc V, --pb V
                      stored configuration values (default 25, 1, 29.92, 1)
  --table FILE        load the table from a table file (header lines start with *)
  --empty-table       start with no table lines
  --delay SEC         seconds before each reply (default 0)
  --slow MNEMONIC SEC delay only the replies to that command (e.g. JH) by SEC
                      seconds more; later replies still wait behind them
  --no-pace           answer at once instead of at the line speed
Faults:
  --silent            never answer
  --silent-after N    answer N commands, then fall silent
  --answer-as-id ID   put ID instead of "00" in positions 2-3 of every reply
  --pieces N          send each reply in N pieces, 50 ms apart
  --garble            corrupt the value text of every reply
  --short             answer every command with "*00" + ID + CR LF only
  --echo VALUE        echo VALUE in reply to every write
  --hangup-after N    hang up the line when a command arrives after N answers
  --help              show this text
)";

// The window's own folder, found as the window finds it, so an installed
// simulator links where an installed window looks.
std::string programFolder() {
    qv::ProgramFolder folder = qv::findProgramFolder();
    return folder.path.empty() ? std::string(".") : folder.path;
}

// The serial devices present, as the window finds them, so that the number
// taken is one the window's Port list shows free.
std::vector<qv::SerialDevice> serialDevices() {
#ifdef QUORVEL_SIM_SERIAL_DEVICES
    return qv::QtSerialDeviceCatalog().devices();
#else
    return qv::noSerialDevices().devices();
#endif
}

int number(const std::string& option, const std::string& text) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end) {
        std::cerr << "unit-simulator: " << option << " needs a whole number, not \"" << text << "\"\n";
        std::exit(2);
    }
    return static_cast<int>(v);
}

}  // namespace

int main(int argc, char** argv) {
    qv::sim::UnitConfig cfg = qv::sim::defaultConfig();
    std::string folder = programFolder();
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "unit-simulator: " << a << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::cout << Usage;
            return 0;
        } else if (a == "--folder") folder = value();
        else if (a == "--port") port = number(a, value());
        else if (a == "--id") cfg.id = value();
        else if (a == "--kind") {
            std::string k = value();
            cfg.kind = k.empty() ? 'P' : k[0];
        } else if (a == "--version") cfg.version = value();
        else if (a == "--baud") cfg.baud = number(a, value());
        else if (a == "--jh") cfg.jh = value();
        else if (a == "--jp") cfg.jp = value();
        else if (a == "--jc") cfg.jc = value();
        else if (a == "--pb") cfg.pb = value();
        else if (a == "--table") {
            try {
                cfg.table = qv::sim::loadTableFile(value());
            } catch (const std::exception& e) {
                std::cerr << "unit-simulator: " << e.what() << "\n";
                return 2;
            }
        } else if (a == "--empty-table") cfg.table.clear();
        else if (a == "--delay") cfg.faults.replyDelay = std::atof(value().c_str());
        else if (a == "--slow") {
            cfg.faults.slowMnemonic = value();
            cfg.faults.slowDelay = std::atof(value().c_str());
        } else if (a == "--no-pace") cfg.paced = false;
        else if (a == "--silent") cfg.faults.silent = true;
        else if (a == "--silent-after") cfg.faults.silentAfter = number(a, value());
        else if (a == "--answer-as-id") cfg.faults.answerAsId = value();
        else if (a == "--pieces") cfg.faults.pieces = number(a, value());
        else if (a == "--garble") cfg.faults.garble = true;
        else if (a == "--short") cfg.faults.shortReply = true;
        else if (a == "--echo") cfg.faults.echoOverride = value();
        else if (a == "--hangup-after") cfg.faults.hangupAfter = number(a, value());
        else {
            std::cerr << "unit-simulator: unknown option " << a << " (see --help)\n";
            return 2;
        }
    }

    // Block the stop signals before the unit's thread starts, so that only
    // sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        qv::sim::PtyUnit unit(folder, cfg, port, serialDevices());
        std::cout << "port " << unit.port() << "\n"
                  << "device " << unit.slavePath() << "\n"
                  << std::flush;
        int sig = 0;
        sigwait(&stopSignals, &sig);
    } catch (const std::exception& e) {
        std::cerr << "unit-simulator: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
