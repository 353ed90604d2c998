#include "platform/win32/win32_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <system_error>

namespace qv {

namespace {

constexpr int FirstId = 100;
constexpr UINT ShownMessage = WM_APP + 1;
const wchar_t* const WindowClass = L"QuorvelConfigWindow";
// Rows of an open drop-down list before it scrolls.
constexpr int VisibleRows = 8;
// Room between a drop-down row's item and its detail, at 96 DPI.
constexpr int DetailGap = 12;

[[noreturn]] void throwLastError(const char* what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

std::wstring windowText(HWND handle) {
    const int length = ::GetWindowTextLengthW(handle);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int n = ::GetWindowTextW(handle, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(n, 0)));
    return text;
}

// The design's "MS Sans Serif" is a bitmap font on Windows; its TrueType
// successor, Microsoft Sans Serif, scales with the DPI and has its metrics.
// Where that is missing (Wine) the design's name is asked for and the font
// mapper picks the closest sans-serif face.
const wchar_t* designFaceName() {
    static const wchar_t* const face = [] {
        HDC screen = ::GetDC(nullptr);
        LOGFONTW wanted{};
        wanted.lfCharSet = DEFAULT_CHARSET;
        wcscpy(wanted.lfFaceName, L"Microsoft Sans Serif");
        bool found = false;
        ::EnumFontFamiliesExW(
            screen, &wanted,
            [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
                *reinterpret_cast<bool*>(found) = true;
                return 0;
            },
            reinterpret_cast<LPARAM>(&found), 0);
        ::ReleaseDC(nullptr, screen);
        return found ? L"Microsoft Sans Serif" : L"MS Sans Serif";
    }();
    return face;
}

int textHeight(HFONT font) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return metrics.tmHeight;
}

int textWidth(HDC dc, const std::wstring& text) {
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// Enabled as far as the flags of the control and of its containers go;
// visibility plays no part.
bool enabledWithContainers(const Control& control) {
    for (const Control* c = &control; c; c = c->parent())
        if (!c->enabled()) return false;
    return true;
}

bool keyDown(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

}  // namespace

Win32Window::Win32Window(WindowModel& form) : form_(form) {
    static const ATOM windowClass = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        // The program's icon is resource 1 (a test program has none).
        wc.hIcon = ::LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
        wc.hIconSm = static_cast<HICON>(::LoadImageW(wc.hInstance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXSMICON),
                                                     ::GetSystemMetrics(SM_CYSMICON), 0));
        wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = WindowClass;
        return ::RegisterClassExW(&wc);
    }();
    if (!windowClass) throwLastError("RegisterClassEx");

