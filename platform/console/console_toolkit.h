// The toolkit backend of the command-line program: no window, a terminal.
//
// How this works: a message box is written to standard error as
// "Title: text" and recorded, so that the caller can judge an operation by
// the boxes it showed. A Yes/No question is answered from a fixed answer
// (No unless told to answer Yes), and the answer is written below it. A file
// dialog is confirmed with the file name given beforehand (answerNextDialog),
// or cancelled when none was given. The status line and the progress bar are
// observed as a window backend observes its controls (watch): each new status
// text is written as a line of its own; on a terminal a running progress bar
// is drawn on the last line with the lines done, the lines in all and the
// time left, and the texts that change with every line of a transfer are
// shown in it instead of on lines of their own. There are no window events
// to process (the caller may hook its own look at outside notices in their
// place), no focus to show and nothing to beep.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/toolkit.h"

namespace qv {

class ConsoleToolkit : public Toolkit, private ControlObserver {
public:
    struct Settings {
        bool answerYes = false;     // Yes/No questions are answered Yes
        bool quiet = false;         // status texts and the progress bar are not shown
        std::string programFolder;  // empty: the window's own folder rule
    };

    // Writes to `out` (standard error); `terminal` tells whether that is a
    // terminal, where the progress bar is drawn.
    ConsoleToolkit(Settings settings, std::ostream& out, bool terminal);
    ~ConsoleToolkit() override;
    ConsoleToolkit(const ConsoleToolkit&) = delete;
    ConsoleToolkit& operator=(const ConsoleToolkit&) = delete;

    Answer messageBox(const std::string& text, const std::string& title, Buttons buttons, Icon icon,
                      Answer defaultAnswer = Answer::Yes) override;
    void beep() override {}
    // Runs the action given to onEvents, if any: there are no window events.
    void doEvents() override {
        if (onEvents_) onEvents_();
    }
    void setFocus(Control& control) override { focus_ = &control; }
    Control* focus() const override { return focus_; }
    std::string programFolder() override;
    std::string tableFolder() override;

    // What doEvents does from now on (nothing for an empty action): the
    // caller's look at notices from outside, such as a termination signal,
    // made where a window would handle its events.
    void onEvents(std::function<void()> action) { onEvents_ = std::move(action); }

    // The next open or save dialog is confirmed with this file name.
    void answerNextDialog(std::string fileName) { dialogAnswer_ = std::move(fileName); }

    // Shows the texts of `status` and the bar `progress` from now on.
    // Texts for which `perLineText` is true are shown only inside a running
    // progress bar on a terminal, never on lines of their own.
    void watch(Label& status, ProgressBar& progress, std::function<bool(const std::string&)> perLineText);

    using ShownBox = MessageRecord;
    // The boxes shown since the last clearBoxes, in order.
    const std::vector<ShownBox>& boxes() const { return boxes_; }
    void clearBoxes() { boxes_.clear(); }

protected:
    FileDialogResult openDialog(const FileDialogSettings& settings) override;
    FileDialogResult saveDialog(const FileDialogSettings& settings) override;

private:
    void controlChanged(Control& control) override;
    FileDialogResult answerDialog(const FileDialogSettings& settings);
    void drawBar();
    void eraseBar();
    // Writes whole lines, with a running bar taken away and drawn again.
    void writeLines(const std::string& text);

    Settings settings_;
    std::ostream& out_;
    bool terminal_;
    Control* focus_ = nullptr;
    std::string dialogAnswer_;
    std::vector<ShownBox> boxes_;
    std::function<void()> onEvents_;

    Label* status_ = nullptr;
    ProgressBar* progress_ = nullptr;
    std::function<bool(const std::string&)> perLineText_;
    bool barShown_ = false;
    std::chrono::steady_clock::time_point barStart_;
    int barStartValue_ = 0;
};

}  // namespace qv
