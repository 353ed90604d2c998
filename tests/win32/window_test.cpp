// The native window on Windows, in this process, in a folder of its own: its
// layout at the design's and a higher DPI, fonts, colours, keys, message
// boxes, file dialogs and closing, driven through the window's messages; and
// (with QUORVEL_E2E_PORT naming the COM port of a simulated unit) one run of
// operations with real mouse clicks. The handlers' own work is checked on
// the headless toolkit.

#include <gtest/gtest.h>

#include "platform/win32/win32_toolkit.h"
#include "platform/win32/win32_window.h"

#include <commctrl.h>
#include <dlgs.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/main_form.h"
#include "common/numbers.h"
#include "platform/win32/win32_serial_port.h"
#include "sim/model_port.h"
#include "support/temp_dir.h"
#include "support/window_design.h"

namespace qv {
namespace {

using test::Design;
using test::Placement;

// The toolkit with a look at every event pass of the running operation.
struct WatchedToolkit : Win32Toolkit {
    using Win32Toolkit::Win32Toolkit;
    std::function<void()> onEvents;
    void doEvents() override {
        Win32Toolkit::doEvents();
        if (onEvents) onEvents();
    }
};

// A box as it was shown: text, title, the system icon it shows.
struct SeenBox {
    std::string text, title;
    HICON icon;
    bool operator==(const SeenBox&) const = default;
};

std::string textOf(HWND h) {
    wchar_t buffer[1024] = {};
    ::GetWindowTextW(h, buffer, 1024);
    return win32::utf8(buffer);
}

// The open dialogs of this thread (message boxes, file dialogs).
HWND openDialog() {
    HWND found = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND h, LPARAM out) -> BOOL {
            wchar_t name[16] = {};
            ::GetClassNameW(h, name, 16);
            if (std::wstring(name) != L"#32770" || !::IsWindowVisible(h)) return TRUE;
            *reinterpret_cast<HWND*>(out) = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

SeenBox seen(HWND box) {
    SeenBox result{"", textOf(box), nullptr};
    for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        ::GetClassNameW(c, name, 16);
        if (std::wstring(name) != L"Static") continue;
        if ((::GetWindowLongPtrW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            result.icon = reinterpret_cast<HICON>(::SendMessageW(c, STM_GETICON, 0, 0));
        else if (const std::string t = textOf(c); !t.empty())
            result.text = t;
    }
    return result;
}

void click(HWND dialog, int id) { ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// The program's window on the form, in a folder of its own, over a serial
// port of type Port, with a stand-in for the user at every modal window:
// each message box is recorded; the next scripted action, if any, handles it;
// otherwise an OK box is answered OK, and a question or a file dialog fails
// the test and is declined.
template <class Port>
class WindowOn : public ::testing::Test {
protected:
    void SetUp() override {
        // Line 5 other than "0" shows the "Barometric Mode" frame.
        std::ofstream(dir.file(SettingsFileName), std::ios::binary) << "1\r\n9600\r\n01\r\n\r\n1\r\n";
        ASSERT_TRUE(form.Form_Load());
        ui.attach(&window);
        window.show();
        ui.doEvents();
        ::SetTimer(nullptr, 0, 20, modalTimer);
        current = this;
    }
    void TearDown() override {
        current = nullptr;
        std::filesystem::current_path(startFolder);
        // A closed window left its WM_QUIT for a message loop.
        MSG message;
        while (::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    }
    static void CALLBACK modalTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (current) current->answerModal();
    }
    void answerModal() {
        HWND dialog = openDialog();
        if (!dialog || dialog == handled) return;
        handled = dialog;
        const bool question = ::GetDlgItem(dialog, IDYES) != nullptr, box = ::GetDlgItem(dialog, IDCANCEL) == nullptr;
        if (box) boxes.push_back(seen(dialog));
        if (!modalActions.empty()) {
            auto action = std::move(modalActions.front());
            modalActions.pop_front();
            action(dialog);
        } else if (box && !question) {
            click(dialog, IDOK);
        } else {
            ADD_FAILURE() << "unexpected " << (question ? "question " + boxes.back().text : textOf(dialog));
            click(dialog, question ? IDNO : IDCANCEL);
        }
    }

    HWND handleOf(const Control& c) { return window.handleFor(c); }
    // Handles the window's messages until `done` holds or `ms` have passed.
    bool pumpUntil(const std::function<bool()>& done, int ms = 3000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            ui.doEvents();
            ::Sleep(5);
        }
        return true;
    }
    std::string settingsPort() {
        std::ifstream settings(dir.file(SettingsFileName), std::ios::binary);
        std::string port;
        std::getline(settings, port);
        return port;
    }

    inline static WindowOn* current = nullptr;
    std::filesystem::path startFolder = std::filesystem::current_path();
    TempDir dir;
    WatchedToolkit ui{dir.path()};
    sim::UnitConfig cfg = [] { auto c = sim::defaultConfig(); return c.paced = false, c; }();
    Port port = makePort();
    SystemClock clock;
    FileSystem files;
    Platform platform{ui, port, clock, files};
    MainForm form{platform};
    Win32Window window{form};
    std::deque<std::function<void(HWND)>> modalActions;
    HWND handled = nullptr;
    std::vector<SeenBox> boxes;

private:
    Port makePort();
};

// The simulated unit in this process, at port 7.
template <>
sim::ModelPort WindowOn<sim::ModelPort>::makePort() { return sim::ModelPort(cfg, 7); }
using Win32Window_ = WindowOn<sim::ModelPort>;

// A control's rectangle in its container's inner area.
RECT rectInParent(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    ::MapWindowPoints(nullptr, ::GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

Control* named(MainForm& form, const std::string& name) {
    for (Control* c : form.controls())
        if (c->name() == name) return c;
    return nullptr;
}

// Tells the window that it moved to a monitor of `dpi`.
void moveToDpi(Win32Window& window, int dpi) {
    if (dpi == window.dpi()) return;
    RECT r{};
    ::GetWindowRect(window.hwnd(), &r);
    ::SendMessageW(window.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&r));
}

class ControlPlacement : public Win32Window_, public ::testing::WithParamInterface<std::tuple<Placement, int>> {};

TEST_P(ControlPlacement, ControlSitsInItsContainerAtItsDesignRectangleScaledToTheDpi) {
    const auto [placement, dpi] = GetParam();
    moveToDpi(window, dpi);
    Control* control = named(form, placement.name);
    ASSERT_TRUE(control && handleOf(*control));
    HWND container = *placement.container ? handleOf(*named(form, placement.container)) : window.hwnd();
    EXPECT_EQ(::GetParent(handleOf(*control)), container);
    const RECT r = rectInParent(handleOf(*control));
    const Rect design = placement.rect;
    auto px = [dpi](int v) { return ::MulDiv(v, dpi, 96); };
    EXPECT_EQ((std::vector<long>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::vector<long>{px(design.left), px(design.top), px(design.width), px(design.height)}));
    RECT client{};
    ::GetClientRect(window.hwnd(), &client);
    EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(long(px(782)), long(px(499))));
}

INSTANTIATE_TEST_SUITE_P(Design, ControlPlacement, ::testing::Combine(::testing::ValuesIn(Design), ::testing::Values(96, 144)),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).name;
                             std::erase_if(name, [](char c) { return c == '(' || c == ')'; });
                             return name + "At" + std::to_string(std::get<1>(info.param));
                         });

LOGFONTW fontOf(HWND h) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(h, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

// The caption with its blanks; a fixed frame without a maximize box that
// keeps its size; Barometric Mode over Program Setup; a bold outer frame, a
// bold box and a button in the regular default font.
TEST_F(Win32Window_, WindowFollowsTheDesignAndKeepsItsSize) {
    EXPECT_EQ(textOf(window.hwnd()), form.caption);
    const LONG_PTR style = ::GetWindowLongPtrW(window.hwnd(), GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    ::SetWindowPos(window.hwnd(), nullptr, 0, 0, 900, 600, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    ::GetClientRect(window.hwnd(), &client);
    EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(782L, 499L));
    // Where they overlap (the Unit ID box), the later frame is the one hit.
    RECT box{};
    ::GetWindowRect(handleOf(form.Combo3), &box);
    POINT overlap{box.left + 3, box.top + 3};
    ::ScreenToClient(window.hwnd(), &overlap);
    EXPECT_EQ(::ChildWindowFromPointEx(window.hwnd(), overlap, CWP_SKIPINVISIBLE), handleOf(form.Frame12));
    auto font = [&](const Control& c) { return std::pair(fontOf(handleOf(c)).lfHeight, fontOf(handleOf(c)).lfWeight); };
    EXPECT_EQ((std::vector{font(form.Frame10), font(form.Combo1), font(form.txt12HourTemp)}),
              (std::vector<std::pair<LONG, LONG>>{{-13, FW_BOLD}, {-11, FW_BOLD}, {-11, FW_BOLD}}));
    EXPECT_EQ(fontOf(handleOf(form.cmdReadCurrentValues)).lfWeight, FW_NORMAL);
}

// Each caption fits the room its control gives it, measured in the font the
// control draws with: a label's inner area (wrapping), a button's inside its
// edges (wrapping), a frame's top edge from its caption's start to the
// border, an option button's right of its round button.
class CaptionTest : public Win32Window_, public ::testing::WithParamInterface<int> {};

TEST_P(CaptionTest, EveryCaptionShowsWholeInItsControl) {
    moveToDpi(window, GetParam());
    auto px = [&](int v) { return ::MulDiv(v, GetParam(), 96); };
    int measured = 0;
    for (Control* c : form.controls()) {
        HWND h = handleOf(*c);
        const std::wstring text = win32::wide(textOf(h));
        RECT room{};
        ::GetClientRect(h, &room);
        UINT flags = DT_NOPREFIX | DT_WORDBREAK;
        if (dynamic_cast<Button*>(c)) ::InflateRect(&room, -px(7), -px(4));
        else if (dynamic_cast<Frame*>(c)) room.right -= px(12), flags = DT_NOPREFIX | DT_SINGLELINE;
        else if (dynamic_cast<OptionButton*>(c)) room.right -= px(19), flags = DT_NOPREFIX | DT_SINGLELINE;
        else if (!dynamic_cast<Label*>(c)) continue;
        if (text.empty()) continue;
        ++measured;
        HDC dc = ::GetDC(h);
        HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(h, WM_GETFONT, 0, 0)));
        RECT needed{0, 0, room.right - room.left, 0};
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, flags | DT_CALCRECT);
        ::SelectObject(dc, old);
        ::ReleaseDC(h, dc);
        EXPECT_TRUE(needed.right <= room.right - room.left && needed.bottom <= room.bottom - room.top) << c->name();
    }
    EXPECT_EQ(measured, 30);  // 7 labels, 9 buttons, 10 frames, 4 option buttons
}

INSTANTIATE_TEST_SUITE_P(Dpi, CaptionTest, ::testing::Values(96, 144));

// The pixels a control shows now.
std::vector<COLORREF> pixelsOf(HWND h) {
    ::RedrawWindow(::GetParent(h), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r{};
    ::GetClientRect(h, &r);
    HDC dc = ::GetDC(h);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x) pixels.push_back(::GetPixel(dc, x, y));
    ::ReleaseDC(h, dc);
    return pixels;
}

// An operation disables the frames: the status line (purple) and the
// progress bar look as before, while a button in a frame shows disabled.
TEST_F(Win32Window_, StatusLineStaysPurpleWhileTheFramesAreDisabled) {
    form.EnableFrames();
    form.Label2.setCaption("Reading table from unit...");
    form.ProgressBar1.setMax(180), form.ProgressBar1.setValue(90);
    const auto line = pixelsOf(handleOf(form.Label2)), bar = pixelsOf(handleOf(form.ProgressBar1));
    const COLORREF purple = RGB(test::StatusColour.red, test::StatusColour.green, test::StatusColour.blue);
    EXPECT_NE(std::count(line.begin(), line.end(), purple), 0);
    form.DisableFrames();
    EXPECT_FALSE(::IsWindowEnabled(handleOf(form.Command4)) || ::IsWindowEnabled(handleOf(form.Frame2)));
    EXPECT_TRUE(pixelsOf(handleOf(form.Label2)) == line && pixelsOf(handleOf(form.ProgressBar1)) == bar);
}

// Characters typed into a box: its key filter keeps or drops each one
// (the numeric boxes beep at a dropped one, the drop-down boxes do not).
struct Typing { const char* control; const char* typed; const char* shown; int beeps; };
void PrintTo(const Typing& t, std::ostream* os) { *os << t.control << " " << t.typed; }
class TypedKeys : public Win32Window_, public ::testing::WithParamInterface<Typing> {};

TEST_P(TypedKeys, KeyFilterKeepsOrDropsEachCharacter) {
    const Typing& t = GetParam();
    form.EnableFrames();
    Control* control = named(form, t.control);
    HWND box = handleOf(*control);
    if (HWND edit = ::FindWindowExW(box, nullptr, L"Edit", nullptr)) box = edit;  // a drop-down box's field
    for (const char* ch = t.typed; *ch; ++ch) ::SendMessageW(box, WM_CHAR, static_cast<unsigned char>(*ch), 1);
    EXPECT_EQ(textOf(box), t.shown);
    auto* text = dynamic_cast<TextBox*>(control);
    EXPECT_EQ(text ? text->text() : dynamic_cast<ComboBox*>(control)->text(), t.shown);
    EXPECT_EQ(ui.beeps(), t.beeps);
}

INSTANTIATE_TEST_SUITE_P(Filters, TypedKeys, ::testing::Values(
    Typing{"txt12HourTemp", "a-12.5\b", "-12.5", 2}, Typing{"txtPressureReductionConstant", "29.92x", "29.92", 1},
    Typing{"Combo2", "7x", "9600", 0}, Typing{"cboTableTempUnit", "C", "", 0}, Typing{"Text1", "t 1.txt", "t 1.txt", 0}));

// Enter in a box clicks the default button while there is one (the first
// detection takes it away), then the box's key handler gets 13; Tab follows
// the tab indexes across frames: Unit ID (13) to Baud (14), Port (15) to
// "Save Table to Unit" (19) in another frame.
TEST_F(Win32Window_, EnterClicksTheDefaultButtonAndTabFollowsTheTabIndexes) {
    std::vector<int> seen;
    int detects = 0;
    form.cmdDetectZov.onClick = [&] { form.defaultButton = ++detects == 2 ? nullptr : form.defaultButton; };
    form.Text1.onKeyPress = [&](int& k) { seen.push_back(k); };
    form.EnableFrames();
    auto key = [&](HWND h, WPARAM vk) {
        ::PostMessageW(h, WM_KEYDOWN, vk, 1 | (::MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC) << 16));
        ui.doEvents();
    };
    key(handleOf(form.Text1), VK_RETURN);
    key(::FindWindowExW(handleOf(form.Combo1), nullptr, L"Edit", nullptr), VK_RETURN);
    key(handleOf(form.Text1), VK_RETURN);
    EXPECT_EQ(detects, 2);
    EXPECT_EQ(seen, std::vector<int>{13});
    ui.setFocus(form.Combo3);
    key(::GetFocus(), VK_TAB);
    EXPECT_EQ(ui.focus(), &form.Combo2);
    ui.setFocus(form.Combo1);
    key(::GetFocus(), VK_TAB);
    EXPECT_EQ(ui.focus(), &form.Command1);
}

