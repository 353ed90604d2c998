// quorvel-bench: how fast the window's operations run against the simulated
// unit at the line's real speed, and how long the real window takes to show.
//
// The unit runs on a pseudo terminal, paced at 10 bits per character at the
// line's baud rate, with no reply delay. The operations run through MainForm
// on the headless backend, by pressing the buttons as a user would. For each
// operation it prints the wire time (every character that crossed the port,
// counted by a decorator around the serial port, times 10 bits over the baud
// rate), the elapsed time and their ratio, the CPU time of the program's own
// thread over the elapsed time, and the longest time the window went without
// an event pass. The simulated unit runs as a second thread of this process;
// getrusage(RUSAGE_THREAD) on the window's thread leaves its CPU time out (it
// is shown apart, as "sim cpu").
//
// It also times "Show" of long table files in the real window (Qt, offscreen
// platform): every line of the file appended to the list, one event pass per
// line, as the handler does.
//
//   quorvel-bench            full run (a few minutes), 9600 and 115200 baud
//   quorvel-bench --quick    smoke run: 5 lines, one run, 115200 only, "Show" of
//                            500 lines
//
// The figures are printed beside their targets; the exit status is 0 unless
// an operation failed to complete (targets never change it). A smoke run
// prints its figures but judges no target.
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/main_form.h"
#include "bench/counting_port.h"
#include "platform/headless/headless_toolkit.h"
#include "platform/posix/posix_serial_port.h"
#include "sim/pty_unit.h"

#ifdef QUORVEL_BENCH_QT
#include <QApplication>
#include <QListWidget>

