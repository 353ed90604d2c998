// "Get Current Values From Unit": reads, checks and shows the three
// configuration values, one exchange each; a value that fails is reported on
// its own and the next one is read regardless.
#include "app/main_form.h"
#include "common/numbers.h"
#include "config/config_lines.h"

namespace qv {

namespace {

constexpr int ReadLimitSec = 3;
// The 12-hour temperature value shown lies strictly between these.
constexpr double LowestTemp = -10000;
constexpr double HighestTemp = 100000;

}  // namespace

void MainForm::cmdReadCurrentValues_Click() {
    DisableFrames();
    Frame3.setEnabled(false);

    VerifyCommunication();
    if (CommOK == 1) {
        try {
            bool tempRead = false;
            bool unitRead = false;
            bool constantRead = false;

            ui.doEvents();
            Stat1("Reading 12-hour temperature value from unit...");
            SendReceive(config::queryLine(UnitID, "JH"), ReadLimitSec);
            if (ReplyBuffer.empty()) {
                Stat1("");
                MsgBox(" Unit is not responding or is not a Rarerizeza Rerededo!  ", "Communications");
                CommOK = 0;
            } else {
                double v = config::replyNumber(ReplyBuffer);
                if (v > LowestTemp && v < HighestTemp) {
                    txt12HourTemp.setText(signedNumberText(v));
                    tempRead = true;
                } else {
                    MsgBox(" 12 H Temperature Value Not Set or Not in Table. ", "Transfer");
                    CommOK = 0;
                }
            }

            ui.doEvents();
            Stat1("Reading Table Temperature Units Value from unit...");
            SendReceive(config::queryLine(UnitID, "JP"), ReadLimitSec);
            if (ReplyBuffer.empty()) {
                Stat1("");
                MsgBox(" Unit is not responding or is not a Rarerizeza Rerededo! ", "Communications");
                CommOK = 0;
            } else {
                std::optional<char> code = config::replyCharacter(ReplyBuffer, 9);
                if (code && *code >= '0' && *code <= '2') {
                    cboTableTempUnit.setListIndex(*code - '0');
                    unitRead = true;
                } else {
                    MsgBox(" Illegal table temp unit returned. ");
                    CommOK = 0;
                }
            }

            ui.doEvents();
            Stat1("Reading Pressure Reduction Constant Value from unit...");
            SendReceive(config::queryLine(UnitID, "JC"), ReadLimitSec);
            // A reply too short to hold a value text counts as no reply.
            std::optional<std::string> constant = config::replyValueText(ReplyBuffer);
            if (!constant) {
                Stat1("");
                MsgBox(" Unit is not responding or is not a Rarerizeza Rerededo! ", "Communications");
                CommOK = 0;
            } else {
                txtPressureReductionConstant.setText(*constant);
                constantRead = true;
            }

            if (tempRead && unitRead && constantRead) Stat1("Configuration values read successfully.");
        } catch (const SerialError& e) {
            PortFailed(e);
        }
        MSComm1.close();
    }

    EnableFrames();
    Frame3.setEnabled(true);
}

}  // namespace qv
