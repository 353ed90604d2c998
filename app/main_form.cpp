#include "app/main_form.h"


namespace qv {

namespace {

const FontSpec OuterFont{9.75, true};
const FontSpec InnerFont{8.25, true};

}  // namespace

MainForm::MainForm(Platform& p)
    : caption("Morvelaine\u00ae Quorvel Configuration Software" + std::string(106, ' ') +
              "Version 1.1.0"),
      Frame10("Frame10", nullptr, {364, 10, 411, 169}, 28, "Unit Configuration"),
      cmdReadCurrentValues("cmdReadCurrentValues", &Frame10, {10, 32, 115, 47}, 33,
                           "Get Current Values From Unit"),
      txt12HourTemp("txt12HourTemp", &Frame10, {328, 36, 71, 19}, 32),
      cmdWriteValues("cmdWriteValues", &Frame10, {10, 96, 115, 51}, 31,
                     "Save Displayed Values To Unit"),
      cboTableTempUnit("cboTableTempUnit", &Frame10, {328, 76, 71, 21}, 30),
      txtPressureReductionConstant("txtPressureReductionConstant", &Frame10, {328, 118, 71, 19}, 29),
      Label13("Label13", &Frame10, {180, 38, 143, 17}, 36, "12-hour temperature value:"),
      Label14("Label14", &Frame10, {146, 80, 175, 17}, 35, "Pressure Reduction Table temp. unit:"),
      Label1("Label1", &Frame10, {148, 120, 177, 17}, 34, "Pressure reduction constant  (inHg):"),
      Frame4("Frame4", nullptr, {6, 184, 769, 217}, 17, "Transfer Pressure Reduction Table"),
      Frame5("Frame5", &Frame4, {386, 20, 375, 187}, 37, "Transfer from Unit to PC File"),
      List2("List2", &Frame5, {92, 18, 275, 160}, 40),
      Command4("Command4", &Frame5, {6, 50, 79, 43}, 39, "Get Table from Unit"),
      Command2("Command2", &Frame5, {6, 106, 79, 43}, 38, "Save Table   to PC File"),
      Frame8("Frame8", &Frame4, {8, 20, 375, 187}, 18, "Transfer from PC File to Unit"),
      List1("List1", &Frame8, {92, 16, 275, 160}, 24),
      Command10("Command10", &Frame8, {6, 26, 79, 43}, 23, "Get Table  from PC File"),
      Frame1("Frame1", &Frame8, {6, 128, 79, 53}, 20, "Header"),
      Option2_0(Option2, 0, &Frame1, {14, 32, 49, 17}, 22, "Show"),
      Option2_1(Option2, 1, &Frame1, {14, 16, 49, 17}, 21, "Hide"),
      Command1("Command1", &Frame8, {6, 78, 79, 43}, 19, "Save Table to Unit"),
      Frame2("Frame2", nullptr, {6, 408, 771, 81}, 0, "Status"),
      ProgressBar1("ProgressBar1", &Frame2, {12, 24, 749, 17}, 1),
      Label2("Label2", &Frame2, {12, 48, 749, 25}, 2, ""),
      Frame13("Frame13", nullptr, {6, 10, 355, 169}, 7, "Program Setup"),
      Frame3("Frame3", &Frame13, {8, 22, 335, 65}, 12, "Communications"),
      cmdDetectZov("cmdDetectZov", &Frame3, {212, 24, 103, 25}, 27, "Detect Unit"),
      Combo1("Combo1", &Frame3, {10, 32, 47, 21}, 15),
      Combo2("Combo2", &Frame3, {66, 32, 71, 21}, 14),
      Combo3("Combo3", &Frame3, {146, 32, 47, 21}, 13),
      Label16("Label16", &Frame3, {146, 16, 41, 17}, 26, "Unit ID"),
      Label15("Label15", &Frame3, {66, 16, 27, 17}, 25, "Baud:"),
      Label8("Label8", &Frame3, {10, 16, 27, 17}, 16, "Port:"),
      Frame7("Frame7", &Frame13, {8, 94, 335, 65}, 8, " Pressure Reduction Table Filename"),
      Text1("Text1", &Frame7, {82, 28, 241, 19}, 10),
      Command7("Command7", &Frame7, {10, 22, 61, 27}, 9, "Select File"),
      Label7("Label7", &Frame7, {82, 12, 169, 17}, 11, "File selected:"),
      Frame12("Frame12", nullptr, {108, 24, 193, 65}, 3, "Barometric Mode"),
      Command12("Command12", &Frame12, {112, 24, 65, 25}, 6, "Write"),
      Option4_1(Option4, 1, &Frame12, {40, 40, 65, 17}, 5, "Disable"),
      Option4_0(Option4, 0, &Frame12, {40, 16, 57, 17}, 4, "Enable"),
      ui(p.ui),
      MSComm1(p.port),
      clock(p.clock),
      files(p.files),
      serialDevices(p.serialDevices) {
    controls_ = {&Frame10, &cmdReadCurrentValues, &txt12HourTemp, &cmdWriteValues,
                 &cboTableTempUnit, &txtPressureReductionConstant, &Label13, &Label14, &Label1,
                 &Frame4, &Frame5, &List2, &Command4, &Command2, &Frame8, &List1, &Command10,
                 &Frame1, &Option2_0, &Option2_1, &Command1, &Frame2, &ProgressBar1, &Label2,
                 &Frame13, &Frame3, &cmdDetectZov, &Combo1, &Combo2, &Combo3, &Label16, &Label15,
                 &Label8, &Frame7, &Text1, &Command7, &Label7, &Frame12, &Command12, &Option4_1,
                 &Option4_0};

    for (Control* c : {static_cast<Control*>(&Frame10), static_cast<Control*>(&Frame4),
                       static_cast<Control*>(&Frame2), static_cast<Control*>(&Frame13),
                       static_cast<Control*>(&Label2)})
        c->font = OuterFont;
    for (Control* c : {static_cast<Control*>(&Frame5), static_cast<Control*>(&Frame8),
                       static_cast<Control*>(&Frame1), static_cast<Control*>(&Frame3),
                       static_cast<Control*>(&Frame7), static_cast<Control*>(&Frame12),
                       static_cast<Control*>(&txt12HourTemp),
                       static_cast<Control*>(&txtPressureReductionConstant),
                       static_cast<Control*>(&cboTableTempUnit), static_cast<Control*>(&Combo1),
                       static_cast<Control*>(&Combo2), static_cast<Control*>(&Combo3)})
        c->font = InnerFont;
    Label2.foreColor = {128, 0, 128};
    Label2.keepsLookWhenDisabled = true;
    ProgressBar1.keepsLookWhenDisabled = true;

    for (const char* unit : {"    \u00b0C", "    \u00b0F", "    \u00b0R"}) cboTableTempUnit.addItem(unit);

    // Design state: only Program Setup (with Communications), Barometric Mode
    // and Status are usable; "Hide" is selected; "Detect Unit" is the default.
    for (Frame* f : {&Frame10, &Frame4, &Frame5, &Frame8, &Frame1, &Frame7}) f->setEnabled(false);
    Option2_1.setValue(true);
    defaultButton = &cmdDetectZov;

    wireEvents();
}

void MainForm::wireEvents() {
    auto on = [this](void (MainForm::*handler)()) {
        return [this, handler] { dispatch([this, handler] { (this->*handler)(); }); };
    };
    auto key = [this](void (MainForm::*handler)(int&)) {
        return [this, handler](int& k) { dispatch([this, handler, &k] { (this->*handler)(k); }); };
    };

    cmdReadCurrentValues.onClick = on(&MainForm::cmdReadCurrentValues_Click);
    cmdWriteValues.onClick = on(&MainForm::cmdWriteValues_Click);
    cmdDetectZov.onClick = on(&MainForm::cmdDetectZov_Click);
    Command12.onClick = on(&MainForm::Command12_Click);
    Command10.onClick = on(&MainForm::Command10_Click);
    Command7.onClick = on(&MainForm::Command7_Click);
    Command2.onClick = on(&MainForm::Command2_Click);
    Command4.onClick = on(&MainForm::Command4_Click);
    Command1.onClick = on(&MainForm::Command1_Click);
    Option2.onClick = [this](int index) { dispatch([this, index] { Option2_Click(index); }); };

    txt12HourTemp.onKeyPress = key(&MainForm::txt12HourTemp_KeyPress);
    txtPressureReductionConstant.onKeyPress = key(&MainForm::txtPressureReductionConstant_KeyPress);
    cboTableTempUnit.onKeyPress = key(&MainForm::cboTableTempUnit_KeyPress);
    cboTableTempUnit.onChange = [this] { cboTableTempUnit_Change(); };
    Combo1.onKeyPress = key(&MainForm::Combo1_KeyPress);
    Combo1.onDropDown = on(&MainForm::Combo1_DropDown);
    Combo2.onKeyPress = key(&MainForm::Combo2_KeyPress);
    Combo3.onKeyPress = key(&MainForm::Combo3_KeyPress);
    Text1.onKeyPress = key(&MainForm::Text1_KeyPress);
}

void MainForm::dispatch(const std::function<void()>& handler) {
    if (closing_) return;
    ++running_;
    try {
        handler();
    } catch (const WindowClosing&) {
        // The window is going away: release the port and stop here.
        MSComm1.close();
    } catch (...) {
        --running_;
        throw;
    }
    --running_;
    if (running_ == 0 && closing_ && onDeferredClose) onDeferredClose();
}

bool MainForm::requestClose(CloseRequest how) {
    if (how == CloseRequest::User && !closing_ && running_ > 0 && writing_ > 0) {
        const Answer answer =
            ui.messageBox(ClosingWhileWritingText, AppTitle, Buttons::YesNo, Icon::Exclamation, Answer::No);
        // A forced close that came while the question was open has decided already.
        if (answer != Answer::Yes && !closing_) return false;
    }
    if (!unloaded_) {
        unloaded_ = true;
        Form_Unload();
    }
    if (running_ == 0) return true;
    closing_ = true;
    return false;
}

Answer MainForm::MsgBox(const std::string& text, const std::string& title, Buttons buttons,
                        Icon icon) {
    if (closing_) return buttons == Buttons::YesNo ? Answer::No : Answer::OK;
    return ui.messageBox(text, title, buttons, icon);
}

void MainForm::DisableFrames() {
    for (Frame* f : {&Frame1, &Frame2, &Frame4, &Frame5, &Frame7, &Frame8, &Frame10, &Frame12, &Frame13})
        f->setEnabled(false);
}

void MainForm::EnableFrames() {
    for (Frame* f : {&Frame1, &Frame2, &Frame4, &Frame5, &Frame7, &Frame8, &Frame10, &Frame12, &Frame13})
        f->setEnabled(true);
}

namespace {

// Digits, "-" and "." pass; everything else is dropped with a beep.
void numericKeyFilter(Toolkit& ui, int& KeyAscii) {
    bool pass = (KeyAscii >= '0' && KeyAscii <= '9') || KeyAscii == '-' || KeyAscii == '.';
    if (!pass) {
        KeyAscii = 0;
        ui.beep();
    }
}

}  // namespace

void MainForm::txt12HourTemp_KeyPress(int& KeyAscii) { numericKeyFilter(ui, KeyAscii); }
void MainForm::txtPressureReductionConstant_KeyPress(int& KeyAscii) { numericKeyFilter(ui, KeyAscii); }
// The drop-down boxes take their values from their lists only.
void MainForm::cboTableTempUnit_KeyPress(int& KeyAscii) { KeyAscii = 0; }
void MainForm::cboTableTempUnit_Change() {}
void MainForm::Combo1_KeyPress(int& KeyAscii) { KeyAscii = 0; }

void MainForm::Combo1_DropDown() {
    // Enumerated on every opening, so an adapter plugged in meanwhile shows.
    Combo1.setItemDetails(portListDetails(ui.programFolder(), serialDevices.devices()));
}

void MainForm::Combo2_KeyPress(int& KeyAscii) { KeyAscii = 0; }
void MainForm::Combo3_KeyPress(int& KeyAscii) { KeyAscii = 0; }

}  // namespace qv
