// "Save Displayed Values To Unit": checks the three values shown, writes each
// with the enable prefix and reads it back. A write that fails is reported
// on its own and the next one goes ahead.
#include <cmath>

#include "app/main_form.h"
#include "common/numbers.h"
#include "config/config_lines.h"

namespace qv {

namespace {

constexpr int UnitLimitSec = 3;
constexpr int TempLimitSec = 5;
constexpr int ConstantLimitSec = 3;
// A JP or JC line that gets no reply goes out this often in all.
constexpr int MaxAttempts = 3;
// Both values must lie within these bounds (the constant once rounded).
constexpr double LowestValue = -9999999;
constexpr double HighestValue = 9999999;
// How far the constant read back may lie from the one written.
constexpr double ConstantTolerance = 0.000001;

bool inRange(double v) { return v >= LowestValue && v <= HighestValue; }

const char* const NotRespondingInfo = " Unit is not responding or is not a Rarerizeza Rerededo! ";

}  // namespace

void MainForm::cmdWriteValues_Click() {
    // Checks before anything is sent; the first failing one ends the click.
    std::optional<double> temp = wholeTextValue(txt12HourTemp.text());
    if (!temp || *temp != std::trunc(*temp)) {
        MsgBox("Invalid 12-hour temperature value - integers only");
        return;
    }
    if (!inRange(*temp)) {
        MsgBox("12-hour temperature value out of range (-9999999  to 9999999)");
        return;
    }
    const std::optional<double> constant = wholeTextValue(txtPressureReductionConstant.text());
    if (!constant) {
        MsgBox("Invalid pressure reduction constant value");
        return;
    }
    if (!inRange(roundHalfEven(*constant))) {
        MsgBox("Pressure reduction constant value out of range (-9999999  to 9999999)");
        return;
    }

    // The frames go off before the link is verified: a click during that
    // wait must not start a second operation inside this one.
    DisableFrames();
    Frame3.setEnabled(false);
    VerifyCommunication();
    if (CommOK == 1) {
        WritingToUnit writing(*this);
        try {
            // Sends a write line until a reply comes, at most MaxAttempts times;
            // false when none came.
            auto writeWithRetries = [this](const std::string& line, int sec) {
                for (int attempt = 1;; ++attempt) {
                    SendReceive(line, sec);
                    if (!ReplyBuffer.empty()) return true;
                    if (attempt == MaxAttempts) return false;
                    ui.doEvents();
                }
            };
            bool unitWritten = false;
            bool tempWritten = false;
            bool constantWritten = false;

            // Table temperature unit. With no unit selected there is nothing
            // the unit could store, so nothing is sent.
            ui.doEvents();
            const int position = cboTableTempUnit.listIndex();
            if (position >= 0) {
                const std::string digit = std::to_string(position);
                if (writeWithRetries(config::writeLine(UnitID, "EW", "JP", digit), UnitLimitSec) &&
                    config::replyCharacter(ReplyBuffer, 9) == digit[0]) {
                    unitWritten = true;
                }
            }
            if (!unitWritten) {
                MsgBox(NotRespondingInfo, "Info");
                CommOK = 0;
            }

            // 12-hour temperature value, read from its box again.
            ui.doEvents();
            Stat1("Writing config data to unit...");
            const std::string tempText = txt12HourTemp.text();
            const double v = leadingNumberValue(tempText);
            if (tempText.empty()) {
                MsgBox(" Please Enter Value to write. ", "Info");
                CommOK = 0;
            } else if (v != std::trunc(v)) {
                MsgBox(" Invalid data. Please use Integer Values only. ", "Info");
                CommOK = 0;
            } else if (!config::tableHoldsTemperature(List2.items(), v)) {
                MsgBox(" 12 H Temperature Value Not in Table. ", "Write");
                CommOK = 0;
            } else {
                SendReceive(config::writeLine(UnitID, "EW", "JH", valueText(v)), TempLimitSec);
                if (ReplyBuffer.empty()) {
                    Stat1("");
                    MsgBox(" Unit is not responding or is not a Rarerizeza Rerededo!  ", "Communications");
                    CommOK = 0;
                } else {
                    // An echo without a number is a mismatch, whatever was sent.
                    const std::optional<double> r = config::echoedNumber(ReplyBuffer);
                    if (r && *r == v) {
                        txt12HourTemp.setText(signedNumberText(*r));
                        tempWritten = true;
                    } else {
                        MsgBox(" Value retuned is different than value set. ", "Info");
                        CommOK = 0;
                    }
                }
            }

            // Pressure reduction constant; the frames were off since its check,
            // so its text is still the one checked.
            ui.doEvents();
            if (writeWithRetries(config::writeLine(UnitID, "EW", "JC", valueText(*constant)),
                                 ConstantLimitSec)) {
                std::optional<std::string> returned = config::replyValueText(ReplyBuffer);
                std::optional<double> value = returned ? wholeTextValue(*returned) : std::nullopt;
                if (value && std::fabs(*value - *constant) <= ConstantTolerance) {
                    txtPressureReductionConstant.setText(*returned);
                    constantWritten = true;
                }
            }
            if (!constantWritten) {
                MsgBox(NotRespondingInfo, "Info");
                CommOK = 0;
            }

            if (unitWritten && tempWritten && constantWritten)
                Stat1("Configuration values saved successfully.");
        } catch (const SerialError& e) {
            PortFailed(e);
        }
        MSComm1.close();
    }

    EnableFrames();
    Frame3.setEnabled(true);
}

}  // namespace qv
