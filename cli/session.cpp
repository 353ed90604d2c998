#include "cli/session.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

#include "app/main_form.h"
#include "cli/ports.h"
#include "platform/console/console_toolkit.h"
#include "platform/file_names.h"
#include "platform/serial_port_factory.h"
#include "platform/termination_signals.h"
#include "platform/traced_serial_port.h"
#include "table/table_lines.h"

namespace qv::cli {

namespace {

using Json = nlohmann::ordered_json;

// The status texts each step ends with when it succeeded.
const std::string Detected = "Unit detected!";
const std::string ValuesRead = "Configuration values read successfully.";
const std::string ValuesSaved = "Configuration values saved successfully.";
const std::string ModeWritten = "Barometric Mode OK";
const std::string TableRead = "Table transferred successfully from unit.";
const std::string FileSaved = "File save successful.";
const std::string FileLoaded = "File read successful...";
const std::string TableWritten = "Table successfully transferred to unit...";

// The load's warning about a long table file; --yes goes on after it.
const std::string LongTableWarning = " Table has more than 180 lines. Please verify... ";

// Boxes of the table write that find fault with the table file's lines.
const std::vector<std::string> TableFileFaults = {
    " Invalid table entry, line ",
    " Non-numeric temperature value detected, line ",
    " Non-numeric ratio value detected, line ",
    " Table has more than 999 lines.  Transfer aborted. ",
    " No Table from File to transfer. ",
};
// Boxes that refuse the link settings or a value to write.
const std::vector<std::string> RefusedValues = {
    "Must supply value for COM port, baud rate, and ID.",
    "Invalid 12-hour temperature value - integers only",
    "12-hour temperature value out of range (-9999999  to 9999999)",
    "Invalid pressure reduction constant value",
    "Pressure reduction constant value out of range (-9999999  to 9999999)",
};

bool startsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// The exit status a box stands for; 0 for the boxes of a step that went
// well (information, a question answered Yes).
int failureOf(const ConsoleToolkit::ShownBox& box) {
    if (box.buttons == Buttons::YesNo) return box.answer == Answer::Yes ? Succeeded : FileProblem;
    if (box.icon == Icon::Information) return Succeeded;
    if (box.title == "File") return FileProblem;
    for (const std::string& fault : TableFileFaults)
        if (startsWith(box.text, fault)) return FileProblem;
    for (const std::string& refused : RefusedValues)
        if (box.text == refused) return UsageError;
    return LinkOrUnit;
}

// The per-line texts of a table transfer.
bool perLineText(const std::string& text) { return startsWith(text, "Sending: ") || startsWith(text, "Received :"); }

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The file layer of the command line: the window's, except that the
// settings file is never written. Without a settings file Form_Load would
// create one with its default lines; here it only takes those lines as this
// run's settings.
class SettingsReadOnly : public FileSystem {
public:
    void protect(std::string path) { settings_ = std::move(path); }
    void replaceFile(const std::string& path, const std::string& content) override {
        if (path == settings_) return;
        FileSystem::replaceFile(path, content);
    }

private:
    std::string settings_;
};

class Session {
public:
    Session(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal)
        : o_(options), out_(out), err_(err),
          ui_({options.yes, options.quiet, options.folder.value_or("")}, err, errIsTerminal) {}

