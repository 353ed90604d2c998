// The program: the window on Qt, the serial port on POSIX.
//
// With QUORVEL_EXIT_AFTER_SHOW set in the environment the program prints
// "shown <seconds>" once the window has been shown and painted for the first
// time, and ends: the seconds count from the start of the process.

#include <QApplication>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

#include "app/program.h"

namespace {

// Seconds since the process started: its start time in /proc/self/stat
// (field 22, clock ticks since boot) against the boot-time clock. Falls back
// to the time since main() was entered when that cannot be read.
class StartupTimer {
public:
    StartupTimer() : entered_(std::chrono::steady_clock::now()) {
        std::ifstream stat("/proc/self/stat");
        std::string line;
        if (!std::getline(stat, line)) return;
        // The command name (field 2) is in parentheses and may hold blanks.
        auto close = line.rfind(')');
        if (close == std::string::npos) return;
        std::istringstream rest(line.substr(close + 1));
        std::string field;
        unsigned long long startTicks = 0;
        for (int index = 3; rest >> field; ++index) {
            if (index == 22) {
                startTicks = std::strtoull(field.c_str(), nullptr, 10);
                break;
            }
        }
        long ticksPerSecond = sysconf(_SC_CLK_TCK);
        timespec boot{};
        if (startTicks == 0 || ticksPerSecond <= 0 || clock_gettime(CLOCK_BOOTTIME, &boot) != 0) return;
        double now = static_cast<double>(boot.tv_sec) + static_cast<double>(boot.tv_nsec) / 1e9;
        offset_ = now - static_cast<double>(startTicks) / static_cast<double>(ticksPerSecond);
        if (offset_ < 0) offset_ = 0;
    }

    double seconds() const {
        std::chrono::duration<double> since = std::chrono::steady_clock::now() - entered_;
        return offset_ + since.count();
    }

private:
    std::chrono::steady_clock::time_point entered_;
    double offset_ = 0;  // process age when main() was entered
};

}  // namespace

int main(int argc, char** argv) {
    StartupTimer startup;
    QApplication app(argc, argv);
    // Qt sets the locale from the environment too. Numbers are read and
    // written with "." as their decimal point whatever that locale is.
    std::setlocale(LC_ALL, "");

    qv::Program program;
    qv::MainWindow& window = program.window;
    if (!program.form.Form_Load()) return 1;
    program.closeOnTerminationSignals();

    const bool exitAfterShow = std::getenv("QUORVEL_EXIT_AFTER_SHOW") != nullptr;
    if (exitAfterShow) {
        QObject::connect(
            &window, &qv::MainWindow::firstPainted, &app,
            [&] {
                std::ostringstream out;
                out.imbue(std::locale::classic());
                out << "shown " << std::fixed << std::setprecision(3) << startup.seconds() << '\n';
                std::cout << out.str() << std::flush;
                // Leave the event loop without closing the window, so a
                // measurement run skips the shutdown step and leaves the
                // settings file as it was.
                QCoreApplication::exit(0);
            },
            Qt::QueuedConnection);
    }

    window.centreOnScreen();
    window.show();
    return app.exec();
}
