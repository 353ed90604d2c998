// The program's own folder: where the settings file and the COM<N> links live.
//
// A copy of the program in a folder its user may create files in (a portable
// copy, the build tree) keeps them beside the executable. An installed copy
// (e.g. in /usr/bin or C:\Program Files) cannot, so it keeps them in a
// per-user folder, made on first start:
// - Linux: $XDG_CONFIG_HOME/quorvel-config, or ~/.config/quorvel-config where
//   XDG_CONFIG_HOME is unset, empty or not an absolute path;
// - Windows: %APPDATA%\Quorvel Config, or
//   %USERPROFILE%\AppData\Roaming\Quorvel Config where APPDATA is unset or
//   not an absolute path.
// Each system's rule is in platform/posix/ and platform/win32/.
//
// chooseProgramFolder() is the choice alone, on given inputs, so it can be
// tried without installing; findProgramFolder() feeds it this process's
// inputs and makes the per-user folder.
#pragma once

#include <functional>
#include <string>
#include <system_error>

namespace qv {

struct ProgramFolder {
    // The folder's path; empty when no folder could be found at all (no
    // usable executable folder and no home folder).
    std::string path;
    // True for the executable's own folder (a portable copy), false for the
    // per-user folder of an installed copy.
    bool portable = false;
    // Why the per-user folder could not be made; path is still set then.
    std::error_code error;
};

// The choice alone. `executableFolder` is the running program's folder (may be
// empty when unknown), `configHome` the value of XDG_CONFIG_HOME (Windows:
// APPDATA) and `home` the user's home folder ("" when unset); `canCreateFilesIn` says whether the
// user may create files in a folder. Makes nothing.
ProgramFolder chooseProgramFolder(const std::string& executableFolder, const std::string& configHome,
                                  const std::string& home,
                                  const std::function<bool(const std::string&)>& canCreateFilesIn);

// The choice for this process (its executable, environment and user), with
// the per-user folder made when it is the one chosen. On failure to make it
// the path is returned with `error` set; writing the settings file there then
// fails, and start-up reports it as it reports any settings-file error.
ProgramFolder findProgramFolder();

// Makes the folder and any missing parents, each new one for its user alone
// (mode 0700 on POSIX; on Windows the per-user folder's own permissions). Returns the error of the first mkdir that failed
// (an existing folder is no failure), or an empty error_code.
std::error_code makeFolder(const std::string& path);

// The user's home folder: $HOME when it is an absolute path, otherwise the
// user's entry in the password database (Windows: %USERPROFILE%, else the
// user's profile folder); "" when none gives one.
std::string homeFolder();

// True when this process may create files in the folder (write and search
// permission on it, by its effective ids; on Windows, a file can be made
// there and removed again).
bool canCreateFilesIn(const std::string& folder);

// The folder of the running executable; the current folder when it cannot
// be told.
std::string executableFolder();

}  // namespace qv
