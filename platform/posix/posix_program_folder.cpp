// The program's own folder on POSIX systems (see platform/program_folder.h).
#include "platform/program_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/toolkit.h"

namespace qv {

namespace {

// The per-user folder's name below the configuration home.
const char* const PerUserFolderName = "quorvel-config";

bool isAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

ProgramFolder chooseProgramFolder(const std::string& executableFolder, const std::string& configHome,
                                  const std::string& home,
                                  const std::function<bool(const std::string&)>& canCreateFilesIn) {
    if (!executableFolder.empty() && canCreateFilesIn(executableFolder)) return {executableFolder, true, {}};
    // XDG: a relative XDG_CONFIG_HOME is invalid and is ignored like an unset one.
    std::filesystem::path base;
    if (isAbsolute(configHome)) base = configHome;
    else if (isAbsolute(home)) base = std::filesystem::path(home) / ".config";
    else return {};
    return {(base / PerUserFolderName).lexically_normal().string(), false, {}};
}

ProgramFolder findProgramFolder() {
    ProgramFolder folder =
        chooseProgramFolder(executableFolder(), environment("XDG_CONFIG_HOME"), homeFolder(), canCreateFilesIn);
    if (!folder.portable && !folder.path.empty()) folder.error = makeFolder(folder.path);
    return folder;
}

std::error_code makeFolder(const std::string& path) {
    std::filesystem::path sofar;
    for (const std::filesystem::path& part : std::filesystem::path(path)) {
        sofar /= part;
        if (part == "/" || part.empty()) continue;
        if (::mkdir(sofar.c_str(), 0700) == 0) continue;
        const int err = errno;
        if (err != EEXIST) return {err, std::generic_category()};
        struct stat st {};
        if (::stat(sofar.c_str(), &st) != 0) return {errno, std::generic_category()};
        if (!S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::not_a_directory);
    }
    return {};
}

std::string homeFolder() {
    const std::string home = environment("HOME");
    if (isAbsolute(home)) return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
    return isAbsolute(found->pw_dir) ? std::string(found->pw_dir) : std::string();
}

std::string executableFolder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::filesystem::current_path().string();
    buf[n] = '\0';
    return std::filesystem::path(buf).parent_path().string();
}

bool canCreateFilesIn(const std::string& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

}  // namespace qv
