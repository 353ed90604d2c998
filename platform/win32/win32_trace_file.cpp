// The trace file on Windows (see platform/traced_serial_port.h): opened by its
// wide-character name through the C runtime, appended to in binary mode.
#include "platform/traced_serial_port.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "platform/win32/win32_text.h"

namespace qv {

TraceFile::TraceFile(const std::string& path)
    : fd_(::_wopen(win32::wide(path).c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "cannot open the trace file " + path);
}

TraceFile::~TraceFile() {
    if (fd_ >= 0) ::_close(fd_);
}

void TraceFile::appendLine(std::string text) {
    text += '\n';
    size_t done = 0;
    while (done < text.size()) {
        const int n = ::_write(fd_, text.data() + done, static_cast<unsigned>(text.size() - done));
        if (n <= 0) {
            // Never fatal: the line is given up, the first failure kept.
            if (!failure_) failure_ = std::error_code(n < 0 ? errno : ENOSPC, std::generic_category());
            return;
        }
        done += static_cast<size_t>(n);
    }
}

}  // namespace qv
