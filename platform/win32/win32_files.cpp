// The file layer on Windows (see platform/files.h): names are UTF-8 inside
// the program and wide characters at every call. Only files on a disk are
// read or replaced; a device name (\\.\COM1, NUL) is refused before it is
// opened, since opening a device already acts on it. A replace writes a
// temporary file beside the target and moves it over the target in one step
// (MoveFileExW with MOVEFILE_REPLACE_EXISTING), so a failure halfway leaves
// the old file whole. A read-only file is reported and left alone.
#include "platform/files.h"

#include <algorithm>
#include <random>

#include "platform/file_names.h"
#include "platform/win32/win32_text.h"

namespace qv {

namespace {

using win32::Handle;
using win32::wide;

FileError notRegularFile(const std::string& path) {
    return FileError(FileError::NotRegularFile, "\"" + path + "\" is not a regular file");
}

FileError tooLarge(const std::string& path) {
    return FileError(FileError::TooLarge, "\"" + path + "\" is larger than 1 MiB");
}

// Maps a Windows error code to a FileError for the named file.
FileError fileError(DWORD err, const std::string& what, const std::string& path) {
    const std::string text = what + " \"" + path + "\": " + win32::errorText(err);
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return FileError(FileError::NotFound, text);
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DIRECTORY:
            return FileError(FileError::PathNotFound, text);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_FILE_READ_ONLY:
            return FileError(FileError::AccessError, text);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_FILE_TOO_LARGE:
            return FileError(FileError::DiskFull, text);
        default:
            return FileError(FileError::DeviceIO, text);
    }
}

// A device namespace path such as \\.\COM1 names no file on a disk.
bool namesDevice(const std::string& path) {
    return path.starts_with("\\\\.\\") || path.starts_with("//./") || path.starts_with("\\\\?\\GLOBALROOT");
}

// The attributes of the file; INVALID_FILE_ATTRIBUTES with GetLastError set
// when it cannot be looked at.
DWORD attributes(const std::string& path) { return ::GetFileAttributesW(wide(path).c_str()); }

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE openFile(const std::string& path, DWORD access, DWORD disposition) {
    return ::CreateFileW(wide(path).c_str(), access, ShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A file this write created, removed when it goes out of scope unless kept.
class CreatedFile {
public:
    explicit CreatedFile(std::string path) : path_(std::move(path)) {}
    ~CreatedFile() {
        if (!kept_) ::DeleteFileW(wide(path_).c_str());
    }
    CreatedFile(const CreatedFile&) = delete;
    CreatedFile& operator=(const CreatedFile&) = delete;
    const std::string& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

// Writes the whole content and flushes it to the disk; returns 0 or the
// error of the call that failed.
DWORD writeAll(HANDLE file, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1 << 20));
        DWORD written = 0;
        if (!::WriteFile(file, content.data() + done, chunk, &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_DISK_FULL;
        done += written;
    }
    return ::FlushFileBuffers(file) ? 0 : ::GetLastError();
}

// A temporary name beside `target`: "." + name + "." + random digits.
std::string temporaryName(const std::string& target) {
    const std::filesystem::path t = pathFromUtf8(target);
    static std::mt19937_64 random{std::random_device{}()};
    const std::string name = "." + utf8Name(t.filename()) + "." + std::to_string(random() % 1000000000);
    return utf8Name(t.parent_path() / pathFromUtf8(name));
}

// Failures to make a file in a folder that say the folder takes no new file,
// while a file already in it may still be written.
bool folderTakesNoNewFile(DWORD err) { return err == ERROR_ACCESS_DENIED || err == ERROR_FILENAME_EXCED_RANGE; }

// Writes the content straight into the file; a file this call created is
// removed again when the write fails. A failure halfway leaves an existing
// file cut short: the price of having no temporary file.
void writeInPlace(const std::string& path, const std::string& content, bool existed) {
    Handle file(openFile(path, GENERIC_WRITE, existed ? TRUNCATE_EXISTING : CREATE_NEW));
    if (!file.valid()) throw fileError(::GetLastError(), existed ? "Cannot write" : "Cannot create", path);
    CreatedFile created(path);
    if (existed) created.keep();  // what was there is never removed
    if (const DWORD err = writeAll(file.get(), content)) throw fileError(err, "Cannot write", path);
    if (const DWORD err = file.close()) throw fileError(err, "Cannot write", path);
    created.keep();
}

}  // namespace

bool FileSystem::exists(const std::string& path) {
    if (path.empty() || namesDevice(path)) return false;
    const DWORD attr = attributes(path);
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileSystem::canRead(const std::string& path) {
    if (path.empty() || namesDevice(path)) return false;
    Handle file(openFile(path, GENERIC_READ, OPEN_EXISTING));
    return file.valid() && ::GetFileType(file.get()) == FILE_TYPE_DISK;
}

std::vector<std::string> FileSystem::readLines(const std::string& path) {
    if (path.empty()) throw FileError(FileError::NotFound, "No file name given");
    if (namesDevice(path)) throw notRegularFile(path);
    const DWORD attr = attributes(path);
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY))
        throw fileError(ERROR_ACCESS_DENIED, "Cannot open", path);
    Handle file(openFile(path, GENERIC_READ, OPEN_EXISTING));
    if (!file.valid()) throw fileError(::GetLastError(), "Cannot open", path);
    // What was opened counts (NUL, CON and the like open as devices).
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) throw notRegularFile(path);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) throw fileError(::GetLastError(), "Cannot open", path);
    if (static_cast<unsigned long long>(size.QuadPart) > MaxReadSize) throw tooLarge(path);
    // At most one byte beyond the limit is read: enough to tell a file that
    // grew past it while being read.
    std::string text;
    char buf[65536];
    while (text.size() <= MaxReadSize) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min(sizeof buf, MaxReadSize + 1 - text.size()));
        if (!::ReadFile(file.get(), buf, want, &n, nullptr)) throw fileError(::GetLastError(), "Cannot read", path);
        if (n == 0) break;
        text.append(buf, n);
    }
    if (text.size() > MaxReadSize) throw tooLarge(path);
    return splitLines(text);
}

