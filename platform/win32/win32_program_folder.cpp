// The program's own folder on Windows (see platform/program_folder.h): the
// executable's folder for a portable copy, else %APPDATA%\Quorvel Config.
#include "platform/program_folder.h"

#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>
#include <vector>

#include "platform/file_names.h"
#include "platform/win32/win32_program_folder.h"
#include "platform/win32/win32_text.h"

namespace qv {

namespace {

// The per-user folder's name below the roaming application data folder.
const char* const PerUserFolderName = "Quorvel Config";

// A drive path ("C:\...", "C:/...") or a UNC path ("\\server\share").
bool isAbsolute(const std::string& path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
        return path[2] == '\\' || path[2] == '/';
    return path.starts_with("\\\\") || path.starts_with("//");
}

std::string environment(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    const DWORD n = ::GetEnvironmentVariableW(name, value.data(), size);
    value.resize(n < size ? n : 0);
    return win32::utf8(value);
}

// A known folder of the system ("" when Windows does not name one).
std::string knownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::string out;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) out = win32::utf8(path);
    ::CoTaskMemFree(path);
    return out;
}

// The folders programs are installed in.
bool insideProgramFiles(const std::string& folder) {
    for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86})
        if (isWithinFolder(folder, knownFolder(id))) return true;
    return false;
}

// A name as Windows compares it: "\" for "/", without a final "\", in
// upper case.
std::wstring comparable(const std::string& path) {
    std::wstring out = win32::wide(path);
    std::replace(out.begin(), out.end(), L'/', L'\\');
    while (out.size() > 1 && out.back() == L'\\') out.pop_back();
    if (!out.empty()) ::CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

}  // namespace

bool isWithinFolder(const std::string& path, const std::string& folder) {
    if (path.empty() || folder.empty()) return false;
    const std::wstring p = comparable(path), f = comparable(folder);
    return p == f || (p.size() > f.size() && p.starts_with(f) && p[f.size()] == L'\\');
}

ProgramFolder chooseProgramFolder(const std::string& executableFolder, const std::string& configHome,
                                  const std::string& home,
                                  const std::function<bool(const std::string&)>& canCreateFilesIn) {
    if (!executableFolder.empty() && canCreateFilesIn(executableFolder)) return {executableFolder, true, {}};
    std::filesystem::path base;
    if (isAbsolute(configHome)) base = pathFromUtf8(configHome);
    else if (isAbsolute(home)) base = pathFromUtf8(home) / "AppData" / "Roaming";
    else return {};
    return {utf8Name((base / PerUserFolderName).lexically_normal()), false, {}};
}

ProgramFolder findProgramFolder() {
    // An installed copy is never portable, whatever its folder allows.
    const auto portable = [](const std::string& folder) {
        return !insideProgramFiles(folder) && canCreateFilesIn(folder);
    };
    ProgramFolder folder = chooseProgramFolder(executableFolder(), environment(L"APPDATA"), homeFolder(), portable);
    if (!folder.portable && !folder.path.empty()) folder.error = makeFolder(folder.path);
    return folder;
}

std::error_code makeFolder(const std::string& path) {
    std::filesystem::path sofar;
    for (const std::filesystem::path& part : pathFromUtf8(path)) {
        sofar /= part;
        // The drive and its root folder are there already.
        if (part.empty() || !sofar.has_relative_path()) continue;
        if (::CreateDirectoryW(sofar.c_str(), nullptr)) continue;
        const DWORD err = ::GetLastError();
        if (err != ERROR_ALREADY_EXISTS) return {static_cast<int>(err), std::system_category()};
        const DWORD attr = ::GetFileAttributesW(sofar.c_str());
        if (attr == INVALID_FILE_ATTRIBUTES) return {static_cast<int>(::GetLastError()), std::system_category()};
        if (!(attr & FILE_ATTRIBUTE_DIRECTORY)) return std::make_error_code(std::errc::not_a_directory);
    }
    return {};
}

std::string homeFolder() {
    const std::string profile = environment(L"USERPROFILE");
    if (isAbsolute(profile)) return profile;
    const std::string home = environment(L"HOMEDRIVE") + environment(L"HOMEPATH");
    return isAbsolute(home) ? home : std::string();
}

// Whether a file can be made there is only known by making one: the folder's
// access rules (and a read-only medium) decide, not its attributes.
bool canCreateFilesIn(const std::string& folder) {
    static std::mt19937_64 random{std::random_device{}()};
    const std::filesystem::path probe =
        pathFromUtf8(folder) / (".quorvel-probe-" + std::to_string(random() % 1000000000));
    win32::Handle file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file.valid();
}

std::string executableFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return utf8Name(std::filesystem::current_path());
        if (n < buffer.size()) return utf8Name(std::filesystem::path(std::wstring(buffer.data(), n)).parent_path());
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace qv