#include "app/program.h"
#endif

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace qv::bench {

namespace {

// ---- Targets ----------------------------------------------------------------
constexpr double RatioTarget9600 = 1.03;
constexpr double RatioTargetFast = 1.10;
constexpr double CpuTargetPercent = 2.0;
constexpr double GapTargetMs = 15.0;
constexpr int TimeoutSec = 2;
// "Show" of a file of this many lines in the real window, in seconds.
constexpr int ShowTargetLines = 10000;
constexpr double ShowTargetSec = 1.0;

struct Options {
    bool quick = false;
    int runs = 3;
    int lines = 180;
    std::vector<int> bauds;
    int startupRuns = 5;
    std::string program;  // the real window's program; default: beside this one
    std::vector<int> showLines;  // file sizes for "Show" in the real window
};

double seconds(Steady::duration d) { return std::chrono::duration<double>(d).count(); }

double tv(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

double cpuOf(int who) {
    rusage r{};
    ::getrusage(who, &r);
    return tv(r.ru_utime) + tv(r.ru_stime);
}

std::string exeFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "quorvel-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// ---- One timed run ------------------------------------------------------------

struct Sample {
    double wire = 0;     // s
    double elapsed = 0;  // s
    double cpu = 0;      // s, the window's thread
    double simCpu = 0;   // s, every other thread of the process (the unit)
    double maxGap = 0;   // s between two event passes (or the ends of the run)
    double gapEnd = 0;   // s from the start of the run to the end of that gap
    long gapPass = 0;    // the pass that ended it (0: none, passes + 1: the end)
    long passes = 0;
    std::uint64_t written = 0, read = 0, waits = 0, reads = 0;
    bool ok = false;
    std::string failure;
};

enum class Op { Detect, GetTable, SaveTable, Timeout };

const char* opName(Op op) {
    switch (op) {
        case Op::Detect: return "Detect Unit";
        case Op::GetTable: return "Get Table from Unit";
        case Op::SaveTable: return "Save Table to Unit";
        case Op::Timeout: return "SendReceive time-out";
    }
    return "?";
}

// A table line as a table file holds it: temperature, blank, ratio.
sim::TableLine tableLine(int i) {
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.4f", 0.9500 + 0.0007 * i);
    return {std::to_string(-59 + i), ratio};
}

// Everything that one baud rate needs: the simulated unit, the window on the
// headless backend behind a counting port, and a table file.
class Bench {
public:
    Bench(int baud, int lines) : baud_(baud), lines_(lines), form_(platform_) {
        sim::UnitConfig cfg = sim::defaultConfig();
        cfg.baud = baud;
        cfg.paced = true;
        cfg.faults = sim::Faults{};  // no reply delay, no faults
        cfg.table.clear();
        for (int i = 0; i < lines; ++i) cfg.table.push_back(tableLine(i));
        unit_ = std::make_unique<sim::PtyUnit>(folder_.path(), cfg);

        if (!form_.Form_Load()) throw std::runtime_error("Form_Load failed");
        form_.Combo1.setText(std::to_string(unit_->port()));
        form_.Combo2.setText(std::to_string(baud));
        form_.Combo3.setText(cfg.id);

        tableFile_ = folder_.path() + "/bench table.txt";
        std::ofstream out(tableFile_, std::ios::binary);
        out << "*\r\n* Benchmark table\r\n*\r\n";
        for (int i = 0; i < lines; ++i) out << tableLine(i).first << ' ' << tableLine(i).second << "\r\n";
        if (!out) throw std::runtime_error("cannot write " + tableFile_);
    }

    int baud() const { return baud_; }

    Sample run(Op op) {
        // Let the unit settle after the last run (nothing of it left on the line).
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        std::string prepared = prepare(op);
        if (!prepared.empty()) {
            Sample s;
            s.failure = prepared;
            return s;
        }

        Sample s;
        std::size_t boxesBefore = ui_.boxes.size();
        port_.reset();
        Steady::time_point last;
        Steady::duration gap{};
        Steady::time_point gapEnd{};
        long passes = 0, gapPass = 0;
        ui_.onEvents = [&] {
            auto now = Steady::now();
            ++passes;
            if (now - last > gap) {
                gap = now - last;
                gapEnd = now;
                gapPass = passes;
            }
            last = now;
        };
        const double cpu0 = cpuOf(RUSAGE_THREAD);
        const double all0 = cpuOf(RUSAGE_SELF);
        const auto t0 = Steady::now();
        last = t0;
        std::string failure = perform(op);
        const auto t1 = Steady::now();
        const double cpu1 = cpuOf(RUSAGE_THREAD);
        const double all1 = cpuOf(RUSAGE_SELF);
        ui_.onEvents = nullptr;
        if (t1 - last > gap) {
            gap = t1 - last;
            gapEnd = t1;
            gapPass = passes + 1;
        }

        s.elapsed = seconds(t1 - t0);
        s.cpu = cpu1 - cpu0;
        s.simCpu = std::max(0.0, (all1 - all0) - s.cpu);
        s.maxGap = seconds(gap);
        s.gapEnd = seconds(gapEnd - t0);
        s.gapPass = gapPass;
        s.passes = passes;
        s.written = port_.written;
        s.read = port_.read;
        s.waits = port_.waits;
        s.reads = port_.reads;
        s.wire = 10.0 * static_cast<double>(port_.written + port_.read) / baud_;
        if (failure.empty()) failure = check(op, boxesBefore, s);
        s.ok = failure.empty();
        s.failure = failure;
        if (op == Op::Timeout) finishTimeout();
        return s;
    }

private:
    // Brings the window into the state the operation starts from; returns a
    // failure text or "".
    std::string prepare(Op op) {
        switch (op) {
            case Op::Detect: return "";
            case Op::GetTable: return "";
            case Op::SaveTable:
                // Load the table file into List1 (not timed), as a user would
                // before "Save Table to Unit".
                form_.Text1.setText(tableFile_);
                if (!form_.Command10.press()) return "\"Get Table  from PC File\" cannot be pressed";
                if (form_.List1.listCount() != lines_)
                    return "the table file loaded " + std::to_string(form_.List1.listCount()) + " rows, not " +
                           std::to_string(lines_);
                return "";
            case Op::Timeout:
                unit_->withModel([](sim::UnitModel& m) { m.config().faults.silent = true; });
                try {
                    form_.MSComm1.setPortNumber(unit_->port());
                    form_.MSComm1.setSettings(std::to_string(baud_) + ",N,8,1");
                    form_.MSComm1.open();
                } catch (const SerialError& e) {
                    return std::string("cannot open the port: ") + e.what();
                }
                return "";
        }
        return "";
    }

    std::string perform(Op op) {
        try {
            switch (op) {
                case Op::Detect:
                    if (!form_.cmdDetectZov.press()) return "\"Detect Unit\" cannot be pressed";
                    break;
                case Op::GetTable:
                    if (!form_.Command4.press()) return "\"Get Table from Unit\" cannot be pressed";
                    break;
                case Op::SaveTable:
                    if (!form_.Command1.press()) return "\"Save Table to Unit\" cannot be pressed";
                    break;
                case Op::Timeout: form_.SendReceive("*" + form_.Combo3.text() + "00VR", TimeoutSec); break;
            }
        } catch (const std::exception& e) {
            return std::string("exception: ") + e.what();
        }
        return "";
    }

    void finishTimeout() {
        form_.MSComm1.close();
        unit_->withModel([](sim::UnitModel& m) { m.config().faults.silent = false; });
    }

    std::string boxesSince(std::size_t from) const {
        std::string out;
        for (std::size_t i = from; i < ui_.boxes.size(); ++i) out += " [box \"" + ui_.boxes[i].text + "\"]";
        return out;
    }

    // Whether the operation really did its work; a failure text or "".
    std::string check(Op op, std::size_t boxesBefore, const Sample& s) {
        const std::string& status = form_.Label2.caption();
        std::size_t newBoxes = ui_.boxes.size() - boxesBefore;
        switch (op) {
            case Op::Detect:
                if (status != "Unit detected!" || newBoxes != 0)
                    return "detection failed: status \"" + status + "\"" + boxesSince(boxesBefore);
                return "";
            case Op::GetTable:
                if (status != "Table transferred successfully from unit." || newBoxes != 1 ||
                    ui_.boxes.back().title != "Information" || form_.List2.listCount() != lines_)
                    return "read failed: status \"" + status + "\", " + std::to_string(form_.List2.listCount()) +
                           " rows" + boxesSince(boxesBefore);
                return "";
            case Op::SaveTable: {
                std::size_t stored = 0;
                unit_->withModel([&](sim::UnitModel& m) { stored = m.config().table.size(); });
                if (status != "Table successfully transferred to unit..." || newBoxes != 1 ||
                    ui_.boxes.back().title != "Information" || stored != static_cast<std::size_t>(lines_))
                    return "write failed: status \"" + status + "\", unit holds " + std::to_string(stored) +
                           " lines" + boxesSince(boxesBefore);
                return "";
            }
            case Op::Timeout:
                if (!form_.ReplyBuffer.empty()) return "the silent unit answered";
                if (s.elapsed < TimeoutSec) return "returned before the time limit";
                return "";
        }
        return "";
    }

    int baud_;
    int lines_;
    TempFolder folder_;
    HeadlessToolkit ui_{folder_.path()};
    PosixSerialPort posix_{folder_.path()};
    CountingPort port_{posix_};
    SystemClock clock_;
    FileSystem files_;
    Platform platform_{ui_, port_, clock_, files_};
    MainForm form_;
    std::unique_ptr<sim::PtyUnit> unit_;
    std::string tableFile_;
};

// ---- Figures --------------------------------------------------------------------

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double worst(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

struct Tally {
    bool judged = true;  // false in a smoke run: figures only
    int met = 0;
    int checked = 0;
    bool failed = false;  // an operation did not complete
    bool check(bool ok) {
        ++checked;
        met += ok ? 1 : 0;
        return ok;
    }
    // The verdict column of a row: "ok", "MISSED: ..." or, in a smoke run,
    // nothing judged.
    std::string verdict(const std::string& misses) const {
        if (!judged) return "not judged";
        return misses.empty() ? "ok" : "MISSED:" + misses;
    }
};

void printHeader() {
    std::printf("%-21s %6s %5s %4s %8s %17s %15s %7s %13s %6s %13s %6s  %s\n", "operation", "baud", "lines", "runs",
                "wire s", "elapsed s med/max", "ratio med/max", "target", "cpu % med/max", "target", "gap ms med/max",
                "target", "");
}

void printRow(Op op, int baud, int lines, const std::vector<Sample>& samples, Tally& tally) {
    std::vector<double> wire, elapsed, ratio, cpu, gap, sim;
    std::string failure;
    for (const Sample& s : samples) {
        if (!s.ok) {
            failure = s.failure;
            continue;
        }
        wire.push_back(s.wire);
        elapsed.push_back(s.elapsed);
        ratio.push_back(s.wire > 0 ? s.elapsed / s.wire : 0);
        cpu.push_back(100.0 * s.cpu / s.elapsed);
        gap.push_back(1000.0 * s.maxGap);
        sim.push_back(100.0 * s.simCpu / s.elapsed);
    }
    const bool timeout = op == Op::Timeout;
    int shownLines = (op == Op::GetTable || op == Op::SaveTable) ? lines : 0;
    if (elapsed.empty()) {
        tally.failed = true;
        std::printf("%-21s %6d %5d %4zu  FAILED: %s\n", opName(op), baud, shownLines, samples.size(), failure.c_str());
        return;
    }
    std::string misses;
    char ratioText[32], targetText[16];
    if (timeout) {
        // The wire-time ratio does not apply: the wait should end one pass
        // after the limit.
        const double limit = TimeoutSec + GapTargetMs / 1000.0;
        bool ok = tally.check(worst(elapsed) <= limit);
        std::snprintf(ratioText, sizeof ratioText, "%15s", "n/a");
        std::snprintf(targetText, sizeof targetText, "<=%.3fs", limit);
        if (!ok) misses += " elapsed";
    } else {
        const double target = baud <= 9600 ? RatioTarget9600 : RatioTargetFast;
        bool ok = tally.check(worst(ratio) <= target);
        std::snprintf(ratioText, sizeof ratioText, "%7.3f/%7.3f", median(ratio), worst(ratio));
        std::snprintf(targetText, sizeof targetText, "<=%.2f", target);
        if (!ok) misses += " ratio";
    }
    // The CPU target is set for the table transfers and the time-out; a
    // detection lasts a few exchanges, where opening the port dominates.
    const bool cpuTargeted = op != Op::Detect;
    if (cpuTargeted && !tally.check(worst(cpu) <= CpuTargetPercent)) misses += " cpu";
    if (!tally.check(worst(gap) <= GapTargetMs)) misses += " gap";
    char elapsedText[32], cpuText[32], gapText[32];
    std::snprintf(elapsedText, sizeof elapsedText, "%8.3f/%8.3f", median(elapsed), worst(elapsed));
    std::snprintf(cpuText, sizeof cpuText, "%6.2f/%6.2f", median(cpu), worst(cpu));
    std::snprintf(gapText, sizeof gapText, "%6.2f/%6.2f", median(gap), worst(gap));
    std::printf("%-21s %6d %5d %4zu %8.3f %17s %15s %7s %13s %6s %13s %6s  %s\n", opName(op), baud, shownLines,
                elapsed.size(), median(wire), elapsedText, ratioText, targetText, cpuText, cpuTargeted ? "<=2" : "n/a", gapText, "<=15",
                tally.verdict(misses).c_str());
    if (!failure.empty()) {
        tally.failed = true;
        std::printf("%-21s   (a run FAILED: %s)\n", "", failure.c_str());
    }
}

// Per-run detail: what the figures are made of.
void printDetail(Op op, int baud, const std::vector<Sample>& samples) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        if (!s.ok) continue;
        std::printf("  %-21s %6d run %zu: out %6llu ch, in %6llu ch, wire %.4f s, elapsed %.4f s, cpu %.4f s, "
                    "sim cpu %.4f s (%.2f %%), %ld event passes, %llu waits, max gap %.2f ms ending at %.4f s "
                    "(pass %ld)\n",
                    opName(op), baud, i + 1, static_cast<unsigned long long>(s.written),
                    static_cast<unsigned long long>(s.read), s.wire, s.elapsed, s.cpu, s.simCpu,
                    100.0 * s.simCpu / s.elapsed, s.passes, static_cast<unsigned long long>(s.waits),
                    1000.0 * s.maxGap, s.gapEnd, s.gapPass);
    }
}

// ---- Start-up of the real window -----------------------------------------------

// Runs the real window once, offscreen, in a copy of its program folder, and
// returns the "shown <seconds>" figure (and the process's whole run time).
std::optional<std::pair<double, double>> startOnce(const std::string& folder, std::string& error) {
    std::string cmd = "cd '" + folder +
                      "' && QT_QPA_PLATFORM=offscreen QUORVEL_EXIT_AFTER_SHOW=1 ./quorvel-config 2>&1";
    auto t0 = Steady::now();
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) {
        error = "popen failed";
        return std::nullopt;
    }
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    int status = ::pclose(p);
    double whole = seconds(Steady::now() - t0);
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("shown ", 0) == 0) {
            std::istringstream value(line.substr(6));
            value.imbue(std::locale::classic());
            double s = 0;
            if (value >> s) return std::make_pair(s, whole);
        }
    }
    error = "no \"shown\" line (exit status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
            "): " + out.substr(0, 300);
    return std::nullopt;
}