void FileSystem::replaceFile(const std::string& path, const std::string& content) {
    if (path.empty()) throw FileError(FileError::NotFound, "No file name given");
    if (namesDevice(path)) throw notRegularFile(path);
    const DWORD attr = attributes(path);
    const bool existed = attr != INVALID_FILE_ATTRIBUTES;
    if (existed) {
        if (attr & FILE_ATTRIBUTE_DIRECTORY) throw fileError(ERROR_ACCESS_DENIED, "Cannot write", path);
        // The move would replace a read-only file, which the user has marked
        // as not to be changed.
        if (attr & FILE_ATTRIBUTE_READONLY) throw fileError(ERROR_FILE_READ_ONLY, "Cannot write", path);
        // The file itself must be writable for this user, not only its folder.
        Handle probe(openFile(path, GENERIC_WRITE, OPEN_EXISTING));
        if (!probe.valid()) throw fileError(::GetLastError(), "Cannot write", path);
        if (::GetFileType(probe.get()) != FILE_TYPE_DISK) throw notRegularFile(path);
    }

    const std::string temporaryPath = temporaryName(path);
    Handle file(::CreateFileW(wide(temporaryPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD err = ::GetLastError();
        // No temporary file can be made here: write the file itself, now
        // that the whole content is ready.
        if (folderTakesNoNewFile(err)) return writeInPlace(path, content, existed);
        throw fileError(err, "Cannot create a file in the folder of", path);
    }
    CreatedFile temporary(temporaryPath);
    if (const DWORD err = writeAll(file.get(), content)) throw fileError(err, "Cannot write", path);
    if (const DWORD err = file.close()) throw fileError(err, "Cannot write", path);
    if (!::MoveFileExW(wide(temporaryPath).c_str(), wide(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw fileError(::GetLastError(), "Cannot replace", path);
    temporary.keep();
}

}  // namespace qv