    int run() {
        // A program folder that is not there would quietly send every port
        // number to /dev/ttyS<N-1>.
        if (o_.folder) {
            std::error_code ec;
            if (!std::filesystem::exists(pathFromUtf8(*o_.folder), ec))
                throw Usage("--folder " + *o_.folder + ": no such folder");
            if (!std::filesystem::is_directory(pathFromUtf8(*o_.folder), ec))
                throw Usage("--folder " + *o_.folder + " is not a folder");
        }
        // --device: a port whose number 1 opens the device.
        std::unique_ptr<SerialPort> port;
        if (o_.device) {
            try {
                port = makeDeviceSerialPort(*o_.device);
            } catch (const std::invalid_argument& e) {
                throw Usage("--device " + *o_.device + ": " + e.what());
            }
        } else {
            port = makeSerialPort(ui_.programFolder());
        }
        std::unique_ptr<TracedSerialPort> traced;
        if (o_.trace) traced = std::make_unique<TracedSerialPort>(*port, *o_.trace, o_.device.value_or(""));
        SystemClock clock;
        SettingsReadOnly files;
        const std::unique_ptr<SerialDeviceCatalog> serialDevices = makeSerialDeviceCatalog();
        Platform platform{ui_, traced ? static_cast<SerialPort&>(*traced) : *port, clock, files, *serialDevices};
        MainForm form(platform);
        form_ = &form;
        files.protect(form.settingsPath());

        if (!form.Form_Load()) {
            if (ui_.boxes().empty()) err_ << "quorvel-cli: cannot read the settings file " << form.settingsPath() << "\n";
            return FileProblem;
        }
        ui_.watch(form.Label2, form.ProgressBar1, perLineText);
        // Ctrl+C, a closed terminal or console window, SIGTERM: the window's
        // own forced close, so the running operation stops at its next wait
        // and closes the port on its usual path.
        TerminationSignals signals;
        ui_.onEvents([&] {
            if (signals.take() == 0 || form.closing()) return;
            interrupted_ = true;
            form.requestClose(CloseRequest::Forced);
        });

        if (o_.port) form.Combo1.setText(oneOf(form.Combo1, *o_.port, "--port"));
        if (o_.device) form.Combo1.setText("1");
        if (o_.baud) form.Combo2.setText(oneOf(form.Combo2, *o_.baud, "--baud"));
        if (o_.id) form.Combo3.setText(oneOf(form.Combo3, *o_.id, "--id"));

        int status = command();
        ui_.onEvents(nullptr);
        if (interrupted_) {
            err_ << "quorvel-cli: interrupted\n";
            status = LinkOrUnit;
        }
        // The operation is done as without a trace; a trace that lost lines
        // is reported once, and fails a run that went well otherwise.
        if (traced && traced->traceFailure()) {
            err_ << "quorvel-cli: cannot write the trace file " << *o_.trace << ": " << traced->traceFailure().message()
                 << "\n";
            return status ? status : FileProblem;
        }
        return status;
    }

private:
    int command() {
        const std::string& c = o_.command;
        if (c == "ports") return ports();
        if (c == "detect") return detect();
        if (c == "read-values") return readValues();
        if (c == "write-values") return writeValues();
        if (c == "baro") return baro();
        if (c == "read-table") return readTable();
        return writeTable();
    }

    // The text when it is one of the box's list items, also without the
    // leading blank of the Port list's items ("5" for " 5", as the settings
    // file keeps it); a usage error else.
    static const std::string& oneOf(const ComboBox& box, const std::string& text, const std::string& option) {
        const auto& items = box.items();
        const auto listed = [&](const std::string& t) {
            return std::find(items.begin(), items.end(), t) != items.end();
        };
        if (!listed(text) && !listed(" " + text))
            throw Usage(option + " takes one of " + trimmed(items.front()) + " ... " + trimmed(items.back()) +
                        ", not \"" + text + "\"");
        return text;
    }

    // Runs one handler and judges how it ended (see the top of session.h).
    int step(void (MainForm::*handler)(), const std::string& successText, bool onLink) {
        ui_.clearBoxes();
        form_->Stat1("");
        (form_->*handler)();
        return judged(successText, onLink);
    }
    int judged(const std::string& successText, bool onLink) {
        for (const ConsoleToolkit::ShownBox& box : ui_.boxes())
            if (int failure = failureOf(box)) return failure;
        if (form_->Label2.caption() != successText || (onLink && form_->CommOK != 1)) return LinkOrUnit;
        return Succeeded;
    }

    int written() {
        out_.flush();
        if (out_) return Succeeded;
        err_ << "quorvel-cli: cannot write to standard output\n";
        return FileProblem;
    }

    int printValues() {
        MainForm& f = *form_;
        static const char* const Units[] = {"C", "F", "R"};
        const int unit = f.cboTableTempUnit.listIndex();
        const std::string temp = trimmed(f.txt12HourTemp.text());
        const std::string constant = trimmed(f.txtPressureReductionConstant.text());
        if (o_.json) {
            Json doc;
            doc["temperature12h"] = temp;
            doc["tableTempUnit"] = unit >= 0 && unit <= 2 ? Json(Units[unit]) : Json(nullptr);
            doc["pressureReductionConstant"] = constant;
            out_ << dumped(doc);
        } else {
            out_ << "temperature12h=" << temp << "\n"
                 << "tableTempUnit=" << (unit >= 0 && unit <= 2 ? Units[unit] : "") << "\n"
                 << "pressureReductionConstant=" << constant << "\n";
        }
        return written();
    }

    static std::string dumped(const Json& doc) {
        // A unit's reply may hold bytes that are no UTF-8; they are replaced
        // rather than failing the document.
        return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    }