bool startupFigures(const Options& opt) {
    std::printf("\nStart-up of the real window (Qt, offscreen platform), time to the first paint:\n");
    std::string program = opt.program.empty() ? exeFolder() + "/quorvel-config" : opt.program;
    if (!fs::exists(program)) {
        std::printf("  skipped: %s not found\n", program.c_str());
        return true;
    }
    TempFolder copy;
    std::error_code ec;
    fs::copy_file(program, copy.path() + "/quorvel-config", ec);
    if (ec) {
        std::printf("  FAILED: cannot copy %s: %s\n", program.c_str(), ec.message().c_str());
        return false;
    }
    // The settings file as the program would find it, so the start reads one.
    fs::path settings = fs::path(program).parent_path() / SettingsFileName;
    if (fs::exists(settings)) fs::copy_file(settings, fs::path(copy.path()) / SettingsFileName, ec);

    std::string error;
    // One start first, not counted: it creates the settings file when there
    // was none and brings the program into the page cache.
    if (!startOnce(copy.path(), error)) {
        std::printf("  FAILED: %s\n", error.c_str());
        return false;
    }
    std::vector<double> shown, whole;
    for (int i = 0; i < opt.startupRuns; ++i) {
        auto r = startOnce(copy.path(), error);
        if (!r) {
            std::printf("  FAILED: %s\n", error.c_str());
            return false;
        }
        shown.push_back(r->first);
        whole.push_back(r->second);
    }
    std::printf("  %d runs after one warm-up start: shown median %.3f s, worst %.3f s "
                "(whole process, start to exit: median %.3f s, worst %.3f s); no target\n",
                opt.startupRuns, median(shown), worst(shown), median(whole), worst(whole));
    return true;
}

