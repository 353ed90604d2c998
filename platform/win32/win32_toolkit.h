// The toolkit services on Windows: native message boxes and file dialogs,
// beep, focus and event processing for the real window, and the program's
// own folder.
#pragma once

#include <string>
#include <utility>

#include "platform/program_folder.h"
#include "platform/toolkit.h"

namespace qv {

class Win32Window;

class Win32Toolkit : public Toolkit {
public:
    // The program's own folder as findProgramFolder() gives it.
    explicit Win32Toolkit(ProgramFolder programFolder) : folder_(std::move(programFolder)) {}
    // A given folder taken as a portable copy's (tests keep their settings
    // file in a folder of their own).
    explicit Win32Toolkit(std::string programFolder) : folder_{std::move(programFolder), true, {}} {}

    // The window the boxes and dialogs belong to and whose focus is mapped.
    void attach(Win32Window* window) { window_ = window; }

    Answer messageBox(const std::string& text, const std::string& title, Buttons buttons, Icon icon,
                      Answer defaultAnswer = Answer::Yes) override;
    void beep() override;
    // Handles the window's waiting messages; returns at once when there are
    // none, so a wait between these calls costs no processor time.
    void doEvents() override;
    void setFocus(Control& control) override;
    Control* focus() const override;
    std::string programFolder() override { return folder_.path; }
    // The program's folder for a portable copy; the user's Documents folder
    // for an installed one, else the user's profile folder ("" when neither
    // is known).
    std::string tableFolder() override;

    // How often the program beeped (tests read it).
    int beeps() const { return beeps_; }

protected:
    FileDialogResult openDialog(const FileDialogSettings& settings) override;
    FileDialogResult saveDialog(const FileDialogSettings& settings) override;

private:
    FileDialogResult runDialog(bool save, const FileDialogSettings& settings);

    Win32Window* window_ = nullptr;
    int beeps_ = 0;
    ProgramFolder folder_;
};

// A filter of "description|pattern" pairs as the file dialogs take it: each
// description and its patterns ending in a zero, the whole in two.
std::wstring dialogFilter(const std::string& filter);

}  // namespace qv
