// "Get Table from Unit": reads the unit's table line by line into List2.
#include <algorithm>
#include <string>
#include <string_view>

#include "app/main_form.h"
#include "table/table_lines.h"
#include "table/table_messages.h"

namespace qv {

namespace {

constexpr int ReadProgressMax = 180;
constexpr int ReadLimitSec = 2;

// The number of a reply to a query for the line with this index field. The
// reply repeats the index it answers, so the four-digit index of line 1000
// puts the value one character later than the 12th, where the three-digit
// index of every other line puts it.
std::optional<double> replyNumberAfterIndex(const std::string& reply, const std::string& indexField) {
    return table::replyNumber(reply, indexField.size() > 3 ? indexField.size() - 3 : 0);
}

}  // namespace

void MainForm::Command4_Click() {
    ProgressBar1.setMax(ReadProgressMax);
    ProgressBar1.setValue(0);
    DisableFrames();
    Frame3.setEnabled(false);

    VerifyCommunication();
    if (CommOK == 1) {
        bool failed = false;
        try {
            List2.clear();
            ui.doEvents();
            Stat1("Reading table from unit...");
            // Sends one query for the current line; false, after telling the
            // user, when no reply came.
            auto ask = [this](const char* mnemonic) {
                const std::string command = "*" + UnitID + "00" + mnemonic + IndexField;
                Stat1("Sending: " + command);
                SendReceive(command, ReadLimitSec);
                if (!ReplyBuffer.empty()) return true;
                MsgBox(" Unit is not responding or is not a Rarerizeza Rerededo! ", "Communications");
                return false;
            };
            // The number of the reply just received; nothing, after telling
            // the user, when its value is not a number as a whole: a garbled
            // reply must never become a value of the table.
            auto number = [this]() -> std::optional<double> {
                Stat1("Received :" + ReplyBuffer);
                if (auto value = replyNumberAfterIndex(ReplyBuffer, IndexField)) return value;
                MsgBox(" The unit's reply for table line " + std::to_string(LineIndex) + " is not a number: \"" +
                           table::withoutLineEnd(ReplyBuffer) + "\".  Transfer stopped. ",
                       "Transfer", Buttons::OK, Icon::Exclamation);
                return std::nullopt;
            };
            LineIndex = 1;
            for (;;) {
                // Marks List2 as incomplete until the end marker comes, on
                // every way out of the loop.
                TableReadStoppedAt = LineIndex;
                ui.doEvents();
                // Lines 001 to 999 have a three-digit index; after a full
                // table the end marker is asked for as line 1000.
                IndexField = table::indexField(LineIndex);

                if (!ask("JT")) {
                    failed = true;
                    break;
                }
                ProgressBar1.setValue(std::min(LineIndex, ProgressBar1.max()));
                const std::optional<double> temperature = number();
                if (!temperature) {
                    failed = true;
                    break;
                }
                TempRead = *temperature;
                if (TempRead == table::EndMarkerTemperature) {
                    TableReadStoppedAt = 0;
                    break;
                }
                // A line 1000 could never be written back (the write
                // addresses lines 001 to 999): the table cannot be taken.
                if (LineIndex > table::MaxLineIndex) {
                    MsgBox(" Table has more than 999 lines. Transfer stopped. ", "Transfer",
                           Buttons::OK, Icon::Exclamation);
                    failed = true;
                    break;
                }

                if (!ask("JR")) {
                    failed = true;
                    break;
                }
                const std::optional<double> ratio = number();
                if (!ratio) {
                    failed = true;
                    break;
                }
                RatioRead = *ratio;

                List2.addItem(table::tableRow(TempRead, RatioRead));
                ++LineIndex;
            }
        } catch (const SerialError& e) {
            PortFailed(e);
            failed = true;
        }
        if (failed) CommOK = 0;

        MSComm1.close();
        Stat1("");
        if (CommOK == 1) {
            MsgBox(table::TransferComplete, "Information", Buttons::OK, Icon::Information);
            Stat1("Table transferred successfully from unit.");
        }
    }

    ProgressBar1.setValue(0);
    EnableFrames();
    Frame3.setEnabled(true);
}

}  // namespace qv