// ---- "Show" of a long table file in the real window -----------------------------

#ifdef QUORVEL_BENCH_QT

// Writes a table file of `lines` lines (three header lines, the rest table
// lines), opens the real window on it and presses "Show"; returns the seconds
// the press took, or nothing with `error` set.
std::optional<double> showOnce(int lines, std::string& error) {
    TempFolder folder;
    const std::string file = folder.path() + "/long table.txt";
    {
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < lines; ++i) {
            if (i < 3)
                out << (i == 1 ? "* Benchmark table" : "*") << "\r\n";
            else
                out << tableLine(i % 900).first << ' ' << tableLine(i % 900).second << "\r\n";
        }
        if (!out) {
            error = "cannot write " + file;
            return std::nullopt;
        }
    }
    Program program(folder.path());
    MainForm& form = program.form;
    program.window.show();
    QCoreApplication::processEvents();
    form.EnableFrames();
    form.TableFileName = file;

    const auto t0 = Steady::now();
    const bool pressed = form.Option2_0.press();
    const double elapsed = seconds(Steady::now() - t0);

    auto* list = qobject_cast<QListWidget*>(program.window.widgetFor(form.List1));
    const int shown = list ? list->count() : -1;
    if (!pressed) error = "\"Show\" cannot be pressed";
    else if (form.List1.listCount() != lines || shown != lines)
        error = "the list holds " + std::to_string(form.List1.listCount()) + " rows and the window shows " +
                std::to_string(shown) + ", not " + std::to_string(lines);
    if (!error.empty()) return std::nullopt;
    return elapsed;
}

