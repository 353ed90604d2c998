#include "platform/win32/win32_toolkit.h"

#include "platform/win32/win32_window.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

#include "platform/file_names.h"

namespace qv {

namespace {

UINT iconStyle(Icon icon) {
    switch (icon) {
        case Icon::Exclamation: return MB_ICONEXCLAMATION;
        case Icon::Stop: return MB_ICONHAND;
        case Icon::Information: return MB_ICONINFORMATION;
        case Icon::None: break;
    }
    return 0;
}

bool isFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring dialogFilter(const std::string& filter) {
    std::wstring result;
    size_t start = 0, parts = 0;
    for (;;) {
        const size_t end = filter.find('|', start);
        result += win32::wide(filter.substr(start, end == std::string::npos ? std::string::npos : end - start));
        result += L'\0';
        ++parts;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    // A description without patterns shows every file.
    if (parts % 2) result += std::wstring(L"*.*") + L'\0';
    return result + L'\0';
}

Answer Win32Toolkit::messageBox(const std::string& text, const std::string& title, Buttons buttons, Icon icon,
                                Answer defaultAnswer) {
    UINT style = iconStyle(icon) | MB_SETFOREGROUND;
    if (buttons == Buttons::YesNo) style |= MB_YESNO | (defaultAnswer == Answer::No ? MB_DEFBUTTON2 : MB_DEFBUTTON1);
    else style |= MB_OK;
    // Owned by the window, which takes no input while the box is open.
    HWND owner = window_ && !window_->closed() ? window_->hwnd() : nullptr;
    const int result = ::MessageBoxW(owner, win32::wide(text).c_str(), win32::wide(title).c_str(), style);
    if (buttons == Buttons::YesNo) return result == IDYES ? Answer::Yes : Answer::No;
    return Answer::OK;
}

void Win32Toolkit::beep() {
    ++beeps_;
    ::MessageBeep(MB_OK);
}

void Win32Toolkit::doEvents() { pumpWaitingMessages(window_); }

void Win32Toolkit::setFocus(Control& control) {
    if (!window_) return;
    if (HWND h = window_->handleFor(control)) ::SetFocus(h);
}

Control* Win32Toolkit::focus() const { return window_ ? window_->controlFor(::GetFocus()) : nullptr; }

std::string Win32Toolkit::tableFolder() {
    if (folder_.portable) return folder_.path;
    // Table files are the user's documents.
    wchar_t* documents = nullptr;
    std::wstring path;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &documents))) path = documents;
    ::CoTaskMemFree(documents);
    if (!path.empty() && isFolder(path)) return win32::utf8(path);
    return homeFolder();
}

FileDialogResult Win32Toolkit::runDialog(bool save, const FileDialogSettings& settings) {
    const std::wstring filter = dialogFilter(settings.filter), title = win32::wide(settings.title),
                       folder = win32::wide(settings.initialDir);
    std::vector<wchar_t> name(32768, L'\0');
    const std::wstring given = win32::wide(settings.fileName);
    given.copy(name.data(), std::min(given.size(), name.size() - 1));

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_ && !window_->closed() ? window_->hwnd() : nullptr;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(settings.filterIndex < 1 ? 1 : settings.filterIndex);
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    // The program asks its own replace question, and reports a missing file
    // itself; the folder it works in is set by the caller.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    const BOOL confirmed = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    if (confirmed) return {true, win32::utf8(name.data()), 1};
    return {false, settings.fileName, settings.filterIndex};
}

FileDialogResult Win32Toolkit::openDialog(const FileDialogSettings& settings) { return runDialog(false, settings); }

FileDialogResult Win32Toolkit::saveDialog(const FileDialogSettings& settings) { return runDialog(true, settings); }

}  // namespace qv
