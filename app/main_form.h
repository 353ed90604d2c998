// The program's one window: its controls, its form-level state and the
// handlers of every user action. The handlers are spread over the folders of
// their subsystems (app/, link/, config/, table/); they talk only to the
// toolkit layer, so they run unchanged under test and in the real window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/files.h"
#include "platform/serial_devices.h"
#include "platform/serial_port.h"
#include "platform/toolkit.h"
#include "platform/window_model.h"

namespace qv {

// The services the window runs on; the backends and the tests supply them.
struct Platform {
    Toolkit& ui;
    SerialPort& port;
    Clock& clock;
    FileSystem& files;
    // The serial devices present, which the Port list shows beside the numbers.
    SerialDeviceCatalog& serialDevices = noSerialDevices();
};

inline const std::string AppTitle = "Quorvel Config Software";
inline const std::string SettingsFileName = "Quorvel Config Utility Data.txt";

// Thrown out of a wait for the unit when the window is being closed, so that
// the running operation stops without touching the window any further.
struct WindowClosing {};

inline const std::string ClosingWhileWritingText =
    " Values are still being written to the unit.  Closing now leaves the unit partly written.  "
    "Close anyway? ";

class MainForm : public WindowModel {
public:
    explicit MainForm(Platform& platform);
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // ---- Window ----------------------------------------------------------
    const std::string caption;
    static constexpr int ClientWidth = 782;
    static constexpr int ClientHeight = 499;
    static constexpr int OuterWidth = 790;
    static constexpr int OuterHeight = 526;
    // The button Enter clicks in a control that does not take Enter itself;
    // nullptr once the first detection has cleared it.
    Button* defaultButton = nullptr;
    // Every control, container by container in stacking order (bottom first).
    const std::vector<Control*>& controls() const override { return controls_; }

    // ---- Controls --------------------------------------------------------
    Frame Frame10;
    Button cmdReadCurrentValues;
    TextBox txt12HourTemp;
    Button cmdWriteValues;
    ComboBox cboTableTempUnit;
    TextBox txtPressureReductionConstant;
    Label Label13;
    Label Label14;
    Label Label1;

    Frame Frame4;
    Frame Frame5;
    ListBox List2;
    Button Command4;
    Button Command2;
    Frame Frame8;
    ListBox List1;
    Button Command10;
    Frame Frame1;
    OptionArray Option2{"Option2"};
    OptionButton Option2_0;
    OptionButton Option2_1;
    Button Command1;

    Frame Frame2;
    ProgressBar ProgressBar1;
    Label Label2;

    Frame Frame13;
    Frame Frame3;
    Button cmdDetectZov;
    ComboBox Combo1;
    ComboBox Combo2;
    ComboBox Combo3;
    Label Label16;
    Label Label15;
    Label Label8;
    Frame Frame7;
    TextBox Text1;
    Button Command7;
    Label Label7;

    Frame Frame12;
    Button Command12;
    OptionArray Option4{"Option4"};
    OptionButton Option4_1;
    OptionButton Option4_0;

    // ---- Form-level state -------------------------------------------------
    std::string ReplyBuffer;
    int16_t CommOK = 0;
    std::string UnitID;
    std::string PortNumber;
    std::string BaudRate;
    std::string BaroModeSwitch;
    std::string TableFileName;
    std::string LineBuffer;
    int LineIndex = 0;
    std::string IndexField;
    double TempRead = 0;   // also the temperature returned by a table write
    double RatioRead = 0;  // also the ratio returned by a table write
    double TempSent = 0;
    double RatioSent = 0;
    // The line at which the last table read from the unit stopped without its
    // end marker (the rows before it stay in List2); 0 after a finished read.
    int TableReadStoppedAt = 0;

