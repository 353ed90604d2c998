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

// The value of a JT reply. The reply repeats the index it answers, so
// the four-digit index of line 1000 puts the value one character later than
// the 12th, where the three-digit index of every other line puts it.
double replyValueAfterIndex(const std::string& reply, const std::string& indexField) {
    const size_t extra = indexField.size() > 3 ? indexField.size() - 3 : 0;
    return table::replyValue(std::string_view(reply).substr(std::min(extra, reply.size())));
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
                Stat1("Received :" + ReplyBuffer);
                TempRead = replyValueAfterIndex(ReplyBuffer, IndexField);
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
                Stat1("Received :" + ReplyBuffer);
                RatioRead = table::replyValue(ReplyBuffer);

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