void showFigures(const Options& opt, Tally& tally) {
    // The figure is defined on the offscreen platform, whatever the desktop.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "quorvel-bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    std::printf("\n\"Show\" of a table file in the real window (Qt, offscreen platform), one run each:\n");
    for (int lines : opt.showLines) {
        std::string error;
        std::optional<double> elapsed = showOnce(lines, error);
        if (!elapsed) {
            tally.failed = true;
            std::printf("  %6d lines  FAILED: %s\n", lines, error.c_str());
            continue;
        }
        const double perLine = 1e6 * *elapsed / lines;
        if (lines == ShowTargetLines) {
            const bool ok = tally.check(*elapsed <= ShowTargetSec);
            std::printf("  %6d lines  %8.3f s  (%6.1f us a line)  target <=%.3f s  %s\n", lines, *elapsed, perLine,
                        ShowTargetSec, tally.verdict(ok ? "" : " elapsed").c_str());
        } else {
            std::printf("  %6d lines  %8.3f s  (%6.1f us a line)  no target\n", lines, *elapsed, perLine);
        }
    }
}

#else

void showFigures(const Options&, Tally&) {
    std::printf("\n\"Show\" in the real window: skipped, built without Qt\n");
}

#endif

// ---- Main ------------------------------------------------------------------------

