#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
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
    // Windows editors start a UTF-8 text with a byte-order mark.
    const size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (size_t i = start; i < text.size(); ++i) {
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

namespace {

// An open descriptor, closed when it goes out of scope unless closed first.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now; returns 0, or the errno of a failed close.
    int close() {
        const int rc = ::close(fd_);
        const int err = rc == 0 ? 0 : errno;
        fd_ = -1;
        return err;
    }

private:
    int fd_;
};

// A file this write created, removed when it goes out of scope unless kept.
class CreatedFile {
public:
    explicit CreatedFile(std::string path) : path_(std::move(path)) {}
    ~CreatedFile() {
        if (!kept_) ::unlink(path_.c_str());
    }
    CreatedFile(const CreatedFile&) = delete;
    CreatedFile& operator=(const CreatedFile&) = delete;
    const std::string& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

// Writes the whole content to fd and flushes it to the disk; returns 0 or
// the errno of the call that failed.
int writeAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            const int err = errno;
            if (err == EINTR) continue;
            return err;
        }
        done += static_cast<size_t>(n);
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

// The file a path names once every symbolic link at its end is followed (a
// link's relative target counts from the link's own folder). A link to a
// file that does not exist yet gives that file. Throws FileError.
std::string followLinks(const std::string& path) {
    namespace fs = std::filesystem;
    std::string current = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        if (hops == 40) throw fileErrorFromErrno(ELOOP, "Cannot follow the link", path);
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size());
        if (n < 0) throw fileErrorFromErrno(errno, "Cannot follow the link", path);
        const fs::path target(std::string(buf.data(), static_cast<size_t>(n)));
        current = target.is_absolute() ? target.string() : (fs::path(current).parent_path() / target).string();
    }
}

// A temporary file beside `target`: "." + name + ".XXXXXX", the name cut so
// that the temporary name stays within the file-name limit.
std::string temporaryTemplate(const std::string& target) {
    namespace fs = std::filesystem;
    const fs::path t(target);
    const fs::path folder = t.parent_path().empty() ? fs::path(".") : t.parent_path();
    std::string name = t.filename().string();
    const size_t room = NAME_MAX - std::strlen("..XXXXXX");
    if (name.size() > room) name.resize(room);
    return (folder / ("." + name + ".XXXXXX")).string();
}

// Failures to make a file in a folder that say the folder takes no new
// file, while a file already in it may still be written.
bool folderTakesNoNewFile(int err) { return err == EACCES || err == EPERM || err == ENAMETOOLONG; }

// Writes the content straight into the file, truncating it first; a file
// this call created is removed again when the write fails. A failure halfway
// leaves an existing file cut short: the price of having no temporary file.
void writeInPlace(const std::string& file, const std::string& content, bool existed, const std::string& path) {
    Descriptor fd(::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | (existed ? 0 : O_CREAT | O_EXCL), 0666));
    if (!fd.valid()) throw fileErrorFromErrno(errno, existed ? "Cannot write" : "Cannot create", path);
    CreatedFile created(file);
    if (existed) created.keep();  // what was there is never removed
    if (const int err = writeAll(fd.get(), content)) throw fileErrorFromErrno(err, "Cannot write", path);
    if (const int err = fd.close()) throw fileErrorFromErrno(err, "Cannot write", path);
    created.keep();
}

}  // namespace

void FileSystem::replaceFile(const std::string& path, const std::string& content) {
    if (path.empty()) throw FileError(FileError::NotFound, "No file name given");
    // A symbolic link stays: the file it leads to is the one replaced.
    const std::string target = followLinks(path);
    struct stat st {};
    const bool existed = ::stat(target.c_str(), &st) == 0;
    if (existed) {
        if (S_ISDIR(st.st_mode)) throw fileErrorFromErrno(EISDIR, "Cannot write", path);
        // Renaming needs only the folder's permission; a file the user may
        // not write must not be replaced behind that permission.
        Descriptor probe(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!probe.valid()) throw fileErrorFromErrno(errno, "Cannot write", path);
    }

    const std::string tmpl = temporaryTemplate(target);
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    Descriptor fd(::mkstemp(name.data()));
    if (!fd.valid()) {
        const int err = errno;
        // No temporary file can be made here: write the file itself, now
        // that the whole content is ready.
        if (folderTakesNoNewFile(err)) return writeInPlace(target, content, existed, path);
        throw fileErrorFromErrno(err, "Cannot create a file in the folder of", path);
    }
    CreatedFile temporary(name.data());
    // Keep the permissions of the file being replaced; a new file gets the
    // usual permissions for the user's umask.
    if (existed) {
        ::fchmod(fd.get(), st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd.get(), 0666 & ~mask);
    }
    if (const int err = writeAll(fd.get(), content)) throw fileErrorFromErrno(err, "Cannot write", path);
    if (const int err = fd.close()) throw fileErrorFromErrno(err, "Cannot write", path);
    if (::rename(temporary.path().c_str(), target.c_str()) != 0)
        throw fileErrorFromErrno(errno, "Cannot replace", path);
    temporary.keep();
}

}  // namespace qv
