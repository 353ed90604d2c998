// The services of the toolkit layer besides the controls: message boxes, file
// dialogs, beep, focus, event processing, the program's own folder and the
// folder the table file dialogs open in.
#pragma once

#include <string>

#include "platform/controls.h"

namespace qv {

enum class Icon { None, Exclamation, Stop, Information };
enum class Buttons { OK, YesNo };
enum class Answer { OK, Yes, No };

// A message box as it was shown, with the answer it got; the backends that
// show no window keep these.
struct MessageRecord {
    std::string text;
    std::string title;
    Buttons buttons = Buttons::OK;
    Icon icon = Icon::None;
    Answer answer = Answer::OK;
};

// One filter ("description|pattern") per dialog, as the window uses them.
struct FileDialogSettings {
    std::string filter;
    std::string fileName;
    int filterIndex = 0;
    std::string title;
    std::string initialDir;
};

// A confirmed dialog reports filter index 1 and the chosen full path; a
// cancelled one keeps the file name and filter index it was given.
struct FileDialogResult {
    bool confirmed = false;
    std::string fileName;
    int filterIndex = 0;
};

class Toolkit {
public:
    virtual ~Toolkit() = default;

    // A modal message box; returns the button pressed. Enter in a Yes/No
    // question gives `defaultAnswer` (the safe answer where Yes would do harm).
    virtual Answer messageBox(const std::string& text, const std::string& title, Buttons buttons, Icon icon,
                              Answer defaultAnswer = Answer::Yes) = 0;

    // Modal file dialogs. Confirming a file makes its folder the process's
    // current directory (callers rely on a bare name then naming that file).
    FileDialogResult showOpen(const FileDialogSettings& settings);
    FileDialogResult showSave(const FileDialogSettings& settings);

    virtual void beep() = 0;
    // Handles the queued window events once; never waits for new ones.
    virtual void doEvents() = 0;
    virtual void setFocus(Control& control) = 0;
    virtual Control* focus() const = 0;
    // The program's own folder, which holds the settings file and the COM<N>
    // links (see platform/program_folder.h); "" when none could be found.
    virtual std::string programFolder() = 0;
    // The folder the table file dialogs open in: the program's own folder for
    // a portable copy, the user's documents folder (else home) for an
    // installed one, since table files are the user's documents.
    virtual std::string tableFolder() = 0;

protected:
    virtual FileDialogResult openDialog(const FileDialogSettings& settings) = 0;
    virtual FileDialogResult saveDialog(const FileDialogSettings& settings) = 0;
};

}  // namespace qv
