// The toolkit backend for tests: no window. It records every message box in
// order, answers Yes/No questions and file dialogs from a script the test
// sets, and throws ScriptError at once when a question or a dialog comes that
// the script did not expect.
#pragma once

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/toolkit.h"

namespace qv {

struct DialogRecord {
    bool save = false;
    FileDialogSettings settings;
};

class ScriptError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class HeadlessToolkit : public Toolkit {
public:
    explicit HeadlessToolkit(std::string programFolder = {});

    Answer messageBox(const std::string& text, const std::string& title, Buttons buttons, Icon icon,
                      Answer defaultAnswer = Answer::Yes) override;
    void beep() override { ++beeps; }
    void doEvents() override;
    void setFocus(Control& control) override { focused = &control; }
    Control* focus() const override { return focused; }
    std::string programFolder() override { return folder; }
    std::string tableFolder() override { return tables.empty() ? folder : tables; }

    // ---- Script ----------------------------------------------------------
    // The answer to the next Yes/No question.
    void answerNextQuestion(Answer answer) { questions.push_back(answer); }
    // The outcome of the next open or save dialog.
    void confirmNextDialog(const std::string& fileName) { dialogs.push_back({true, fileName, 1}); }
    void cancelNextDialog() { dialogs.push_back({false, {}, 0}); }
    // When set, OK boxes must be announced with expectBox as well.
    bool strictBoxes = false;
    void expectBox(const std::string& text) { expectedBoxes.push_back(text); }
    // True when every scripted answer has been used.
    bool scriptDone() const { return questions.empty() && dialogs.empty() && expectedBoxes.empty(); }

    // ---- Record ----------------------------------------------------------
    std::vector<MessageRecord> boxes;
    std::vector<DialogRecord> dialogLog;
    int beeps = 0;
    long eventPasses = 0;
    Control* focused = nullptr;
    std::string folder;
    // The table dialogs' folder; the program folder when empty.
    std::string tables;

    // Runs on every event pass: a test can click, type or close from here, as
    // a user would during a wait.
    std::function<void()> onEvents;
    // Runs when a box is shown, before it is answered (the window's state as
    // the user sees it behind the box).
    std::function<void(const MessageRecord&)> onBox;

protected:
    FileDialogResult openDialog(const FileDialogSettings& settings) override;
    FileDialogResult saveDialog(const FileDialogSettings& settings) override;

private:
    FileDialogResult nextDialog(bool save, const FileDialogSettings& settings);
    std::deque<Answer> questions;
    std::deque<FileDialogResult> dialogs;
    std::deque<std::string> expectedBoxes;
};

}  // namespace qv
