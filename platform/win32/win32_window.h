// The real window on Windows: one fixed-size top-level window whose native
// controls mirror the controls of a form, and which hands the user's clicks
// and keys back to the model controls.
//
// How this works: every control of the form becomes a child window of the
// class Windows has for it (a frame a group box, a text box an edit control,
// a drop-down box an editable combo box, ...), inside the window of its
// container, at its design rectangle scaled from 96 DPI to the monitor's DPI.
// The window observes every control and brings the native one in line after
// each change. A frame forwards its children's notifications (clicks, text
// changes, colours, drawing of the drop-down rows) to the top-level window,
// which turns them into the model's events. Keys that the design gives a
// meaning to are taken from the message queue before they are dispatched
// (preTranslate): Tab follows the design's tab indexes across frames, Enter
// clicks the default button; typed characters of text and drop-down boxes go
// through the boxes' key handlers first, which may drop them.
#pragma once

#include "platform/win32/win32_text.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/window_model.h"

namespace qv::win32 {

// A GDI object (font, brush, bitmap) deleted when it goes out of scope.
template <class T>
class GdiObject {
public:
    explicit GdiObject(T object = nullptr) : object_(object) {}
    ~GdiObject() {
        if (object_) ::DeleteObject(object_);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    T get() const { return object_; }

private:
    T object_;
};

}  // namespace qv::win32

namespace qv {

class Win32Window : public ControlObserver {
public:
    // Makes the window and its controls, hidden. Throws std::system_error
    // carrying GetLastError's code when the window or a control cannot be
    // made.
    explicit Win32Window(WindowModel& form);
    // Destroys the window without the close step (no question, no shutdown).
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND hwnd() const { return hwnd_; }
    // The native window that shows a control; nullptr for one not shown here.
    HWND handleFor(const Control& control) const;
    // The control a native window (or one of its inner windows, such as a
    // drop-down box's edit field) belongs to; nullptr for none.
    Control* controlFor(HWND handle) const;
    // The font a control's text is drawn in.
    HFONT fontFor(const Control& control) const;
    // The DPI the window is laid out for (96 is the design's own).
    int dpi() const { return dpi_; }

    // Shows the window in the middle of its monitor's work area and gives the
    // focus to the first usable control in the tab order.
    void show();
    // Runs once, after the window was painted for the first time (outside
    // the painting itself).
    std::function<void()> onFirstPaint;

    // A message taken from the queue, before it is translated and
    // dispatched: true when the window has handled it (Tab, Enter) and it
    // must not be dispatched.
    bool preTranslate(MSG& message);

    // Closes the window as the system does when the session ends: any dialog
    // still open is dismissed and nobody is asked anything.
    void closeWithoutAsking();
    // True once the window has been destroyed by its close.
    bool closed() const { return closed_; }

    void controlChanged(Control& control) override;

private:
    struct Native {
        Control* control = nullptr;
        HWND handle = nullptr;
        HWND edit = nullptr;  // a drop-down box's edit field
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);
    static LRESULT CALLBACK typingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void create(Control& control, int id);
    // Positions every control and sizes the window for the current DPI.
    void layout();
    // The window's outer size that gives it the design's inner size.
    SIZE outerSize() const;
    int scaled(int pixels) const { return ::MulDiv(pixels, dpi_, 96); }
    HFONT designFont(int centipoints, bool bold);
    // The room a control's caption is drawn in and how; false for a control
    // without a caption.
    bool captionRoom(const Control& control, RECT& room, UINT& flags) const;
    // The design's font of a control, made smaller where its caption would
    // not show whole in it.
    HFONT fittedFont(const Control& control);
    void sync(Control& control);
    void syncItems(const Native& native);
    void syncOptionArray(OptionArray& array);
    void refreshDefaultButton();
    void command(int id, int code);
    LRESULT colour(HWND control, HDC dc);
    void drawRow(const DRAWITEMSTRUCT& item);
    // Runs a user action on the model; an error that escapes the handlers is
    // shown instead of being thrown through the system's message loop.
    void guarded(const std::function<void()>& action);
    // A typed character in a text or drop-down box: the box's key handler
    // sees it first. Returns the character to apply, 0 to drop it.
    int filterTyped(Control& control, int character);
    bool clickDefaultButton();
    void moveFocus(bool backwards);
    bool takesFocus(const Control& control) const;
    OptionArray* arrayOf(const OptionButton& option) const;
    void close();

    WindowModel& form_;
    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    std::vector<Native> natives_;  // by control id - FirstId
    std::unordered_map<const Control*, size_t> index_;
    std::unordered_map<HWND, size_t> owners_;  // a native window's control
    std::map<std::pair<int, bool>, std::unique_ptr<win32::GdiObject<HFONT>>> fonts_;  // (size in 1/100 pt, bold)
    std::unordered_map<const Control*, HFONT> controlFonts_;
    std::vector<Control*> tabOrder_;
    Button* shownDefault_ = nullptr;
    bool painted_ = false;
    bool syncing_ = false;
    bool forcedClose_ = false;
    bool closed_ = false;
};

// Handles every message waiting in this thread's queue, the window's keys
// first; never waits. Returns false when a WM_QUIT was among them (it is put
// back for the loop that ends on it).
bool pumpWaitingMessages(Win32Window* window);

// The message loop of the program: runs until WM_QUIT; returns its code.
int runMessageLoop(Win32Window& window);

}  // namespace qv