// A message box: the buttons and icon asked for, the button clicked, the
// answer returned, the icon shown.
struct BoxCase { Buttons buttons; Icon icon; int click; Answer answer; int shown; };  // shown: the system icon's number, 0 for none
void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.click; }
class MessageBoxTest : public Win32Window_, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxTest, ShowsTextTitleIconAndReturnsTheAnswer) {
    const auto [buttons, icon, clicked, answer, shownIcon] = GetParam();
    const std::string text = " Table has more than 180 lines. Please verify... ";
    modalActions.push_back([clicked](HWND box) { click(box, clicked); });
    EXPECT_EQ(ui.messageBox(text, "File", buttons, icon), answer);
    EXPECT_EQ(boxes, (std::vector<SeenBox>{{text, "File", shownIcon ? ::LoadIconW(nullptr, MAKEINTRESOURCEW(shownIcon)) : nullptr}}));
}

INSTANTIATE_TEST_SUITE_P(Answers, MessageBoxTest, ::testing::Values(
    BoxCase{Buttons::YesNo, Icon::Exclamation, IDNO, Answer::No, 32515},
    BoxCase{Buttons::YesNo, Icon::Stop, IDYES, Answer::Yes, 32513},
    BoxCase{Buttons::OK, Icon::Information, IDOK, Answer::OK, 32516},
    BoxCase{Buttons::OK, Icon::None, IDOK, Answer::OK, 0}));

