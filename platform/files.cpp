#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace qv {

FileError fileErrorFromErrno(int err, const std::string& what, const std::string& path) {
    std::string text = what + " \"" + path + "\": " + std::strerror(err);
    switch (err) {
        case ENOENT:
            return FileError(FileError::NotFound, text);
        case ENOTDIR:
            return FileError(FileError::PathNotFound, text);
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
        case ETXTBSY:
            return FileError(FileError::AccessError, text);
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileError(FileError::DiskFull, text);
        default:
            return FileError(FileError::DeviceIO, text);
    }
}

bool FileSystem::exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FileSystem::canRead(const std::string& path) {
    if (path.empty()) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool regular = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    return regular;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::vector<std::string> FileSystem::readLines(const std::string& path) {
    if (path.empty()) throw FileError(FileError::NotFound, "No file name given");
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw fileErrorFromErrno(errno, "Cannot open", path);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw fileErrorFromErrno(EISDIR, "Cannot open", path);
    }
    std::string text;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            throw fileErrorFromErrno(err, "Cannot read", path);
        }
        text.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return splitLines(text);
}

void FileSystem::replaceFile(const std::string& path, const std::string& content) {
    namespace fs = std::filesystem;
    if (path.empty()) throw FileError(FileError::NotFound, "No file name given");
    fs::path target(path);
    fs::path folder = target.parent_path();
    std::string tmpl = (folder.empty() ? fs::path(".") : folder).string() + "/." +
                       target.filename().string() + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) throw fileErrorFromErrno(errno, "Cannot create a file in the folder of", path);
    std::string tmp(name.data());
    auto fail = [&](int err, const char* what) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return fileErrorFromErrno(err, what, path);
    };
    // Keep the permissions of the file being replaced; a new file gets the
    // usual permissions for the user's umask.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fail(errno, "Cannot write");
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) throw fail(errno, "Cannot write");
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        throw fileErrorFromErrno(err, "Cannot write", path);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        throw fileErrorFromErrno(err, "Cannot replace", path);
    }
}

}  // namespace qv