    // ---- Application shell (app/) ------------------------------------------
    // Returns false after a start-up error: the program must end at once.
    bool Form_Load();
    void Form_Unload();
    bool FileExist(const std::string& sTestFile);
    void DisableFrames();
    void EnableFrames();
    void txt12HourTemp_KeyPress(int& KeyAscii);
    void txtPressureReductionConstant_KeyPress(int& KeyAscii);
    void cboTableTempUnit_KeyPress(int& KeyAscii);
    void cboTableTempUnit_Change();
    void Combo1_KeyPress(int& KeyAscii);
    // The Port list opens (and once at start-up): binds every serial device no
    // number reaches to a free number, and shows beside each number what it
    // reaches.
    void Combo1_DropDown();
    void Combo2_KeyPress(int& KeyAscii);
    void Combo3_KeyPress(int& KeyAscii);
    // The settings file in the program's own folder. Throws FileError when
    // there is no such folder.
    std::string settingsPath();

    // ---- Serial link (link/) -----------------------------------------------
    void SendReceive(const std::string& OutputString, int Sec);
    void Stat1(const std::string& b);
    void VerifyCommunication();
    // A port failure in the middle of an operation (SerialError passed on by
    // SendReceive): tells the user (exclamation, title "Port", the failure's
    // description), closes the port and sets CommOK to 0. The operation then
    // ends as after any other failure of its own.
    void PortFailed(const SerialError& failure);

    // ---- Unit configuration (config/) --------------------------------------
    void cmdDetectZov_Click();
    void cmdReadCurrentValues_Click();
    void cmdWriteValues_Click();
    void Command12_Click();

    // ---- Pressure reduction table (table/) ---------------------------------
    void Command10_Click();
    void Text1_KeyPress(int& KeyAscii);
    void Command7_Click();
    void Option2_Click(int Index);
    void Command2_Click();
    void Command4_Click();
    void Command1_Click();

    // ---- Event dispatch and closing ----------------------------------------
    // Every control event runs through here: handlers nest when an event is
    // handled during a wait, and a close requested meanwhile is finished once
    // the outermost handler has returned.
    void dispatch(const std::function<void()>& handler);
    // The window is being closed. While an operation writes to the unit, a
    // close by the user asks first (Yes/No); No returns false with the window
    // and the operation going on as before (closing() stays false). Otherwise
    // runs the shutdown step and returns true when the window may go at once;
    // false when an operation is still running, in which case its wait ends
    // early and onDeferredClose runs when it has unwound.
    bool requestClose(CloseRequest how = CloseRequest::User) override;
    bool closing() const override { return closing_; }
    bool busy() const { return running_ > 0; }
    std::function<void()> onDeferredClose;

    // ---- What the real window shows ----------------------------------------
    std::string windowCaption() const override { return caption; }
    std::string applicationTitle() const override { return AppTitle; }
    WindowSize windowSize() const override { return {ClientWidth, ClientHeight, OuterWidth, OuterHeight}; }
    std::vector<OptionArray*> optionArrays() override { return {&Option2, &Option4}; }
    Button* currentDefaultButton() const override { return defaultButton; }
    void setDeferredClose(std::function<void()> action) override { onDeferredClose = std::move(action); }

    // Held by an operation for as long as it writes to the unit: a close meanwhile
    // would leave the unit partly written, so the user is asked first.
    class WritingToUnit {
    public:
        explicit WritingToUnit(MainForm& form) : form_(form) { ++form_.writing_; }
        ~WritingToUnit() { --form_.writing_; }
        WritingToUnit(const WritingToUnit&) = delete;
        WritingToUnit& operator=(const WritingToUnit&) = delete;

    private:
        MainForm& form_;
    };

    // A message box with the application's title unless another is given;
    // shows nothing while the window is closing.
    Answer MsgBox(const std::string& text, const std::string& title = AppTitle,
                  Buttons buttons = Buttons::OK, Icon icon = Icon::None);

    Toolkit& ui;
    SerialPort& MSComm1;
    Clock& clock;
    FileSystem& files;
    SerialDeviceCatalog& serialDevices;

private:
    void wireEvents();
    std::vector<Control*> controls_;
    int running_ = 0;
    int writing_ = 0;
    bool closing_ = false;
    bool unloaded_ = false;
};

}  // namespace qv
