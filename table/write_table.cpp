// "Save Table to Unit": checks every line of the table file, checks the
// unit's barometric mode, then writes each line and compares every echo.
#include <algorithm>
#include <cmath>

#include "app/main_form.h"
#include "common/numbers.h"
#include "table/table_lines.h"
#include "table/table_messages.h"

namespace qv {

namespace {

constexpr int ModeLimitSec = 1;
constexpr int WriteLimitSec = 2;

const std::string TooManyLines = " Table has more than 999 lines.  Transfer aborted. ";

// A field the unit can be sent: it reads whole as a number within a double's
// range (a larger one could only go out as some other number).
bool isSendableNumber(const std::string& field) {
    const std::optional<double> value = wholeTextValue(field);
    return value && std::isfinite(*value);
}

// A reply's text without its CR and LF characters.
std::string withoutLineEnd(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

}  // namespace

void MainForm::Command1_Click() {
    DisableFrames();
    Frame3.setEnabled(false);
    VerifyCommunication();

    if (CommOK == 1 && List1.listCount() == 0) {
        MsgBox(" No Table from File to transfer. ", "Info", Buttons::OK, Icon::Exclamation);
        CommOK = 0;
    }

    // Check pass: every data line must be well formed before anything is sent.
    if (CommOK == 1) {
        const std::optional<std::vector<std::string>> lines = table::readTableFile(*this);
        if (!lines) {
            CommOK = 0;
        } else {
            int physicalLine = 0;
            int dataLines = 0;
            bool invalid = false;
            bool tooMany = false;
            for (const std::string& line : *lines) {
                ui.doEvents();
                LineBuffer = line;
                ++physicalLine;
                if (table::classifyLine(LineBuffer) != table::LineKind::Data) continue;
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
                MsgBox(" Invalid table entry, line " + signedNumberText(physicalLine) +
                           ".  Transfer aborted.",
                       "Error", Buttons::OK, Icon::Exclamation);
            } else if (tooMany) {
                CommOK = 0;
                MsgBox(TooManyLines, "Error", Buttons::OK, Icon::Exclamation);
            }
            Stat1("");
        }
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

        // Write pass: the lines are read from the file again and each value
        // written is read back and compared with what was sent.
        if (CommOK == 1) {
            WritingToUnit writing(*this);
            List2.clear();
            ProgressBar1.setMax(List1.listCount());
            ProgressBar1.setValue(0);
            ui.doEvents();
            Stat1("Transfering table...");

            std::vector<std::string> lines;
            if (auto read = table::readTableFile(*this))
                lines = std::move(*read);
            else
                CommOK = 0;

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
                        echoed ? signedNumberText(returned) : withoutLineEnd(table::replyValueField(ReplyBuffer));
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
                if (table::isHeaderLine(LineBuffer)) continue;
                if (table::trimLeadingBlanks(LineBuffer).empty()) continue;
                // The file may have grown since the check pass.
                if (LineIndex > table::MaxLineIndex) {
                    MsgBox(TooManyLines, "Error", Buttons::OK, Icon::Exclamation);
                    CommOK = 0;
                    break;
                }
                ProgressBar1.setValue(std::min(LineIndex, ProgressBar1.max()));
                IndexField = table::indexField(LineIndex);

                table::DataFields fields = table::splitDataLine(LineBuffer);
                if (!isSendableNumber(fields.temperature)) {
                    MsgBox(" Non-numeric temperature value detected, line " +
                               signedNumberText(LineIndex) + ".  Transfer aborted.",
                           "Error");
                    CommOK = 0;
                    break;
                }
                TempSent = leadingNumberValue(fields.temperature);
                if (!isSendableNumber(fields.ratio)) {
                    MsgBox(" Non-numeric ratio value detected, line " + signedNumberText(LineIndex) +
                               ".  Transfer aborted.",
                           "Error");
                    CommOK = 0;
                    break;
                }
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
