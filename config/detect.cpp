// "Detect Unit": accepts a unit of a known kind at the chosen link settings,
// reads its three configuration values and makes the whole window usable.
#include "app/main_form.h"
#include "config/config_lines.h"

namespace qv {

namespace {

constexpr int DetectLimitSec = 5;

}  // namespace

void MainForm::cmdDetectZov_Click() {
    // From the first detection on, Enter no longer clicks "Detect Unit".
    defaultButton = nullptr;
    DisableFrames();

    VerifyCommunication();
    if (CommOK == 1) {
        try {
            // Each step answers whether the detection may go on; a step that
            // fails has shown its message already.
            auto query = [this](const char* mnemonic) {
                SendReceive(config::queryLine(UnitID, mnemonic), DetectLimitSec);
                return !ReplyBuffer.empty();
            };
            // A reply too short to carry a value text leaves the box empty.
            auto valueText = [this] { return config::replyValueText(ReplyBuffer).value_or(""); };

            SendReceive(config::queryLine(UnitID, "VR"), DetectLimitSec);
            if (!config::isKnownUnit(ReplyBuffer, UnitID)) {
                MsgBox(" Unit not detected!  Check communication settings and connections. ");
            } else if (!query("JH")) {
                MsgBox(" Error communicating with unit ");
            } else {
                txt12HourTemp.setText(valueText());
                if (!query("JP")) {
                    MsgBox(" Error communicating with unit ");
                } else if (std::optional<int> position =
                               config::detectedTempUnitPosition(valueText());
                           !position) {
                    // The list has positions 0 to 2 only: keep its selection
                    // and end as after a missing reply.
                    MsgBox(" Illegal table temp unit returned. ");
                } else {
                    cboTableTempUnit.setListIndex(*position);
                    if (!query("JC")) {
                        MsgBox(" Error communicating with unit ");
                    } else {
                        txtPressureReductionConstant.setText(valueText());
                        EnableFrames();
                        Label2.setCaption("Unit detected!");
                    }
                }
            }
        } catch (const SerialError& e) {
            PortFailed(e);
        }
        MSComm1.close();
    }

    // After a failure only the link settings and "Detect Unit" are usable.
    Frame13.setEnabled(true);
}

}  // namespace qv
