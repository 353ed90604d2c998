// "Write" in the Barometric Mode frame: writes the chosen mode into the unit
// and checks the unit's echo.
#include "app/main_form.h"
#include "config/config_lines.h"

namespace qv {

namespace {

constexpr int ModeLimitSec = 5;

}  // namespace

void MainForm::Command12_Click() {
    DisableFrames();

    VerifyCommunication();
    if (CommOK == 1) {
        WritingToUnit writing(*this);
        try {
            ui.doEvents();
            Stat1("Writing Barometric mode...");
            // "Enable" writes 1, "Disable" 0.
            const int selected = Option4.selected();
            if (selected < 0) {
                MsgBox(" Please Select Mode to write. ", "Info");
                CommOK = 0;
            } else {
                const char mode = selected == 0 ? '1' : '0';
                SendReceive(config::writeLine(UnitID, "EZ", "PB", std::string(1, mode)), ModeLimitSec);
                if (ReplyBuffer.empty()) {
                    Stat1("");
                    MsgBox(" Unit is not responding or Barometric mode is disabled.  ", "Communications");
                    CommOK = 0;
                } else if (config::replyCharacter(ReplyBuffer, 9) == mode) {
                    Stat1("Barometric Mode OK");
                } else {
                    MsgBox(" Can't write Barometric Mode. ", "Info");
                    CommOK = 0;
                }
            }
        } catch (const SerialError& e) {
            PortFailed(e);
        }
        MSComm1.close();
    }

    EnableFrames();
}

}  // namespace qv