// The open and save dialogs open in the folder given, with the design's
// filter; a name typed there is confirmed as the full path in that folder,
// the save asking no replace question of its own.
class FileDialog : public Win32Window_, public ::testing::WithParamInterface<bool> {};

TEST_P(FileDialog, OpensInTheFolderGivenWithTheFilterAndReturnsTheFullPath) {
    const bool save = GetParam();
    const std::string table = "PRR Table 03-04-2024 .TXT";
    std::ofstream(dir.file(table)) << "old";
    std::string filterShown;
    modalActions.push_back([&](HWND dialog) {
        filterShown = textOf(::GetDlgItem(dialog, cmb1));
        HWND name = ::GetDlgItem(dialog, cmb13) ? ::GetDlgItem(dialog, cmb13) : ::GetDlgItem(dialog, edt1);
        ::SetWindowTextW(name, win32::wide(table).c_str());
        click(dialog, IDOK);
    });
    const FileDialogSettings settings{"Pressure Reduction Ratio Files (*.*) |*.*", "", 1, "Select", dir.path()};
    const FileDialogResult r = save ? ui.showSave(settings) : ui.showOpen(settings);
    pumpUntil([] { return false; }, 200);  // a box now would be a question of the dialog's own
    EXPECT_TRUE(r.confirmed && boxes.empty());
    EXPECT_EQ(std::filesystem::path(r.fileName), std::filesystem::path(dir.path()) / table);
    EXPECT_EQ(filterShown, "Pressure Reduction Ratio Files (*.*) ");
}