    // A fixed frame: no sizing border and no maximize box.
    hwnd_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, WindowClass, win32::wide(form_.windowCaption()).c_str(),
                              WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                              CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                              this);
    if (!hwnd_) throwLastError("CreateWindowEx");
    const UINT windowDpi = ::GetDpiForWindow(hwnd_);
    dpi_ = windowDpi ? static_cast<int>(windowDpi) : 96;

    const std::vector<Control*>& controls = form_.controls();
    natives_.resize(controls.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        natives_[i].control = controls[i];
        index_[controls[i]] = i;
    }
    try {
        for (size_t i = 0; i < controls.size(); ++i) create(*controls[i], FirstId + static_cast<int>(i));
    } catch (...) {
        for (Control* control : controls) control->setObserver(nullptr);
        ::DestroyWindow(hwnd_);
        throw;
    }
    layout();
    for (Control* control : controls) sync(*control);

    tabOrder_ = controls;
    std::stable_sort(tabOrder_.begin(), tabOrder_.end(),
                     [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    refreshDefaultButton();
}

Win32Window::~Win32Window() {
    for (Control* control : form_.controls()) control->setObserver(nullptr);
    form_.setDeferredClose(nullptr);
    if (!closed_ && hwnd_) {
        closed_ = true;  // destroyed here: no WM_QUIT for the loop
        ::DestroyWindow(hwnd_);
    }
}

void Win32Window::create(Control& control, int id) {
    HWND parent = control.parent() ? handleFor(*control.parent()) : nullptr;
    if (!parent) parent = hwnd_;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const wchar_t* windowClass = L"STATIC";
    std::string text;
    if (auto* frame = dynamic_cast<Frame*>(&control)) {
        windowClass = L"BUTTON";
        style |= BS_GROUPBOX | WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT;
        text = frame->caption();
    } else if (auto* button = dynamic_cast<Button*>(&control)) {
        // Captions too long for one line wrap, as the design expects.
        windowClass = L"BUTTON";
        style |= BS_PUSHBUTTON | BS_MULTILINE | WS_TABSTOP;
        text = button->caption();
    } else if (dynamic_cast<TextBox*>(&control)) {
        windowClass = L"EDIT";
        style |= ES_AUTOHSCROLL | WS_TABSTOP;
        exStyle = WS_EX_CLIENTEDGE;
    } else if (dynamic_cast<ComboBox*>(&control)) {
        // Editable, since a box may show a text that is none of its items;
        // drawn by the window, so the open list can show each item's detail.
        windowClass = L"COMBOBOX";
        style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP;
    } else if (dynamic_cast<ListBox*>(&control)) {
        windowClass = L"LISTBOX";
        style |= LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP;
        exStyle = WS_EX_CLIENTEDGE;
    } else if (auto* label = dynamic_cast<Label*>(&control)) {
        style |= SS_LEFT | SS_NOPREFIX;
        text = label->caption();
    } else if (dynamic_cast<ProgressBar*>(&control)) {
        windowClass = PROGRESS_CLASSW;
    } else if (auto* option = dynamic_cast<OptionButton*>(&control)) {
        // Checked by the window from the model, never by itself.
        windowClass = L"BUTTON";
        style |= BS_RADIOBUTTON | WS_TABSTOP;
        text = option->caption();
    }
    HWND handle = ::CreateWindowExW(exStyle, windowClass, win32::wide(text).c_str(), style, 0, 0, 0, 0, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                    nullptr);
    if (!handle) throwLastError("CreateWindowEx");
    Native& native = natives_[static_cast<size_t>(id - FirstId)];
    native.handle = handle;
    owners_[handle] = static_cast<size_t>(id - FirstId);
    // A later control lies above an earlier one of the same container.
    ::SetWindowPos(handle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (dynamic_cast<Frame*>(&control)) {
        ::SetWindowSubclass(handle, frameProc, 1, reinterpret_cast<DWORD_PTR>(this));
    } else if (dynamic_cast<TextBox*>(&control)) {
        ::SetWindowSubclass(handle, typingProc, 1, reinterpret_cast<DWORD_PTR>(this));
    } else if (dynamic_cast<ComboBox*>(&control)) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        if (!::GetComboBoxInfo(handle, &info) || !info.hwndItem) throwLastError("GetComboBoxInfo");
        native.edit = info.hwndItem;
        owners_[native.edit] = static_cast<size_t>(id - FirstId);
        ::SetWindowSubclass(native.edit, typingProc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    control.setObserver(this);
}

SIZE Win32Window::outerSize() const {
    // The design's inner size at this DPI and the frame the system draws
    // around it now.
    const WindowSize size = form_.windowSize();
    RECT window{}, client{};
    ::GetWindowRect(hwnd_, &window);
    ::GetClientRect(hwnd_, &client);
    return {scaled(size.clientWidth) + (window.right - window.left) - client.right,
            scaled(size.clientHeight) + (window.bottom - window.top) - client.bottom};
}

HFONT Win32Window::designFont(int centipoints, bool bold) {
    auto& slot = fonts_[{centipoints, bold}];
    if (!slot) {
        LOGFONTW font{};
        font.lfHeight = -::MulDiv(centipoints, dpi_, 7200);
        font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfOutPrecision = OUT_TT_PRECIS;
        font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        wcscpy(font.lfFaceName, designFaceName());
        slot = std::make_unique<win32::GdiObject<HFONT>>(::CreateFontIndirectW(&font));
    }
    return slot->get() ? slot->get() : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

bool Win32Window::captionRoom(const Control& control, RECT& room, UINT& flags) const {
    HWND h = handleFor(control);
    std::string caption;
    ::GetClientRect(h, &room);
    flags = DT_NOPREFIX | DT_SINGLELINE;
    if (auto* label = dynamic_cast<const Label*>(&control)) {
        caption = label->caption();
        flags = DT_NOPREFIX | DT_WORDBREAK | DT_LEFT;
    } else if (auto* button = dynamic_cast<const Button*>(&control)) {
        // Inside the button's edges and focus rectangle; the caption wraps.
        caption = button->caption();
        ::InflateRect(&room, -scaled(7), -scaled(4));
        flags = DT_NOPREFIX | DT_WORDBREAK | DT_CENTER;
    } else if (auto* frame = dynamic_cast<const Frame*>(&control)) {
        // From the caption's start to the border's right edge.
        caption = frame->caption();
        room.right -= scaled(12);
    } else if (auto* option = dynamic_cast<const OptionButton*>(&control)) {
        // Right of the round button and its gap.
        caption = option->caption();
        room.right -= scaled(19);
    }
    return !caption.empty();
}

namespace {

// Whether a control's caption set in `font` shows whole in `room`.
bool captionFits(HWND h, HFONT font, const RECT& room, UINT flags) {
    const std::wstring text = windowText(h);
    HDC dc = ::GetDC(h);
    HGDIOBJ old = ::SelectObject(dc, font);
    RECT needed{0, 0, room.right - room.left, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, flags | DT_CALCRECT);
    ::SelectObject(dc, old);
    ::ReleaseDC(h, dc);
    return needed.right - needed.left <= room.right - room.left && needed.bottom - needed.top <= room.bottom - room.top;
}

// A button's caption broken into the lines it shows in `width` pixels with
// the font selected into `dc`: words go on a line while they fit, as
// DrawText would place them. Within a line the blanks are made unbreakable
// and the lines are joined by line feeds, so that the button draws exactly
// these lines: a button that works out its label's rectangle first and then
// wraps again inside that rectangle (Wine's does) would otherwise break a
// line that fills the rectangle to the pixel once more.
std::wstring buttonLines(HDC dc, const std::wstring& caption, int width) {
    auto extent = [&](const std::wstring& text) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    };
    std::vector<std::wstring> lines;
    std::wstring line;
    size_t at = 0;
    while (at < caption.size()) {
        // The next word with the blanks before it.
        const size_t word = caption.find_first_not_of(L' ', at);
        const size_t end = word == std::wstring::npos ? caption.size() : caption.find(L' ', word);
        const std::wstring blanks = caption.substr(at, (word == std::wstring::npos ? caption.size() : word) - at);
        const std::wstring text = word == std::wstring::npos ? L"" : caption.substr(word, (end == std::wstring::npos ? caption.size() : end) - word);
        at = end == std::wstring::npos ? caption.size() : end;
        if (line.empty() || extent(line + blanks + text) <= width) {
            line += (line.empty() ? L"" : blanks) + text;
        } else {
            lines.push_back(line);
            line = text;
        }
    }
    std::wstring out;
    for (const std::wstring& l : lines) out += l + L"\n";
    out += line;
    std::replace(out.begin(), out.end(), L' ', L'\u00A0');
    return out;
}

}  // namespace

HFONT Win32Window::fittedFont(const Control& control) {
    // Point size 0 is the window's default font: 8.25 pt regular.
    const bool isDefault = control.font.points <= 0;
    const bool bold = !isDefault && control.font.bold;
    int centipoints = static_cast<int>(std::lround((isDefault ? 8.25 : control.font.points) * 100));
    HFONT font = designFont(centipoints, bold);
    RECT room{};
    UINT flags = 0;
    if (!captionRoom(control, room, flags)) return font;
    // The captions were laid out for a font narrower than the one a system
    // may have: a caption that does not show whole is set a quarter point
    // smaller at a time, so that it never runs past its control's edge nor
    // wraps into a line it has no room for.
    constexpr int SmallestCentipoints = 500;
    HWND h = handleFor(control);
    while (!captionFits(h, font, room, flags) && centipoints > SmallestCentipoints) {
        centipoints -= 25;
        font = designFont(centipoints, bold);
    }
    return font;
}

void Win32Window::layout() {
    // The fonts of the old DPI go once every control has its new one.
    auto oldFonts = std::move(fonts_);
    fonts_.clear();
    for (const Native& native : natives_) {
        const Rect& r = native.control->rect;
        const int x = scaled(r.left), y = scaled(r.top), w = scaled(r.width), h = scaled(r.height);
        if (!native.edit) {
            ::SetWindowPos(native.handle, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
            HFONT font = fittedFont(*native.control);
            controlFonts_[native.control] = font;
            ::SendMessageW(native.handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            if (auto* button = dynamic_cast<const Button*>(native.control)) {
                RECT room{};
                UINT flags = 0;
                captionRoom(*button, room, flags);
                HDC dc = ::GetDC(native.handle);
                HGDIOBJ old = ::SelectObject(dc, font);
                const std::wstring lines = buttonLines(dc, win32::wide(button->caption()), room.right - room.left);
                ::SelectObject(dc, old);
                ::ReleaseDC(native.handle, dc);
                ::SetWindowTextW(native.handle, lines.c_str());
            }
            continue;
        }
        HFONT font = fittedFont(*native.control);
        controlFonts_[native.control] = font;
        ::SendMessageW(native.handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        // A drop-down box's height includes its open list; the closed box
        // is made as high as the design's by the height of its edit field.
        const int row = textHeight(font) + scaled(2);
        ::SendMessageW(native.handle, CB_SETITEMHEIGHT, 0, row);
        ::SetWindowPos(native.handle, nullptr, x, y, w, h + VisibleRows * row, SWP_NOZORDER | SWP_NOACTIVATE);
        // Systems differ in what they add to the field's height: the height
        // asked for is corrected by what the closed box then measures.
        LRESULT field = ::SendMessageW(native.handle, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        for (int attempt = 0; field != CB_ERR && attempt < 3; ++attempt) {
            RECT closed{};
            ::GetWindowRect(native.handle, &closed);
            const int missing = h - (closed.bottom - closed.top);
            if (missing == 0 || field + missing <= 0) break;
            field += missing;
            ::SendMessageW(native.handle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        }
        syncItems(native);
    }
    const SIZE outer = outerSize();
    ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

HWND Win32Window::handleFor(const Control& control) const {
    auto it = index_.find(&control);
    return it == index_.end() ? nullptr : natives_[it->second].handle;
}

Control* Win32Window::controlFor(HWND handle) const {
    for (HWND h = handle; h && h != hwnd_; h = ::GetParent(h)) {
        auto it = owners_.find(h);
        if (it != owners_.end()) return natives_[it->second].control;
    }
    return nullptr;
}

HFONT Win32Window::fontFor(const Control& control) const {
    auto it = controlFonts_.find(&control);
    return it == controlFonts_.end() ? nullptr : it->second;
}

void Win32Window::show() {
    // In the middle of the work area of the monitor the window is on.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT area = monitor.rcWork;
    const SIZE outer = outerSize();
    const int width = outer.cx, height = outer.cy;
    ::SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, width, height, SWP_NOZORDER);
    ::ShowWindow(hwnd_, SW_SHOW);
    ::UpdateWindow(hwnd_);
    for (Control* control : tabOrder_)
        if (takesFocus(*control)) {
            ::SetFocus(handleFor(*control));
            break;
        }
}

void Win32Window::controlChanged(Control& control) {
    sync(control);
    refreshDefaultButton();
}

void Win32Window::sync(Control& control) {
    auto it = index_.find(&control);
    if (it == index_.end()) return;
    const Native& native = natives_[it->second];
    HWND h = native.handle;
    const bool wasSyncing = syncing_;
    syncing_ = true;
    // A control in a disabled frame is drawn disabled, except those that
    // keep their look (the status line, the progress bar): the frame's own
    // disabled window keeps the input from them.
    const bool shownEnabled = control.keepsLookWhenDisabled ? control.enabled() : enabledWithContainers(control);
    if ((::IsWindowEnabled(h) != FALSE) != shownEnabled) ::EnableWindow(h, shownEnabled);
    if (((::GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) != 0) != control.visible())
        ::ShowWindow(h, control.visible() ? SW_SHOWNA : SW_HIDE);

    if (auto* text = dynamic_cast<TextBox*>(&control)) {
        const std::wstring value = win32::wide(text->text());
        if (windowText(h) != value) ::SetWindowTextW(h, value.c_str());
    } else if (auto* combo = dynamic_cast<ComboBox*>(&control)) {
        syncItems(native);
        if (::SendMessageW(h, CB_GETCURSEL, 0, 0) != combo->listIndex())
            ::SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(combo->listIndex()), 0);
        const std::wstring value = win32::wide(combo->text());
        if (windowText(native.edit) != value) ::SetWindowTextW(native.edit, value.c_str());
    } else if (auto* list = dynamic_cast<ListBox*>(&control)) {
        // A list box only ever gains rows at its end or loses them all.
        LRESULT count = ::SendMessageW(h, LB_GETCOUNT, 0, 0);
        if (count > list->listCount()) {
            ::SendMessageW(h, LB_RESETCONTENT, 0, 0);
            count = 0;
        }
        for (int i = static_cast<int>(count); i < list->listCount(); ++i)
            ::SendMessageW(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::wide(list->list(i)).c_str()));
    } else if (auto* label = dynamic_cast<Label*>(&control)) {
        const std::wstring value = win32::wide(label->caption());
        if (windowText(h) != value) ::SetWindowTextW(h, value.c_str());
    } else if (auto* bar = dynamic_cast<ProgressBar*>(&control)) {
        ::SendMessageW(h, PBM_SETRANGE32, 0, std::max(bar->max(), 1));
        ::SendMessageW(h, PBM_SETPOS, static_cast<WPARAM>(bar->value()), 0);
    } else if (auto* option = dynamic_cast<OptionButton*>(&control)) {
        if (OptionArray* array = arrayOf(*option)) syncOptionArray(*array);
    } else if (dynamic_cast<Frame*>(&control)) {
        // What the frame holds is drawn enabled or not with it.
        for (Control* child : control.children()) sync(*child);
    }
    syncing_ = wasSyncing;
}

void Win32Window::syncItems(const Native& native) {
    auto* combo = dynamic_cast<ComboBox*>(native.control);
    if (!combo) return;
    HWND h = native.handle;
    const std::vector<std::string>& items = combo->items();
    LRESULT count = ::SendMessageW(h, CB_GETCOUNT, 0, 0);
    bool prefix = count <= static_cast<LRESULT>(items.size());
    for (LRESULT i = 0; prefix && i < count; ++i) {
        const LRESULT length = ::SendMessageW(h, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring row(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        ::SendMessageW(h, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row.data()));
        row.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
        prefix = row == win32::wide(items[static_cast<size_t>(i)]);
    }
    if (!prefix) {
        ::SendMessageW(h, CB_RESETCONTENT, 0, 0);
        count = 0;
    }
    for (size_t i = static_cast<size_t>(count); i < items.size(); ++i)
        ::SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::wide(items[i]).c_str()));

    // The open list is wide enough for every row with its detail.
    HDC dc = ::GetDC(h);
    HGDIOBJ old = ::SelectObject(dc, fontFor(*combo));
    int widestItem = 0, widestDetail = 0;
    for (const std::string& item : items) widestItem = std::max(widestItem, textWidth(dc, win32::wide(item)));
    for (const std::string& detail : combo->itemDetails())
        widestDetail = std::max(widestDetail, textWidth(dc, win32::wide(detail)));
    ::SelectObject(dc, old);
    ::ReleaseDC(h, dc);
    const int rows = widestItem + (widestDetail ? scaled(DetailGap) + widestDetail : 0) + scaled(8) +
                     ::GetSystemMetricsForDpi(SM_CXVSCROLL, static_cast<UINT>(dpi_));
    ::SendMessageW(h, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(std::max(rows, scaled(combo->rect.width))), 0);
    ::InvalidateRect(h, nullptr, FALSE);
}

void Win32Window::syncOptionArray(OptionArray& array) {
    for (OptionButton* option : array.buttons())
        if (HWND h = option ? handleFor(*option) : nullptr)
            ::SendMessageW(h, BM_SETCHECK, option->value() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Window::refreshDefaultButton() {
    Button* wanted = form_.currentDefaultButton();
    if (wanted == shownDefault_) return;
    auto setStyle = [](HWND h, LONG_PTR type) {
        if (!h) return;
        const LONG_PTR style = (::GetWindowLongPtrW(h, GWL_STYLE) & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | type;
        ::SendMessageW(h, BM_SETSTYLE, static_cast<WPARAM>(style & 0xFFFF), TRUE);
    };
    if (shownDefault_) setStyle(handleFor(*shownDefault_), BS_PUSHBUTTON);
    if (wanted) setStyle(handleFor(*wanted), BS_DEFPUSHBUTTON);
    shownDefault_ = wanted;
}

OptionArray* Win32Window::arrayOf(const OptionButton& option) const {
    for (OptionArray* array : form_.optionArrays())
        for (OptionButton* b : array->buttons())
            if (b == &option) return array;
    return nullptr;
}

void Win32Window::guarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        ::MessageBoxW(hwnd_, win32::wide(e.what()).c_str(), win32::wide(form_.applicationTitle()).c_str(),
                      MB_OK | MB_ICONHAND);
    }
}

void Win32Window::command(int id, int code) {
    const size_t at = static_cast<size_t>(id - FirstId);
    if (id < FirstId || at >= natives_.size() || syncing_) return;
    const Native& native = natives_[at];
    Control* control = native.control;
    if (auto* button = dynamic_cast<Button*>(control)) {
        if (code == BN_CLICKED) guarded([button] { button->press(); });
    } else if (auto* option = dynamic_cast<OptionButton*>(control)) {
        if (code != BN_CLICKED) return;
        guarded([option] { option->press(); });
        if (OptionArray* array = arrayOf(*option)) syncOptionArray(*array);
    } else if (auto* text = dynamic_cast<TextBox*>(control)) {
        if (code == EN_CHANGE) text->setText(win32::utf8(windowText(native.handle)));
    } else if (auto* combo = dynamic_cast<ComboBox*>(control)) {
        if (code == CBN_EDITCHANGE) {
            combo->setText(win32::utf8(windowText(native.edit)));
        } else if (code == CBN_DROPDOWN) {
            // The list is brought up to date before it shows.
            guarded([combo] { combo->dropDown(); });
        } else if (code == CBN_SELCHANGE) {
            const int index = static_cast<int>(::SendMessageW(native.handle, CB_GETCURSEL, 0, 0));
            guarded([combo, index] { combo->pick(index); });
            sync(*combo);
        }
    }
    refreshDefaultButton();
}

LRESULT Win32Window::colour(HWND control, HDC dc) {
    // Static texts and option buttons stand on the window's colour; a label
    // in its own colour (the status line's purple).
    COLORREF text = ::GetSysColor(COLOR_WINDOWTEXT);
    Control* owner = controlFor(control);
    if (auto* label = dynamic_cast<Label*>(owner))
        text = RGB(label->foreColor.red, label->foreColor.green, label->foreColor.blue);
    // Buttons draw on their parent's device context (their class's
    // CS_PARENTDC), and some systems' group boxes and buttons draw their
    // caption in whatever font it holds: it is given the control's own.
    if (HFONT font = owner ? fontFor(*owner) : nullptr) ::SelectObject(dc, font);
    ::SetTextColor(dc, text);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

void Win32Window::drawRow(const DRAWITEMSTRUCT& item) {
    const size_t at = static_cast<size_t>(static_cast<int>(item.CtlID) - FirstId);
    if (at >= natives_.size()) return;
    auto* combo = dynamic_cast<ComboBox*>(natives_[at].control);
    if (!combo) return;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= combo->items().size()) return;
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT r = item.rcItem;
    r.left += scaled(2);
    const std::wstring row = win32::wide(combo->items()[item.itemID]);
    ::DrawTextW(item.hDC, row.c_str(), static_cast<int>(row.size()), &r,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    // Beside the item, in one column for all rows: what the number reaches.
    const std::vector<std::string>& details = combo->itemDetails();
    if (item.itemState & ODS_COMBOBOXEDIT || item.itemID >= details.size() || details[item.itemID].empty()) return;
    int widest = 0;
    for (const std::string& each : combo->items()) widest = std::max(widest, textWidth(item.hDC, win32::wide(each)));
    r.left += widest + scaled(DetailGap);
    const std::wstring detail = win32::wide(details[item.itemID]);
    ::DrawTextW(item.hDC, detail.c_str(), static_cast<int>(detail.size()), &r,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

int Win32Window::filterTyped(Control& control, int character) {
    KeyHandler* handler = nullptr;
    if (auto* text = dynamic_cast<TextBox*>(&control)) handler = &text->onKeyPress;
    else if (auto* combo = dynamic_cast<ComboBox*>(&control)) handler = &combo->onKeyPress;
    int code = character;
    if (handler && *handler) guarded([&] { (*handler)(code); });
    refreshDefaultButton();
    return code;
}

bool Win32Window::clickDefaultButton() {
    Button* button = form_.currentDefaultButton();
    if (!button || !button->usable()) return false;
    guarded([button] { button->press(); });
    refreshDefaultButton();
    return true;
}

bool Win32Window::takesFocus(const Control& control) const {
    if (!control.usable()) return false;
    if (auto* option = dynamic_cast<const OptionButton*>(&control)) {
        // Of an option array only the selected option, when there is one.
        const OptionArray* array = arrayOf(*option);
        return !array || array->selected() < 0 || option->value();
    }
    return dynamic_cast<const Button*>(&control) || dynamic_cast<const TextBox*>(&control) ||
           dynamic_cast<const ComboBox*>(&control) || dynamic_cast<const ListBox*>(&control);
}

void Win32Window::moveFocus(bool backwards) {
    if (tabOrder_.empty()) return;
    const Control* current = controlFor(::GetFocus());
    auto it = std::find(tabOrder_.begin(), tabOrder_.end(), current);
    const long n = static_cast<long>(tabOrder_.size());
    long at = it == tabOrder_.end() ? (backwards ? 0 : n - 1) : it - tabOrder_.begin();
    for (long step = 0; step < n; ++step) {
        at = (at + (backwards ? n - 1 : 1)) % n;
        Control* next = tabOrder_[static_cast<size_t>(at)];
        if (!takesFocus(*next)) continue;
        HWND h = handleFor(*next);
        ::SetFocus(h);
        if (dynamic_cast<TextBox*>(next)) ::SendMessageW(h, EM_SETSEL, 0, -1);
        return;
    }
}

bool Win32Window::preTranslate(MSG& message) {
    if (message.message != WM_KEYDOWN || !hwnd_ || (message.hwnd != hwnd_ && !::IsChild(hwnd_, message.hwnd)))
        return false;
    if (keyDown(VK_CONTROL) || keyDown(VK_MENU)) return false;
    if (message.wParam == VK_TAB) {
        moveFocus(keyDown(VK_SHIFT));
        return true;
    }
    if (message.wParam != VK_RETURN) return false;
    Control* control = controlFor(message.hwnd);
    // A text or drop-down box gets Enter as a typed character (typingProc).
    if (dynamic_cast<TextBox*>(control) || dynamic_cast<ComboBox*>(control)) return false;
    // A button with the focus takes Enter itself; elsewhere it is the
    // default button's click.
    if (auto* button = dynamic_cast<Button*>(control)) {
        guarded([button] { button->press(); });
        refreshDefaultButton();
    } else {
        clickDefaultButton();
    }
    return true;
}

void Win32Window::close() {
    if (form_.requestClose(forcedClose_ ? CloseRequest::Forced : CloseRequest::User)) {
        closed_ = true;
        ::DestroyWindow(hwnd_);
        ::PostQuitMessage(0);
        return;
    }
    // The user chose to let a write to the unit go on.
    if (!form_.closing()) return;
    // An operation is still running: it stops at its next wait, and the
    // window goes once it has unwound.
    HWND h = hwnd_;
    form_.setDeferredClose([h] { ::PostMessageW(h, WM_CLOSE, 0, 0); });
}

void Win32Window::closeWithoutAsking() {
    forcedClose_ = true;
    // The form is told at once, so that the shutdown step has run when this
    // returns (the system may end the process then); the window itself goes
    // through its close.
    HWND h = hwnd_;
    if (form_.requestClose(CloseRequest::Forced)) ::PostMessageW(h, WM_CLOSE, 0, 0);
    else form_.setDeferredClose([h] { ::PostMessageW(h, WM_CLOSE, 0, 0); });
    // A message box or file dialog still open would hold the running operation
    // where it is; dismissed, the operation goes on to its next wait and stops.
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND dialog, LPARAM main) -> BOOL {
            wchar_t name[16] = {};
            ::GetClassNameW(dialog, name, 16);
            if (dialog == reinterpret_cast<HWND>(main) || std::wstring(name) != L"#32770" ||
                !::IsWindowVisible(dialog))
                return TRUE;
            const int answer = ::GetDlgItem(dialog, IDNO) ? IDNO : ::GetDlgItem(dialog, IDCANCEL) ? IDCANCEL : IDOK;
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(dialog, answer)));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(hwnd_));
}

LRESULT CALLBACK Win32Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<Win32Window*>(create->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || self->natives_.empty()) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    // Nothing may be thrown through the system's frames.
    try {
        return self->handle(message, wParam, lParam);
    } catch (const std::exception& e) {
        ::MessageBoxW(hwnd, win32::wide(e.what()).c_str(), win32::wide(self->form_.applicationTitle()).c_str(),
                      MB_OK | MB_ICONHAND);
    } catch (...) {
    }
    return 0;
}

LRESULT Win32Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (lParam) command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return colour(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
        case WM_DRAWITEM:
            drawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_MEASUREITEM: {
            auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            item->itemHeight = static_cast<UINT>(scaled(15));
            return TRUE;
        }
        case WM_WINDOWPOSCHANGING: {
            // The window keeps its design size; a minimized window is left alone.
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            if (!(pos->flags & SWP_NOSIZE) && !::IsIconic(hwnd_) && !::IsZoomed(hwnd_)) {
                const SIZE outer = outerSize();
                pos->cx = outer.cx;
                pos->cy = outer.cy;
            }
            return 0;
        }
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wParam);
            layout();
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            const SIZE outer = outerSize();
            ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, outer.cx, outer.cy,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_PAINT: {
            const LRESULT result = ::DefWindowProcW(hwnd_, message, wParam, lParam);
            if (!painted_) {
                painted_ = true;
                ::PostMessageW(hwnd_, ShownMessage, 0, 0);
            }
            return result;
        }
        case ShownMessage:
            if (onFirstPaint) onFirstPaint();
            return 0;
        case WM_CLOSE:
            close();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // A log-off or shut-down: the shutdown step runs before this
            // returns, without a question.
            if (wParam) closeWithoutAsking();
            return 0;
        default:
            return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

LRESULT CALLBACK Win32Window::frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR self) {
    auto* window = reinterpret_cast<Win32Window*>(self);
    switch (message) {
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
            // What the frame's controls tell their parent is the window's.
            return ::SendMessageW(window->hwnd_, message, wParam, lParam);
        case WM_ERASEBKGND:
            return TRUE;  // painted whole below
        case WM_PAINT: {
            // Drawn here rather than by the system, whose group boxes may set
            // the caption in their parent's font: an etched border whose top
            // runs through the middle of the caption. A frame is opaque: one
            // that lies over another hides what is below.
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(hwnd, &paint);
            RECT r{};
            ::GetClientRect(hwnd, &r);
            ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
            const Control* frame = window->controlFor(hwnd);
            HGDIOBJ old = ::SelectObject(dc, frame ? window->fontFor(*frame) : ::GetStockObject(DEFAULT_GUI_FONT));
            const std::wstring caption = windowText(hwnd);
            SIZE text{};
            ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
            RECT border = r;
            border.top = text.cy / 2;
            ::DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);
            if (!caption.empty()) {
                RECT place{window->scaled(7), 0, window->scaled(7) + text.cx + window->scaled(2), text.cy};
                ::FillRect(dc, &place, ::GetSysColorBrush(COLOR_BTNFACE));
                place.left += window->scaled(1);
                ::SetBkMode(dc, TRANSPARENT);
                ::SetTextColor(dc, ::GetSysColor(::IsWindowEnabled(hwnd) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
                ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &place,
                            DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
            }
            ::SelectObject(dc, old);
            ::EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_ENABLE:
            ::InvalidateRect(hwnd, nullptr, TRUE);
            return ::DefSubclassProc(hwnd, message, wParam, lParam);
        default:
            return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK Win32Window::typingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self) {
    auto* window = reinterpret_cast<Win32Window*>(self);
    Control* control = window->controlFor(hwnd);
    if (!control) return ::DefSubclassProc(hwnd, message, wParam, lParam);
    try {
        if (message == WM_CHAR) {
            const int character = static_cast<int>(wParam);
            if (character == '\t') return 0;  // moved the focus already
            if (character == '\r') {
                // A single-line box does not take Enter: with a usable default
                // button Enter is that button's click and the box sees no key;
                // otherwise the box's key handler gets character 13.
                if (!window->clickDefaultButton()) window->filterTyped(*control, 13);
                return 0;
            }
            const int kept = window->filterTyped(*control, character);
            if (kept == 0) return 0;
            return ::DefSubclassProc(hwnd, message, static_cast<WPARAM>(kept), lParam);
        }
        if (message == WM_PASTE) {
            // Pasted text is typed character by character through the key handler.
            std::wstring pasted;
            if (::OpenClipboard(hwnd)) {
                if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT))
                    if (auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
                        pasted = text;
                        ::GlobalUnlock(data);
                    }
                ::CloseClipboard();
            }
            std::wstring kept;
            for (wchar_t ch : pasted)
                if (const int code = window->filterTyped(*control, ch); code >= 32) kept += static_cast<wchar_t>(code);
            ::SendMessageW(hwnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(kept.c_str()));
            return 0;
        }
    } catch (...) {
        return 0;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

bool pumpWaitingMessages(Win32Window* window) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        if (window && window->preTranslate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}

int runMessageLoop(Win32Window& window) {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.preTranslate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace qv
