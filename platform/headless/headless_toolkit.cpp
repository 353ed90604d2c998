#include "platform/headless/headless_toolkit.h"

#include <utility>

namespace qv {

HeadlessToolkit::HeadlessToolkit(std::string programFolder) : folder(std::move(programFolder)) {}

Answer HeadlessToolkit::messageBox(const std::string& text, const std::string& title, Buttons buttons, Icon icon,
                                   Answer /*defaultAnswer*/) {
    MessageRecord rec{text, title, buttons, icon, Answer::OK};
    if (buttons == Buttons::YesNo) {
        if (questions.empty()) throw ScriptError("unexpected question: \"" + text + "\" (" + title + ")");
        rec.answer = questions.front();
        questions.pop_front();
    } else if (strictBoxes) {
        if (expectedBoxes.empty() || expectedBoxes.front() != text)
            throw ScriptError("unexpected message box: \"" + text + "\" (" + title + ")");
        expectedBoxes.pop_front();
    }
    boxes.push_back(rec);
    if (onBox) onBox(boxes.back());
    return rec.answer;
}

void HeadlessToolkit::doEvents() {
    ++eventPasses;
    if (onEvents) {
        // A hook that clicks may itself wait for the unit; do not re-enter it.
        auto hook = std::move(onEvents);
        onEvents = nullptr;
        hook();
        if (!onEvents) onEvents = std::move(hook);
    }
}

FileDialogResult HeadlessToolkit::nextDialog(bool save, const FileDialogSettings& settings) {
    dialogLog.push_back({save, settings});
    if (dialogs.empty())
        throw ScriptError(std::string("unexpected ") + (save ? "save" : "open") + " dialog: \"" +
                          settings.title + "\"");
    FileDialogResult r = dialogs.front();
    dialogs.pop_front();
    if (!r.confirmed) {
        r.fileName = settings.fileName;
        r.filterIndex = settings.filterIndex;
    }
    return r;
}

FileDialogResult HeadlessToolkit::openDialog(const FileDialogSettings& s) { return nextDialog(false, s); }
FileDialogResult HeadlessToolkit::saveDialog(const FileDialogSettings& s) { return nextDialog(true, s); }

}  // namespace qv
