// Text files as the window uses them: read line by line, replaced whole.
//
// How this works: only regular files are read or replaced. A read opens the
// file without blocking (a FIFO would otherwise wait for a writer), looks at
// what the open file is, and reads at most MaxReadSize + 1 bytes, so that a
// device such as /dev/zero or a file that grows while read cannot fill the
// memory. A replace writes a temporary file and renames it over the target,
// which must not replace a device or a FIFO by a plain file; such a target is
// refused before anything is written. Names are UTF-8; the system's calls are
// made per platform (platform/posix/posix_files.cpp, and on Windows
// platform/win32/win32_files.cpp with wide-character names).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv {

// A file failure with a number: 53 the file was not found, 75 a path or file
// access error (permission, a folder where a file was expected), 57 a device
// input/output error, 61 the disk is full, 76 the folder does not exist,
// 77 not a regular file (a device, a FIFO, a socket), 78 a file too large to
// read. The description says what failed, naming the file.
class FileError : public std::runtime_error {
public:
    FileError(int code, const std::string& description)
        : std::runtime_error(description), code_(code) {}
    int code() const { return code_; }

    static constexpr int NotFound = 53;
    static constexpr int DeviceIO = 57;
    static constexpr int DiskFull = 61;
    static constexpr int AccessError = 75;
    static constexpr int PathNotFound = 76;
    static constexpr int NotRegularFile = 77;
    static constexpr int TooLarge = 78;

private:
    int code_;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The largest file readLines reads: a table of 999 lines is far smaller,
    // and so is the settings file.
    static constexpr size_t MaxReadSize = 1024 * 1024;

    // True when the file's length can be obtained (a file of length 0 counts).
    virtual bool exists(const std::string& path);
    // The path made absolute against the current folder (a relative one) and
    // with "." and ".." steps resolved; the path unchanged when it is empty
    // or the current folder cannot be told.
    virtual std::string fullPath(const std::string& path);
    // True when the file can be opened for reading (without waiting, also
    // for a FIFO).
    virtual bool canRead(const std::string& path);
    // The file's lines without their line ends (CR LF, LF or a lone CR).
    // A final line end does not start another line, and a UTF-8 byte-order
    // mark at the start is not part of the first line. Throws FileError: 53
    // no such file, 75 a folder or a file the user may not read, 77 anything
    // but a regular file (it is never read, so it cannot block), 78 a file
    // larger than MaxReadSize.
    virtual std::vector<std::string> readLines(const std::string& path);
    // Replaces the file's content with `content` by writing a temporary file
    // in the same folder and renaming it over the target, so that a failure
    // halfway leaves any old file as it was. A symbolic link is followed and
    // kept: the file it leads to is replaced, beside which the temporary file
    // is made. An existing file the user may not write is left alone and
    // reported (the folder's permission alone would let the rename pass). In
    // a folder that takes no new file (no write permission there) the file is
    // written in place instead, once the whole content is ready. Throws
    // FileError: 75 for a file or folder that may not be written, 77 for a
    // target (after the links) that exists but is not a regular file, which
    // is then left as it is.
    virtual void replaceFile(const std::string& path, const std::string& content);
};

// Splits a text into lines as readLines does (a leading UTF-8 byte-order
// mark dropped).
std::vector<std::string> splitLines(const std::string& text);

}  // namespace qv