int usage(const char* why) {
    if (why) std::fprintf(stderr, "quorvel-bench: %s\n", why);
    std::fprintf(stderr,
                 "Usage: quorvel-bench [--quick] [--runs N] [--lines N] [--baud B]... [--startup-runs N] "
                 "[--program PATH] [--show-lines N]...\n"
                 "  --quick           smoke run: 5 lines, one run, 115200 baud, one start-up run, \"Show\"\n"
                 "                    of 500 lines; no target judged\n"
                 "  --runs N          runs of each operation (default 3)\n"
                 "  --lines N         table lines (default 180)\n"
                 "  --baud B          a baud rate to measure (repeatable; default 9600 and 115200)\n"
                 "  --startup-runs N  start-up runs of the real window (default 5; 0 skips them)\n"
                 "  --program PATH    the real window's program (default: quorvel-config beside this one)\n"
                 "  --show-lines N    a file size for \"Show\" in the real window (repeatable; default 2000,\n"
                 "                    4000 and 10000, the target's size; 0 skips them)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> int {
            if (i + 1 >= argc) std::exit(usage((a + " needs a value").c_str()));
            return std::atoi(argv[++i]);
        };
        if (a == "--quick") {
            opt.quick = true;
        } else if (a == "--runs") {
            opt.runs = std::max(1, value());
        } else if (a == "--lines") {
            opt.lines = std::clamp(value(), 1, 999);
        } else if (a == "--baud") {
            opt.bauds.push_back(value());
        } else if (a == "--startup-runs") {
            opt.startupRuns = std::max(0, value());
        } else if (a == "--show-lines") {
            opt.showLines.push_back(std::clamp(value(), 0, 1000000));
        } else if (a == "--program") {
            if (i + 1 >= argc) return usage("--program needs a value");
            opt.program = argv[++i];
        } else if (a == "--help" || a == "-h") {
            usage(nullptr);
            return 0;
        } else {
            return usage(("unknown option " + a).c_str());
        }
    }
    if (opt.quick) {
        opt.runs = 1;
        opt.lines = 5;
        if (opt.bauds.empty()) opt.bauds = {115200};
        opt.startupRuns = std::min(opt.startupRuns, 1);
        if (opt.showLines.empty()) opt.showLines = {500};
    }
    if (opt.bauds.empty()) opt.bauds = {9600, 115200};
    if (opt.showLines.empty()) opt.showLines = {2000, 4000, ShowTargetLines};
    std::erase(opt.showLines, 0);

    std::printf("quorvel-bench%s: simulated unit on a pseudo terminal, paced at 10 bits per character, no reply "
                "delay; %d table lines; %d run(s) each; %u CPU core(s)\n",
                opt.quick ? " --quick (smoke run, figures not meaningful)" : "", opt.lines, opt.runs,
                std::thread::hardware_concurrency());
    std::printf("wire = characters written + read through the port x 10 bits / baud; cpu = getrusage(RUSAGE_THREAD) "
                "of the window's thread / elapsed (the unit's thread left out); gap = longest time between two "
                "event passes, the start and end of the operation included\n\n");

    struct Row {
        Op op;
        int baud;
        std::vector<Sample> samples;
    };
    std::vector<Row> rows;
    Tally tally;
    tally.judged = !opt.quick;
    try {
        for (int baud : opt.bauds) {
            Bench bench(baud, opt.lines);
            for (Op op : {Op::Detect, Op::GetTable, Op::SaveTable, Op::Timeout}) {
                Row row{op, baud, {}};
                for (int r = 0; r < opt.runs; ++r) {
                    row.samples.push_back(bench.run(op));
                    std::fprintf(stderr, "  %s at %d baud, run %d: %s\n", opName(op), baud, r + 1,
                                 row.samples.back().ok ? "done" : row.samples.back().failure.c_str());
                }
                rows.push_back(std::move(row));
            }
        }
    } catch (const std::exception& e) {
        std::printf("FAILED to set up: %s\n", e.what());
        return 1;
    }

    printHeader();
    for (const Row& row : rows) printRow(row.op, row.baud, opt.lines, row.samples, tally);
    std::printf("\nPer run:\n");
    for (const Row& row : rows) printDetail(row.op, row.baud, row.samples);

    bool startupOk = opt.startupRuns == 0 || startupFigures(opt);
    if (!opt.showLines.empty()) showFigures(opt, tally);

    if (tally.judged)
        std::printf("\ntargets met: %d of %d\n", tally.met, tally.checked);
    else
        std::printf("\nsmoke run: targets not judged\n");
    return (tally.failed || !startupOk) ? 1 : 0;
}

}  // namespace qv::bench

int main(int argc, char** argv) { return qv::bench::main(argc, argv); }
