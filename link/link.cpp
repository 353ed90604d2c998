// The command exchange with the unit, the status line and the link check that
// opens every operation.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "app/main_form.h"
#include "common/numbers.h"
#include "link/reply_lines.h"

namespace qv {

namespace {

// How long one pass of the wait sleeps at most for the port to become
// readable before the window's events are handled again: short enough that
// the window answers within a few milliseconds even on a busy machine, long
// enough that an idle wait costs well under one per cent of a core.
constexpr int WaitSliceMs = 5;

// A run-time error raised while the link settings are taken over (a port
// number that is no number, or one that does not fit 16 bits).
constexpr int TypeMismatch = 13;
constexpr int Overflow = 6;

int portNumberFromText(const std::string& text) {
    std::optional<double> value = wholeTextValue(text);
    if (!value) throw SerialError(TypeMismatch, "Type mismatch");
    double whole = roundHalfEven(*value);
    if (!(whole >= -32768 && whole <= 32767)) throw SerialError(Overflow, "Overflow");
    return static_cast<int>(whole);
}

// A number as the messages print it: one leading blank when not negative.
std::string errorNumberText(int number) {
    return (number >= 0 ? " " : "") + std::to_string(number);
}

}  // namespace

void MainForm::Stat1(const std::string& b) { Label2.setCaption(b); }

void MainForm::SendReceive(const std::string& OutputString, int Sec) {
    if (closing_) throw WindowClosing{};
    // Whatever waits before the command goes out cannot be its reply: it is
    // the late reply to an earlier command (one that came after its exchange
    // timed out), so it is read and thrown away, line by line.
    const std::string waiting = MSComm1.readAvailable();
    for (size_t start = 0, end; start < waiting.size(); start = end) {
        end = std::min(waiting.find('\n', start), waiting.size() - 1) + 1;
        MSComm1.lateReplyDropped(waiting.substr(start, end - start));
    }
    MSComm1.write(OutputString + "\r\n");
    const double deadline = clock.seconds() + Sec;
    ReplyBuffer.clear();
    for (;;) {
        ui.doEvents();
        if (closing_) {
            ReplyBuffer.clear();
            throw WindowClosing{};
        }
        ReplyBuffer += MSComm1.readAvailable();
        // A whole line at the start that names another command answers an
        // earlier one and came late: it is dropped, and the wait goes on with
        // what follows it. The first line that may answer this command ends
        // the search, and the lines after it are kept as they came.
        for (size_t lf = ReplyBuffer.find('\n');
             lf != std::string::npos && !link::answersCommand(OutputString, std::string_view(ReplyBuffer).substr(0, lf));
             lf = ReplyBuffer.find('\n')) {
            MSComm1.lateReplyDropped(ReplyBuffer.substr(0, lf + 1));
            ReplyBuffer.erase(0, lf + 1);
        }
        if (!ReplyBuffer.empty() && ReplyBuffer.back() == '\n') return;
        const double now = clock.seconds();
        if (now > deadline) break;
        // Sleep until characters arrive, but never past the deadline and never
        // longer than one slice, so the window stays live.
        const double leftMs = (deadline - now) * 1000.0;
        const int waitMs = std::clamp(static_cast<int>(std::ceil(leftMs)) + 1, 1, WaitSliceMs);
        MSComm1.waitReadable(waitMs);
    }
    MSComm1.replyTimedOut(Sec);
    ReplyBuffer.clear();
}

void MainForm::VerifyCommunication() {
    if (Combo1.text().empty() || Combo2.text().empty() || Combo3.text().empty()) {
        MsgBox("Must supply value for COM port, baud rate, and ID.", "Error", Buttons::OK, Icon::Stop);
        CommOK = 0;
        return;
    }
    CommOK = 1;
    PortNumber = Combo1.text();
    BaudRate = Combo2.text();
    UnitID = Combo3.text();
    // Another program that reads the device without locking it takes the
    // unit's replies (or garbles them): where the check fails after the port
    // was opened, the status line names such programs.
    bool opened = false;
    auto noteOtherUsers = [&] {
        if (!opened) return;
        if (std::string note = MSComm1.otherUsers(); !note.empty()) Stat1(note);
    };
    try {
        MSComm1.setPortNumber(portNumberFromText(PortNumber));
        MSComm1.setSettings(BaudRate + ",N,8,1");
        MSComm1.open();
        opened = true;
        Stat1("Verifying Communication....");
        SendReceive("*" + UnitID + "00VR", 2);
        if (!ReplyBuffer.empty()) {
            if (ReplyBuffer.substr(1, 2) == "00") {
                Stat1("Communication OK");
            } else {
                Stat1(ReplyBuffer);
                MsgBox(" Unit detected, but at a different Unit ID.  Please verify Unit ID settings. ",
                       "Communications");
                MSComm1.close();
                CommOK = 0;
            }
        } else {
            MsgBox(" Unit is not responding.  Please verify PC and/or unit Port and/or Baud Rate. ",
                   "Communications");
            MSComm1.close();
            CommOK = 0;
        }
        Stat1("");
        if (CommOK == 0) noteOtherUsers();
    } catch (const SerialError& e) {
        CommOK = 0;
        // A failure during the exchange would otherwise leave the port open,
        // and the next verification would be told the port is in use.
        MSComm1.close();
        if (e.number() == SerialError::InvalidPort) {
            MsgBox(" Invalid Serial Port Number!   Please verify... ", "Port", Buttons::OK,
                   Icon::Exclamation);
        } else if (e.number() == SerialError::PortInUse) {
            MsgBox(" Port already in use!   Please verify... ", "Port", Buttons::OK, Icon::Exclamation);
        } else {
            MsgBox(" Error " + errorNumberText(e.number()) + ":  " + e.description(), "Info",
                   Buttons::OK, Icon::Exclamation);
        }
        noteOtherUsers();
    }
}

void MainForm::PortFailed(const SerialError& failure) {
    CommOK = 0;
    MSComm1.close();
    MsgBox(" " + failure.description() + " ", "Port", Buttons::OK, Icon::Exclamation);
}

}  // namespace qv