    // The numbers the open Port list shows a device beside: the window's own
    // handler binds the devices no number reaches yet and writes the texts.
    int ports() {
        form_->Combo1_DropDown();
        const std::vector<PortEntry> entries =
            reachablePorts(ui_.programFolder(), form_->Combo1.items(), form_->Combo1.itemDetails());
        if (o_.json) {
            Json doc = Json::array();
            for (const PortEntry& e : entries) doc.push_back({{"port", e.number}, {"device", e.device}, {"text", e.text}});
            out_ << dumped(doc);
        } else {
            for (const PortEntry& e : entries) out_ << e.number << '\t' << e.device << '\t' << e.text << '\n';
        }
        return written();
    }

    int detect() {
        if (int status = step(&MainForm::cmdDetectZov_Click, Detected, true)) return status;
        return printValues();
    }

    int readValues() {
        if (int status = step(&MainForm::cmdReadCurrentValues_Click, ValuesRead, true)) return status;
        return printValues();
    }

    int writeValues() {
        MainForm& f = *form_;
        // The values not given are the unit's own, read as the window reads them.
        if (!o_.temp || !o_.unit || !o_.constant)
            if (int status = step(&MainForm::cmdReadCurrentValues_Click, ValuesRead, true)) return status;
        if (o_.temp) f.txt12HourTemp.setText(*o_.temp);
        if (o_.unit) f.cboTableTempUnit.setListIndex(static_cast<int>(std::string("CFR").find((*o_.unit)[0])));
        if (o_.constant) f.txtPressureReductionConstant.setText(*o_.constant);
        if (int status = step(&MainForm::cmdWriteValues_Click, ValuesSaved, true)) return status;
        return printValues();
    }

    int baro() {
        MainForm& f = *form_;
        (o_.args[0] == "enable" ? f.Option4_0 : f.Option4_1).setValue(true);
        return step(&MainForm::Command12_Click, ModeWritten, true);
    }

    int readTable() {
        if (int status = step(&MainForm::Command4_Click, TableRead, true)) return status;
        const bool toStdout = o_.args.empty() || o_.args[0] == "-";
        if (!toStdout || form_->List2.listCount() == 0) {
            // The save, with its dialog answered by the file name. A table of
            // no rows is refused by the save before its dialog, whatever the
            // output: what the window cannot save is no table file or JSON
            // document here either.
            if (!toStdout) ui_.answerNextDialog(utf8Name(std::filesystem::absolute(pathFromUtf8(o_.args[0]))));
            if (int status = step(&MainForm::Command2_Click, FileSaved, false)) return status;
        } else if (!o_.json) {
            // The text the save writes, straight to standard output.
            out_ << table::savedFileText(form_->clock.now(), form_->List2.items());
        }
        if (o_.json) {
            Json rows = Json::array();
            for (const std::string& row : form_->List2.items()) {
                const table::DataFields fields = table::splitDataLine(row);
                rows.push_back({{"temperature", fields.temperature}, {"ratio", fields.ratio}});
            }
            out_ << dumped(rows);
        }
        return written();
    }

    int writeTable() {
        MainForm& f = *form_;
        f.Text1.setText(o_.args[0]);
        ui_.clearBoxes();
        f.Stat1("");
        f.Command10_Click();
        const auto& boxes = ui_.boxes();
        const bool onlyWarned = !boxes.empty() && std::all_of(boxes.begin(), boxes.end(), [](const auto& b) {
            return b.text == LongTableWarning;
        });
        if (onlyWarned && o_.yes) ui_.clearBoxes();
        if (int status = judged(FileLoaded, false)) return status;
        return step(&MainForm::Command1_Click, TableWritten, true);
    }

    const Options& o_;
    std::ostream& out_;
    std::ostream& err_;
    ConsoleToolkit ui_;
    MainForm* form_ = nullptr;
    bool interrupted_ = false;
};

}  // namespace

int run(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    try {
        Session session(options, out, err, errIsTerminal);
        return session.run();
    } catch (const Usage& e) {
        err << "quorvel-cli: " << e.what() << " (see quorvel-cli --help)\n";
        return UsageError;
    } catch (const std::system_error& e) {
        err << "quorvel-cli: " << e.what() << "\n";
        return FileProblem;
    } catch (const std::exception& e) {
        err << "quorvel-cli: " << e.what() << "\n";
        return LinkOrUnit;
    }
}

}  // namespace qv::cli
