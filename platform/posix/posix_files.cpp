// The file layer on POSIX systems (see platform/files.h).
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qv {

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

FileError notRegularFile(const std::string& path) {
    return FileError(FileError::NotRegularFile, "\"" + path + "\" is not a regular file");
}

FileError tooLarge(const std::string& path) {
    return FileError(FileError::TooLarge, "\"" + path + "\" is larger than 1 MiB");
}

// Neither a regular file nor a folder (which fails as a folder does).
bool isSpecial(mode_t mode) { return !S_ISREG(mode) && !S_ISDIR(mode); }

// Maps an errno value to a FileError for the named file.
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

}  // namespace

bool FileSystem::exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FileSystem::canRead(const std::string& path) {
    if (path.empty()) return false;
    // Without O_NONBLOCK the open of a FIFO would wait for a writer.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    return fd.valid() && ::fstat(fd.get(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::vector<std::string> FileSystem::readLines(const std::string& path) {
    if (path.empty()) throw FileError(FileError::NotFound, "No file name given");
    // A device is refused before it is opened: opening a serial line or a
    // tape already acts on it.
    if (struct stat st {}; ::stat(path.c_str(), &st) == 0 && isSpecial(st.st_mode)) throw notRegularFile(path);
    // Without O_NONBLOCK the open of a FIFO would wait for a writer.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) throw fileErrorFromErrno(errno, "Cannot open", path);
    // What was opened counts, should the path have changed since.
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) throw fileErrorFromErrno(errno, "Cannot open", path);
    if (S_ISDIR(st.st_mode)) throw fileErrorFromErrno(EISDIR, "Cannot open", path);
    if (!S_ISREG(st.st_mode)) throw notRegularFile(path);
    if (static_cast<unsigned long long>(st.st_size) > MaxReadSize) throw tooLarge(path);
    // At most one byte beyond the limit is read: enough to tell a file that
    // grew past it while being read.
    std::string text;
    char buf[65536];
    while (text.size() <= MaxReadSize) {
        const ssize_t n = ::read(fd.get(), buf, std::min(sizeof buf, MaxReadSize + 1 - text.size()));
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fileErrorFromErrno(errno, "Cannot read", path);
        }
        text.append(buf, static_cast<size_t>(n));
    }
    if (text.size() > MaxReadSize) throw tooLarge(path);
    return splitLines(text);
}

namespace {

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
        // The rename would put a plain file in the place of a device or a FIFO.
        if (!S_ISREG(st.st_mode)) throw notRegularFile(path);
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
