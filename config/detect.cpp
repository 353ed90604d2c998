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
            // Sends one value query; its value text, or nothing when no reply
            // came or the reply is too short to carry one (a lone LF,
            // "*0001" CR LF). Either way the unit did not tell its value, so
            // both end the detection alike.
            auto query = [this](const char* mnemonic) {
                SendReceive(config::queryLine(UnitID, mnemonic), DetectLimitSec);
                return config::replyValueText(ReplyBuffer);
            };

            SendReceive(config::queryLine(UnitID, "VR"), DetectLimitSec);
            if (!config::isKnownUnit(ReplyBuffer, UnitID)) {
                MsgBox(" Unit not detected!  Check communication settings and connections. ");
            } else if (std::optional<std::string> jh = query("JH"); !jh) {
                MsgBox(" Error communicating with unit ");
            } else {
                txt12HourTemp.setText(*jh);
                std::optional<std::string> jp = query("JP");
                if (!jp) {
                    MsgBox(" Error communicating with unit ");
                } else if (std::optional<int> position = config::detectedTempUnitPosition(*jp); !position) {
                    // The list has positions 0 to 2 only: keep its selection
                    // and end as after a missing reply.
                    MsgBox(" Illegal table temp unit returned. ");
                } else {
                    cboTableTempUnit.setListIndex(*position);
                    if (std::optional<std::string> jc = query("JC"); !jc) {
                        MsgBox(" Error communicating with unit ");
                    } else {
                        txtPressureReductionConstant.setText(*jc);
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
