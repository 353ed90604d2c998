#include "platform/toolkit.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <system_error>

namespace qv {

namespace {

void enterFolderOf(const FileDialogResult& result) {
    if (!result.confirmed || result.fileName.empty()) return;
    std::error_code ec;
    auto folder = std::filesystem::path(result.fileName).parent_path();
    if (!folder.empty()) std::filesystem::current_path(folder, ec);
}

}  // namespace

FileDialogResult Toolkit::showOpen(const FileDialogSettings& settings) {
    FileDialogResult result = openDialog(settings);
    enterFolderOf(result);
    return result;
}

FileDialogResult Toolkit::showSave(const FileDialogSettings& settings) {
    FileDialogResult result = saveDialog(settings);
    enterFolderOf(result);
    return result;
}

std::string executableFolder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::filesystem::current_path().string();
    buf[n] = '\0';
    return std::filesystem::path(buf).parent_path().string();
}

}  // namespace qv
