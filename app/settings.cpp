// Start-up and shutdown: the five settings kept in a text file in the
// program's own folder, one value per line (port, baud rate, unit ID, table
// file name, the switch that hides the "Barometric Mode" frame).
#include <exception>
#include <string>
#include <vector>

#include "app/main_form.h"

namespace qv {

namespace {

const std::string StartupErrorText = " Initial Configuration File Error!, Can't continue... ";
constexpr int SettingsValueCount = 5;

// Each line is one whole value: blanks in front are dropped, everything else
// (commas included) is kept. The line ends are already gone.
std::string settingsValue(const std::string& line) {
    size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : line.substr(first);
}

std::string settingsText(const std::vector<std::string>& values) {
    std::string text;
    // A first value that starts with a byte-order mark would lose it when
    // read back, as a leading mark is taken for the file's; a blank in front
    // keeps it, as the reader drops leading blanks.
    if (!values.empty() && values[0].starts_with("\xEF\xBB\xBF")) text = " ";
    for (const std::string& v : values) text += v + "\r\n";
    return text;
}

}  // namespace

bool MainForm::Form_Load() {
    // A missing file is created with these lines, and they become this run's
    // settings as well: the first run then looks like every later run with
    // that file (the "Barometric Mode" frame hidden, so it covers nothing)
    // and a first close writes the same lines back.
    static const std::vector<std::string> DefaultLines{"1", "9600", "01", "", "0"};
    try {
        const std::string path = settingsPath();
        if (FileExist(path)) {
            std::vector<std::string> lines;
            try {
                lines = files.readLines(path);
            } catch (const FileError& e) {
                // The file went away between the test and the reading: end
                // quietly, as there is nothing the user could be told to mend.
                if (e.code() == FileError::NotFound) return false;
                throw;
            }
            if (lines.size() < SettingsValueCount) throw FileError(FileError::DeviceIO, "Input past end of file");
            PortNumber = settingsValue(lines[0]);
            BaudRate = settingsValue(lines[1]);
            UnitID = settingsValue(lines[2]);
            TableFileName = settingsValue(lines[3]);
            BaroModeSwitch = settingsValue(lines[4]);
        } else {
            files.replaceFile(path, settingsText(DefaultLines));
            PortNumber = DefaultLines[0];
            BaudRate = DefaultLines[1];
            UnitID = DefaultLines[2];
            TableFileName = DefaultLines[3];
            BaroModeSwitch = DefaultLines[4];
        }

        if (BaroModeSwitch == "0") Frame12.setVisible(false);
        Combo1.setText(PortNumber);
        for (int i = 1; i <= 99; ++i) Combo1.addItem(" " + std::to_string(i));
        // Devices plugged in since the last run get their numbers now.
        Combo1_DropDown();
        Text1.setText(TableFileName);
        Combo3.setText(UnitID);
        Combo2.setText(BaudRate);
        for (const char* baud : {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"})
            Combo2.addItem(baud);
        for (int i = 1; i <= 98; ++i) Combo3.addItem((i < 10 ? "0" : "") + std::to_string(i));
        return true;
    } catch (const std::exception&) {
        MsgBox(StartupErrorText, "File", Buttons::OK, Icon::Exclamation);
        return false;
    }
}

void MainForm::Form_Unload() {
    std::string description;
    try {
        const std::string path = settingsPath();
        if (!FileExist(path)) return;
        // Written to a temporary file and renamed over the old one, so a
        // failed write leaves the previous settings in place.
        files.replaceFile(path, settingsText({PortNumber, BaudRate, UnitID, TableFileName, BaroModeSwitch}));
        return;
    } catch (const std::exception& e) {
        description = e.what();
    }
    MsgBox(" Settings could not be saved: " + description + " ", "File", Buttons::OK, Icon::Exclamation);
}

bool MainForm::FileExist(const std::string& sTestFile) {
    try {
        return files.exists(sTestFile);
    } catch (...) {
        return false;
    }
}

std::string MainForm::settingsPath() {
    std::string folder = ui.programFolder();
    // No folder at all (an installed copy whose user has no home folder):
    // start-up fails rather than put the file in the root folder.
    if (folder.empty()) throw FileError(FileError::PathNotFound, "No folder for the settings file");
    if (folder.back() != '/') folder += '/';
    return folder + SettingsFileName;
}

}  // namespace qv
