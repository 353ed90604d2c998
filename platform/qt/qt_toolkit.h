// The toolkit services on Qt: message boxes, file dialogs, beep, focus and
// event processing for the real window, and the program's own folder.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <utility>

#include "platform/program_folder.h"
#include "platform/toolkit.h"

class QWidget;

namespace qv {

class MainWindow;

class QtToolkit : public Toolkit {
public:
    // The program's own folder as findProgramFolder() gives it.
    explicit QtToolkit(ProgramFolder programFolder) : folder_(std::move(programFolder)) {}
    // A given folder taken as a portable copy's (tests keep their settings
    // file in a folder of their own).
    explicit QtToolkit(std::string programFolder) : folder_{std::move(programFolder), true, {}} {}

    // The window the boxes and dialogs belong to and whose focus is mapped.
    void attach(MainWindow* window) { window_ = window; }

    Answer messageBox(const std::string& text, const std::string& title, Buttons buttons, Icon icon,
                      Answer defaultAnswer = Answer::Yes) override;
    void beep() override;
    void doEvents() override;
    void setFocus(Control& control) override;
    Control* focus() const override;
    std::string programFolder() override { return folder_.path; }
    std::string tableFolder() override;

    // How often the program beeped (tests read it).
    int beeps() const { return beeps_; }

protected:
    FileDialogResult openDialog(const FileDialogSettings& settings) override;
    FileDialogResult saveDialog(const FileDialogSettings& settings) override;

private:
    FileDialogResult runDialog(bool save, const FileDialogSettings& settings);
    QWidget* parentWidget() const;

    MainWindow* window_ = nullptr;
    int beeps_ = 0;
    ProgramFolder folder_;
};

// Turns a filter of "description|pattern" pairs (patterns separated by ";")
// into Qt name filters. Each entry keeps the description for display and ends
// with the patterns in parentheses, where "*.*" becomes "*" (every file, as on
// the system the filters were written for).
QStringList qtNameFilters(const std::string& filter);

}  // namespace qv
