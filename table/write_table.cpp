// "Save Table to Unit": checks every line of the table file, checks the
// unit's barometric mode, then writes each line and compares every echo.
#include <algorithm>

#include "app/main_form.h"
#include "common/numbers.h"
#include "table/table_lines.h"
#include "table/table_messages.h"

namespace qv {

namespace {

constexpr int ModeLimitSec = 1;
constexpr int WriteLimitSec = 2;

const std::string TooManyLines = " Table has more than 999 lines.  Transfer aborted. ";

const std::string NoTableFromFile = " No Table from File to transfer. ";
const std::string MissingSinceLoaded =
    " was moved or deleted since it was loaded.  Load a table file again before saving it to the unit. ";
const std::string ChangedSinceLoaded =
    " has changed since it was loaded.  Load it again before saving it to the unit. ";

bool isDataLine(const std::string& line) { return table::classifyLine(line) == table::LineKind::Data; }

}  // namespace

void MainForm::Command1_Click() {
    DisableFrames();
    Frame3.setEnabled(false);
    VerifyCommunication();

    if (CommOK == 1 && List1.listCount() == 0) {
        MsgBox(NoTableFromFile, "Info", Buttons::OK, Icon::Exclamation);
        CommOK = 0;
    }

    // Check pass: the file must still hold the table List1 shows, and every
    // line of it must be one the unit can take and confirm, before anything
    // is sent. The write pass then sends the very lines checked here.
    std::vector<std::string> lines;
    if (CommOK == 1) {
        if (auto read = table::readTableFile(*this, " The table file " + TableFileName + MissingSinceLoaded))
            lines = std::move(*read);
        else
            CommOK = 0;
    }
    if (CommOK == 1) {
        if (!table::rowsShowFile(List1.items(), lines)) {
            MsgBox(" The table file " + TableFileName + ChangedSinceLoaded, "File", Buttons::OK, Icon::Exclamation);
            CommOK = 0;
        } else if (std::none_of(lines.begin(), lines.end(), isDataLine)) {
            // Only comment and blank lines: there is nothing to transfer.
            MsgBox(NoTableFromFile, "Info", Buttons::OK, Icon::Exclamation);
            CommOK = 0;
        }
    }
    if (CommOK == 1) {
        int physicalLine = 0;
        int dataLines = 0;
        bool invalid = false;
        bool tooMany = false;
        for (const std::string& line : lines) {
            ui.doEvents();
            LineBuffer = line;
            ++physicalLine;
            if (!isDataLine(LineBuffer)) continue;
            if (!table::isWellFormedDataLine(LineBuffer)) {
                invalid = true;
                break;
            }
            if (++dataLines > table::MaxLineIndex) {
                tooMany = true;
                break;
            }
        }
        if (invalid) {
            CommOK = 0;
            MsgBox(" Invalid table entry, line " + signedNumberText(physicalLine) + ".  Transfer aborted.", "Error",
                   Buttons::OK, Icon::Exclamation);
        } else if (tooMany) {
            CommOK = 0;
            MsgBox(TooManyLines, "Error", Buttons::OK, Icon::Exclamation);
        }
        // Both fields of every data line must be numbers whose text the unit
        // can echo back; the messages name the data line as the write would.
        int lineIndex = 0;
        for (size_t i = 0; CommOK == 1 && i < lines.size(); ++i) {
            if (!isDataLine(lines[i])) continue;
            ++lineIndex;
            const table::DataFields fields = table::splitDataLine(lines[i]);
            const char* bad = !table::isSendableField(fields.temperature) ? "temperature"
                              : !table::isSendableField(fields.ratio)     ? "ratio"
                                                                          : nullptr;
            if (bad) {
                MsgBox(std::string(" Non-numeric ") + bad + " value detected, line " + signedNumberText(lineIndex) +
                           ".  Transfer aborted.",
                       "Error");
                CommOK = 0;
            }
        }
        Stat1("");
    }

    try {
        // Mode check: the unit must have its barometric mode on.
        if (CommOK == 1) {
            ui.doEvents();
            Stat1("Verifying Rarerizeza Rerededo...");
            SendReceive("*" + UnitID + "00PB", ModeLimitSec);
            if (!ReplyBuffer.empty()) {
                if (ReplyBuffer.size() >= 9 && ReplyBuffer[8] == '1') {
                    Stat1("Rarerizeza Rerededo verified");
                } else {
                    MsgBox("Unit is not a Rarerizeza Rerededo!\nCannot transfer table to unit.\n",
                           "Barometric Mode");
                    CommOK = 0;
                }
            } else {
                MsgBox(" Unit is not responding. ", "Communications");
                CommOK = 0;
            }
            Stat1("");
        }

        // Write pass: the lines checked above, each value written read back
        // and compared with what was sent.
        if (CommOK == 1) {
            WritingToUnit writing(*this);
            List2.clear();
            ProgressBar1.setMax(List1.listCount());
            ProgressBar1.setValue(0);
            ui.doEvents();
            Stat1("Transfering table...");

            const std::string enable = "*" + UnitID + "00EW";
            // Sends one write, and checks that the unit echoes the value sent.
            auto writeValue = [&](const std::string& mnemonic, double sent, double& returned) {
                std::string command =
                    enable + "*" + UnitID + "00" + mnemonic + IndexField + "=" + valueText(sent);
                Stat1("Sending: " + command);
                SendReceive(command, WriteLimitSec);
                if (ReplyBuffer.empty()) {
                    MsgBox(" Unit not responding. ", "Communications");
                    return false;
                }
                Stat1("Received :" + ReplyBuffer);
                // An echo without a number is a mismatch, whatever was sent;
                // its message shows what came back in the number's place.
                const std::optional<double> echoed = table::echoedValue(ReplyBuffer);
                returned = echoed.value_or(0.0);
                if (!echoed || returned != sent) {
                    const std::string shown =
                        echoed ? signedNumberText(returned) : table::withoutLineEnd(table::replyValueField(ReplyBuffer));
                    MsgBox(" Value returned (" + shown + ") does not match value sent! (" + signedNumberText(sent) +
                               "), can't continue... ",
                           "Error");
                    return false;
                }
                return true;
            };

            LineIndex = 1;
            for (size_t i = 0; CommOK == 1 && i < lines.size(); ++i) {
                ui.doEvents();
                LineBuffer = lines[i];
                if (!isDataLine(LineBuffer)) continue;
                ProgressBar1.setValue(std::min(LineIndex, ProgressBar1.max()));
                IndexField = table::indexField(LineIndex);
                const table::DataFields fields = table::splitDataLine(LineBuffer);
                TempSent = leadingNumberValue(fields.temperature);
                RatioSent = leadingNumberValue(fields.ratio);

                if (!writeValue("JT", TempSent, TempRead) || !writeValue("JR", RatioSent, RatioRead)) {
                    CommOK = 0;
                    break;
                }
                ++LineIndex;
            }

            Stat1("");
            if (CommOK == 1)
                MsgBox(table::TransferComplete, "Information", Buttons::OK, Icon::Information);
        }
    } catch (const SerialError& e) {
        PortFailed(e);
        Stat1("");
    }

    if (MSComm1.isOpen()) MSComm1.close();
    Stat1(CommOK == 1 ? "Table successfully transferred to unit..." : "Transfer aborted...");
    ProgressBar1.setValue(0);
    EnableFrames();
    Frame3.setEnabled(true);
}

}  // namespace qv
