// The trace file on POSIX systems (see platform/traced_serial_port.h).
#include "platform/traced_serial_port.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace qv {

TraceFile::TraceFile(const std::string& path)
    : fd_(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "cannot open the trace file " + path);
}

TraceFile::~TraceFile() {
    if (fd_ >= 0) ::close(fd_);
}

void TraceFile::appendLine(std::string text) {
    text += '\n';
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Never fatal: the line is given up, the first failure kept.
            if (!failure_) failure_ = std::error_code(n < 0 ? errno : ENOSPC, std::generic_category());
            return;
        }
        done += static_cast<size_t>(n);
    }
}

}  // namespace qv
