#include "platform/toolkit.h"

#include <filesystem>
#include <system_error>

#include "platform/file_names.h"

namespace qv {

namespace {

void enterFolderOf(const FileDialogResult& result) {
    if (!result.confirmed || result.fileName.empty()) return;
    std::error_code ec;
    auto folder = pathFromUtf8(result.fileName).parent_path();
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

}  // namespace qv
