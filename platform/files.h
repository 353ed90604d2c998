// Text files as the window uses them: read line by line, replaced whole.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace qv {

// A file failure with a number: 53 the file was not found, 75 a path or file
// access error (permission, a folder where a file was expected), 57 a device
// input/output error, 61 the disk is full, 76 the folder does not exist.
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

private:
    int code_;
};

// Maps an errno value to a FileError for the named file.
FileError fileErrorFromErrno(int err, const std::string& what, const std::string& path);

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True when the file's length can be obtained (a file of length 0 counts).
    virtual bool exists(const std::string& path);
    // True when the file can be opened for reading.
    virtual bool canRead(const std::string& path);
    // The file's lines without their line ends (CR LF, LF or a lone CR).
    // A final line end does not start another line, and a UTF-8 byte-order
    // mark at the start is not part of the first line. Throws FileError.
    virtual std::vector<std::string> readLines(const std::string& path);
    // Replaces the file's content with `content` by writing a temporary file
    // in the same folder and renaming it over the target, so that a failure
    // halfway leaves any old file as it was. A symbolic link is followed and
    // kept: the file it leads to is replaced, beside which the temporary file
    // is made. An existing file the user may not write is left alone and
    // reported (the folder's permission alone would let the rename pass). In
    // a folder that takes no new file (no write permission there) the file is
    // written in place instead, once the whole content is ready. Throws
    // FileError: 75 for a file or folder that may not be written.
    virtual void replaceFile(const std::string& path, const std::string& content);
};

// Splits a text into lines as readLines does (a leading UTF-8 byte-order
// mark dropped).
std::vector<std::string> splitLines(const std::string& text);

}  // namespace qv
