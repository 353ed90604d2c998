#include "platform/console/console_toolkit.h"

#include "platform/console/terminal.h"
#include "platform/program_folder.h"

#include <cstdio>
#include <ostream>
#include <utility>

namespace qv {

namespace {

constexpr int BarCells = 20;

// A status text on one line: its line ends (a reply shown keeps its CR LF)
// and other control characters become blanks.
std::string oneLine(const std::string& text) {
    std::string out;
    for (char c : text) out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string minutesAndSeconds(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:%02ld", whole / 60, whole % 60);
    return buf;
}

}  // namespace

ConsoleToolkit::ConsoleToolkit(Settings settings, std::ostream& out, bool terminal)
    : settings_(std::move(settings)), out_(out), terminal_(terminal) {}

// The watched controls may be gone by now: only the terminal is touched.
ConsoleToolkit::~ConsoleToolkit() { eraseBar(); }

// The window's own folder rule (beside the executable, or the per-user folder
// of an installed copy), so the command line reads the window's settings.
std::string ConsoleToolkit::programFolder() {
    if (settings_.programFolder.empty()) settings_.programFolder = findProgramFolder().path;
    return settings_.programFolder;
}

// Table files are named on the command line; a dialog never opens.
std::string ConsoleToolkit::tableFolder() { return programFolder(); }

Answer ConsoleToolkit::messageBox(const std::string& text, const std::string& title, Buttons buttons, Icon icon,
                                  Answer /*defaultAnswer*/) {
    Answer answer = Answer::OK;
    std::string shown = title + ": " + text;
    if (shown.empty() || shown.back() != '\n') shown += '\n';
    if (buttons == Buttons::YesNo) {
        answer = settings_.answerYes ? Answer::Yes : Answer::No;
        shown += answer == Answer::Yes ? "  -> Yes\n" : "  -> No\n";
    }
    writeLines(shown);
    boxes_.push_back({text, title, buttons, icon, answer});
    return answer;
}

FileDialogResult ConsoleToolkit::answerDialog(const FileDialogSettings& settings) {
    if (dialogAnswer_.empty()) return {false, settings.fileName, settings.filterIndex};
    FileDialogResult result{true, std::move(dialogAnswer_), 1};
    dialogAnswer_.clear();
    return result;
}

FileDialogResult ConsoleToolkit::openDialog(const FileDialogSettings& settings) { return answerDialog(settings); }
FileDialogResult ConsoleToolkit::saveDialog(const FileDialogSettings& settings) { return answerDialog(settings); }

void ConsoleToolkit::watch(Label& status, ProgressBar& progress,
                           std::function<bool(const std::string&)> perLineText) {
    status_ = &status;
    progress_ = &progress;
    perLineText_ = std::move(perLineText);
    status.setObserver(this);
    progress.setObserver(this);
}

void ConsoleToolkit::controlChanged(Control& control) {
    if (settings_.quiet) return;
    if (&control == progress_) {
        const bool running = terminal_ && progress_->value() > 0;
        if (running && !barShown_) {
            barStart_ = std::chrono::steady_clock::now();
            barStartValue_ = progress_->value();
        }
        if (running)
            drawBar();
        else
            eraseBar();
        return;
    }
    if (&control != status_) return;
    const std::string& text = status_->caption();
    if (!text.empty() && !(perLineText_ && perLineText_(text)))
        writeLines(oneLine(text) + "\n");
    else if (barShown_)
        drawBar();
}

void ConsoleToolkit::writeLines(const std::string& text) {
    const bool redraw = barShown_;
    eraseBar();
    out_ << text << std::flush;
    if (redraw) drawBar();
}

void ConsoleToolkit::eraseBar() {
    if (!barShown_) return;
    out_ << "\r\x1b[K" << std::flush;
    barShown_ = false;
}

// "[#####---------------] 12/180 lines  0:23 left  Sending: *0100JT012",
// cut to the terminal's width so that it never wraps.
void ConsoleToolkit::drawBar() {
    const int max = progress_->max();
    const int value = progress_->value();
    const int filled = max > 0 ? static_cast<int>(static_cast<long>(value) * BarCells / max) : 0;
    std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(BarCells - filled), '-') + "] " +
                       std::to_string(value) + "/" + std::to_string(max) + " lines  ";
    // Lines done since the bar appeared give the pace of the lines left.
    const int done = value - barStartValue_;
    if (done > 0) {
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - barStart_).count();
        line += minutesAndSeconds(elapsed / done * (max - value + 1)) + " left";
    } else {
        line += "-:-- left";
    }
    if (status_ && !status_->caption().empty()) line += "  " + oneLine(status_->caption());
    const size_t columns = terminalColumns();
    if (line.size() >= columns) line.resize(columns - 1);
    out_ << "\r" << line << "\x1b[K" << std::flush;
    barShown_ = true;
}

}  // namespace qv
