// The table lists and table files: choosing, loading, showing or hiding the
// header lines, and saving the table read from the unit.
#include <string>

#include "app/main_form.h"
#include "table/table_lines.h"
#include "table/table_messages.h"

namespace qv {

namespace table {

std::optional<std::vector<std::string>> readTableFile(MainForm& form, const std::string& missingText) {
    try {
        std::vector<std::string> lines = form.files.readLines(form.TableFileName);
        // Lines of a file made on Windows may be Windows-1252; what List1
        // shows and what the write sends are then the same UTF-8 text.
        for (std::string& line : lines) line = table::utf8Line(line);
        return lines;
    } catch (const FileError& failure) {
        const int code = failure.code();
        if (code == FileError::NotFound)
            form.MsgBox(missingText, "File", Buttons::OK, Icon::Exclamation);
        else if (code == FileError::AccessError)
            form.MsgBox(CantFindFile, "File", Buttons::OK, Icon::Exclamation);
        else  // a device or a file too large to be a table: the reason follows
            form.MsgBox("Error " + std::to_string(code) + " reported. " +
                            (code == FileError::NotRegularFile || code == FileError::TooLarge ? failure.what() : ""),
                        "File", Buttons::OK, Icon::Exclamation);
        return std::nullopt;
    }
}

}  // namespace table

namespace {

const std::string OpenFilter = "Pressure Reduction Ratio Files (*.*) |*.*";
const std::string OpenTitle = "Select a valid Pressure Reduction Ratio File name";
const std::string SaveFilter = "All Files (*.*) |*.*";
const std::string SaveTitle = "Enter a Pressure Reduction Ratio File name";

}  // namespace

void MainForm::Command10_Click() {
    TableFileName = Text1.text();
    List1.clear();
    // Selecting "Hide" would run its handler, which reads the same file; the
    // load reads it below anyway, so the handler is held back meanwhile.
    {
        auto hideHandler = std::move(Option2.onClick);
        Option2.onClick = nullptr;
        Option2_1.setValue(true);
        Option2.onClick = std::move(hideHandler);
    }
    List1.clear();

    // The file is kept by its full path: a file dialog moves the current
    // folder, after which a bare name would find another file of that name.
    const std::string fullPath = files.fullPath(TableFileName);
    const std::optional<std::vector<std::string>> lines = table::readTableFile(*this);
    if (!lines) return;
    TableFileName = fullPath;

    bool overLimit = false;
    for (const std::string& line : *lines) {
        ui.doEvents();
        LineBuffer = line;
        if (table::isHeaderLine(LineBuffer)) continue;
        List1.addItem(LineBuffer);
        if (List1.listCount() > table::MaxLoadedTableLines) {
            overLimit = true;
            break;
        }
    }
    if (overLimit)
        MsgBox(" Table has more than 180 lines. Please verify... ", "File", Buttons::OK,
               Icon::Exclamation);

    Frame1.setEnabled(true);
    Frame4.setEnabled(true);
    Stat1("File read successful...");
}

void MainForm::Text1_KeyPress(int& KeyAscii) {
    if (KeyAscii != 13) return;
    TableFileName = Text1.text();
    if (!TableFileName.empty()) ui.setFocus(Command10);
    List1.clear();
}

void MainForm::Command7_Click() {
    FileDialogSettings settings{OpenFilter, TableFileName, 1, OpenTitle, ui.tableFolder()};
    FileDialogResult chosen = ui.showOpen(settings);
    if (chosen.confirmed) TableFileName = chosen.fileName;
    if (!TableFileName.empty()) {
        Text1.setText(table::shownFileName(TableFileName));
        Frame4.setEnabled(true);
    }
    List1.clear();
}

void MainForm::Option2_Click(int Index) {
    List1.clear();
    const std::optional<std::vector<std::string>> lines = table::readTableFile(*this);
    if (!lines) return;
    for (const std::string& line : *lines) {
        ui.doEvents();
        LineBuffer = line;
        if (Index == 1 && table::isHeaderLine(LineBuffer)) continue;
        List1.addItem(LineBuffer);
    }
}

void MainForm::Command2_Click() {
    DisableFrames();
    if (List2.listCount() == 0) {
        MsgBox(" No Table from unit to save. ", "Info", Buttons::OK, Icon::Exclamation);
        EnableFrames();
        return;
    }
    // The rows of a read that stopped early are not the unit's whole table;
    // written back later, such a file would leave the unit with those rows.
    if (TableReadStoppedAt > 0 &&
        MsgBox(" The table read from the unit is incomplete (the read stopped at line " +
                   std::to_string(TableReadStoppedAt) + ").  Save it anyway? ",
               "Info", Buttons::YesNo, Icon::Exclamation) != Answer::Yes) {
        EnableFrames();
        return;
    }

    FileDialogSettings settings{SaveFilter, table::proposedSaveName(clock.now()), 0, SaveTitle,
                                ui.tableFolder()};
    FileDialogResult chosen = ui.showSave(settings);
    if (chosen.filterIndex != 1) {
        EnableFrames();
        return;
    }

    const std::string F = chosen.fileName;
    if (F == TableFileName) {
        if (MsgBox(" File selected is the same as Table File opened. Do you want to replace it?... ",
                   "File", Buttons::YesNo, Icon::Exclamation) != Answer::Yes) {
            EnableFrames();
            return;
        }
    } else if (F.empty()) {
        EnableFrames();
        return;
    } else if (files.canRead(F)) {
        if (MsgBox(" Selected file already exist. Do you want to replace it?... ", "File",
                   Buttons::YesNo, Icon::Exclamation) != Answer::Yes) {
            EnableFrames();
            return;
        }
    }

    try {
        // Written whole into a temporary file and renamed over F, so a failure
        // leaves any earlier file as it was.
        files.replaceFile(F, table::savedFileText(clock.now(), List2.items()));
    } catch (const FileError& e) {
        MsgBox(" Can't save file: " + std::string(e.what()) + " ", "File", Buttons::OK,
               Icon::Exclamation);
        EnableFrames();
        Stat1("");  // an earlier "File save successful." would claim this one
        return;
    }
    EnableFrames();
    Stat1("File save successful.");
}

}  // namespace qv