INSTANTIATE_TEST_SUITE_P(OpenAndSave, FileDialog, ::testing::Values(false, true));

// A portable copy's table dialogs open in its own folder, an installed
// copy's in the user's Documents folder.
TEST(Win32TableFolder, PortableCopyUsesItsOwnFolderAnInstalledOneTheUsersDocuments) {
    TempDir own;
    EXPECT_EQ(Win32Toolkit(ProgramFolder{own.path(), true, {}}).tableFolder(), own.path());
    const std::filesystem::path documents = Win32Toolkit(ProgramFolder{own.path(), false, {}}).tableFolder();
    EXPECT_TRUE(std::filesystem::is_directory(documents) && documents.filename() == "Documents") << documents;
}

// Closing while the rows are sent (the unit starts with an empty table): the
// user is asked, and Enter (No) or No lets the write go on; Yes closes. A
// log-off closes without a question, also while the user's own question is
// open. The settings file is written whenever the window goes.
enum class At { Nothing, Enter, No, Yes, EndSession };
struct CloseCase { const char* name; bool userCloses; At atQuestion; bool closes; };
class CloseDuringWrite : public Win32Window_, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseDuringWrite, AsksOnlyTheUserAndWritesTheSettingsWhenTheWindowGoes) {
    const CloseCase& c = GetParam();
    port.withModel([](sim::UnitModel& m) { m.config().table.clear(); });
    form.Combo1.setText(" 7");
    form.cmdDetectZov.press();
    ASSERT_EQ(form.Label2.caption(), "Unit detected!");
    auto endSession = [this] {
        ASSERT_TRUE(::SendMessageW(window.hwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
        ::SendMessageW(window.hwnd(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    };
    bool asked = false;
    ui.onEvents = [&] {  // closes once the third row is on its way
        if (asked || !form.Label2.caption().starts_with("Sending: *0100EW*0100JT003")) return;
        asked = true;
        c.userCloses ? void(::PostMessageW(window.hwnd(), WM_CLOSE, 0, 0)) : endSession();
    };
    if (c.userCloses)
        modalActions.push_back([&](HWND question) {
            EXPECT_EQ(seen(question).text, ClosingWhileWritingText);
            const int enter = LOWORD(::SendMessageW(question, DM_GETDEFID, 0, 0));
            if (c.atQuestion == At::EndSession) endSession();
            else click(question, c.atQuestion == At::Enter ? enter : c.atQuestion == At::No ? IDNO : IDYES);
        });
    std::string rows;
    for (int i = 1; i <= 30; ++i) rows += std::to_string(i) + " 1.5\r\n";
    std::ofstream(dir.file("table.txt"), std::ios::binary) << rows;
    form.Text1.setText(dir.file("table.txt"));
    form.Command10.press();
    form.Command1.press();  // any other question fails the test
    EXPECT_EQ(pumpUntil([&] { return window.closed(); }, 1000), c.closes);
    size_t stored = 0;
    port.withModel([&](sim::UnitModel& m) { stored = m.config().table.size(); });
    EXPECT_EQ(stored < 30u, c.closes);  // the write stopped short
    EXPECT_EQ(settingsPort(), c.closes ? " 7\r" : "1\r");
}

INSTANTIATE_TEST_SUITE_P(Closing, CloseDuringWrite, ::testing::Values(
    CloseCase{"LogOff", false, At::Nothing, true}, CloseCase{"EnterAtTheQuestion", true, At::Enter, false},
    CloseCase{"NoAtTheQuestion", true, At::No, false}, CloseCase{"YesAtTheQuestion", true, At::Yes, true},
    CloseCase{"LogOffAtTheQuestion", true, At::EndSession, true}), [](const auto& info) { return std::string(info.param.name); });

// The window over the Windows serial port, at the COM port QUORVEL_E2E_PORT
// names, where scripts/test-windows puts a simulated unit.
template <>
Win32SerialPort WindowOn<Win32SerialPort>::makePort() { return Win32SerialPort(dir.path()); }
using EndToEnd = WindowOn<Win32SerialPort>;

// A real mouse click on a part of a control that shows (Barometric Mode
// covers much of Detect Unit).
void realClick(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    for (POINT p{r.left + 3, (r.top + r.bottom) / 2}; p.x < r.right - 3; p.x += 4)
        if (::WindowFromPoint(p) == h) at = p;
    ::SetCursorPos(at.x, at.y);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, input, sizeof(INPUT));
}

// Detect Unit shows the unit's three values; Get Table from Unit fills List2
// with its table; Save Table to Unit writes the rows List1 shows over the
// first rows of the unit's table, where a second Get Table from Unit reads
// them back.
TEST_F(EndToEnd, OperationsRunFromRealClicks) {
    const char* number = std::getenv("QUORVEL_E2E_PORT");
    if (!number) GTEST_SKIP() << "QUORVEL_E2E_PORT names no COM port with a simulated unit";
    form.Combo1.setText(number);
    auto clicked = [&](const Control& c, const std::string& status) {
        realClick(handleOf(c));
        return pumpUntil([&] { return form.Label2.caption() == status && form.Frame4.enabled(); }, 15000);
    };
    ASSERT_TRUE(clicked(form.cmdDetectZov, "Unit detected!")) << form.Label2.caption();
    const sim::UnitConfig unit = sim::defaultConfig();
    EXPECT_EQ(textOf(handleOf(form.txt12HourTemp)), unit.jh);
    EXPECT_EQ(textOf(handleOf(form.cboTableTempUnit)), form.cboTableTempUnit.items().at(std::stoul(unit.jp)));
    EXPECT_EQ(textOf(handleOf(form.txtPressureReductionConstant)), unit.jc);
    ASSERT_TRUE(clicked(form.Command4, "Table transferred successfully from unit."));
    EXPECT_EQ(::SendMessageW(handleOf(form.List2), LB_GETCOUNT, 0, 0), static_cast<LRESULT>(unit.table.size()));

    std::ofstream(dir.file("t.txt"), std::ios::binary) << "* sent\r\n-30  .99\r\n25  1.01\r\n";
    form.Text1.setText(dir.file("t.txt"));
    realClick(handleOf(form.Command10));
    ASSERT_TRUE(pumpUntil([&] { return form.List1.listCount() == 2; }));
    ASSERT_TRUE(clicked(form.Command1, "Table successfully transferred to unit...")) << form.Label2.caption();
    ASSERT_TRUE(clicked(form.Command4, "Table transferred successfully from unit."));
    ASSERT_GE(form.List2.listCount(), 2);
    for (int i = 0; i < 2; ++i) {
        char* rest = nullptr;
        const std::string sent = form.List1.list(i), read = form.List2.list(i);
        const double temperature = std::strtod(read.c_str(), &rest);
        EXPECT_EQ(std::pair(temperature, std::strtod(rest, nullptr)),
                  std::pair(std::strtod(sent.c_str(), &rest), std::strtod(rest, nullptr))) << read;
    }
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
    ::InitCommonControlsEx(&controls);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
