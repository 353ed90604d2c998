#include "platform/win32/win32_serial_port.h"

#include "platform/win32/win32_text.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

namespace qv {

using Kind = SerialError::Kind;

namespace {

// The line speeds the window offers.
constexpr int Bauds[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

struct CloseHandleOf {
    void operator()(void* handle) const {
        if (handle && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    }
};
using UniqueHandle = std::unique_ptr<void, CloseHandleOf>;

// The communication time-outs: reads as `readWaitMs` asks (-1: return at
// once with what is there; otherwise wait at most that long for the
// characters asked for), writes with some seconds on top of the time the
// characters take at `baud`.
COMMTIMEOUTS timeoutsFor(int readWaitMs, int baud) {
    COMMTIMEOUTS t{};
    if (readWaitMs < 0) {
        t.ReadIntervalTimeout = MAXDWORD;
    } else {
        // A constant of 0 with the other two 0 would mean "no time-out".
        t.ReadTotalTimeoutConstant = static_cast<DWORD>(std::max(1, readWaitMs));
    }
    t.WriteTotalTimeoutMultiplier = static_cast<DWORD>((30000 + baud - 1) / baud);  // 3 times 10 bits a character
    t.WriteTotalTimeoutConstant = 5000;
    return t;
}

bool sameTimeouts(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) {
    return a.ReadIntervalTimeout == b.ReadIntervalTimeout &&
           a.ReadTotalTimeoutMultiplier == b.ReadTotalTimeoutMultiplier &&
           a.ReadTotalTimeoutConstant == b.ReadTotalTimeoutConstant &&
           a.WriteTotalTimeoutMultiplier == b.WriteTotalTimeoutMultiplier &&
           a.WriteTotalTimeoutConstant == b.WriteTotalTimeoutConstant;
}

}  // namespace

std::string win32ErrorText(unsigned long code) { return win32::errorText(code); }

SerialError win32SerialError(unsigned long code, Win32Phase phase, const std::string& what, const std::string& port) {
    const bool opening = phase == Win32Phase::Open;
    // A device that takes no line settings (Wine's COM<N> may lead to any
    // file) is no serial port.
    const SerialError notSerial(SerialError::InvalidPort, "Invalid port number: " + port + " is not a serial device",
                                Kind::NotFound, port);
    const SerialError unplugged(
        Win32SerialPort::SystemErrorBase + static_cast<int>(code),
        "The serial device " + port + " was disconnected. Plug it in again and repeat the operation.",
        Kind::Disconnected, port);
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            if (opening)
                return SerialError(SerialError::InvalidPort, "Invalid port number: no device " + port, Kind::NotFound,
                                   port);
            break;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
            if (opening) return notSerial;
            break;
        case ERROR_ACCESS_DENIED:  // what Windows says for a port another program holds open
        case ERROR_SHARING_VIOLATION:
            if (opening)
                return SerialError(SerialError::PortInUse, "Port already in use: " + port + " is open in another program",
                                   Kind::Busy, port);
            break;
        // The handle of an open port is no longer valid once its adapter is
        // unplugged.
        case ERROR_INVALID_HANDLE:
            return opening ? notSerial : unplugged;
        // What the driver says to the operations of an open port whose
        // adapter was unplugged (Wine says "not ready" for a line that hung
        // up).
        case ERROR_DEVICE_REMOVED:
        case ERROR_GEN_FAILURE:
        case ERROR_OPERATION_ABORTED:
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_NOT_READY:
            if (!opening) return unplugged;
            break;
        default:
            break;
    }
    return SerialError(Win32SerialPort::SystemErrorBase + static_cast<int>(code), what + ": " + win32ErrorText(code),
                       Kind::Other, port);
}

struct Win32SerialPort::Session {
    Session(UniqueHandle claimed, UniqueHandle device, std::string name)
        : claim(std::move(claimed)), handle(std::move(device)), port(std::move(name)) {}
    ~Session() {
        if (haveSaved) ::SetCommState(handle.get(), &saved);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The failure of the Windows call that just failed, doing `what`.
    // Nothing may run between that call and this one: `what` is a plain
    // text so that no allocation comes first.
    SerialError failed(const char* what, Win32Phase phase = Win32Phase::Operation) const {
        const DWORD code = ::GetLastError();
        return win32SerialError(code, phase, std::string(what) + " " + port, port);
    }

    // Sets the time-outs unless they are in force already (a wait of the same
    // length as the last one costs no call).
    std::optional<SerialError> useTimeouts(const COMMTIMEOUTS& wanted) {
        if (haveTimeouts && sameTimeouts(wanted, timeouts)) return std::nullopt;
        if (!::SetCommTimeouts(handle.get(), const_cast<COMMTIMEOUTS*>(&wanted)))
            return failed("Cannot set the time-outs of");
        timeouts = wanted;
        haveTimeouts = true;
        return std::nullopt;
    }

    UniqueHandle claim;   // let go after the device is closed
    UniqueHandle handle;  // closed after the line settings are put back
    std::string port;
    bool haveSaved = false;
    DCB saved{};  // the line settings the device had before
    bool haveTimeouts = false;
    COMMTIMEOUTS timeouts{};
};

Win32SerialPort::Win32SerialPort(std::string /*programFolder*/) {}

Win32SerialPort::~Win32SerialPort() = default;

std::string Win32SerialPort::portName(int number) { return "COM" + std::to_string(number); }

void Win32SerialPort::setPortNumber(int number) {
    if (number < 1 || number > 255)
        throw SerialError(SerialError::InvalidPort, "Invalid port number", Kind::NotFound);
    if (isOpen() && number != number_)
        throw SerialError(SerialError::PortInUse, "Port already open", Kind::Busy, session_->port);
    number_ = number;
}

Win32SerialPort::Line Win32SerialPort::parseSettings(const std::string& settings) {
    return parseLineSettings(settings, [](int baud) { return std::find(std::begin(Bauds), std::end(Bauds), baud) != std::end(Bauds); });
}

namespace {

// The line of `line`-like settings on top of what the device has: binary,
// no flow control of either kind, no character replaced or dropped, errors
// that do not stop the port. DTR and RTS are raised, as opening a terminal
// device raises them; neither takes part in a handshake.
void setLine(DCB& dcb, int baud, char parity, int dataBits, int stopBits) {
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = static_cast<BYTE>(dataBits);
    dcb.Parity = parity == 'E' ? EVENPARITY : parity == 'O' ? ODDPARITY : NOPARITY;
    dcb.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = parity != 'N';
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
}

}  // namespace

void Win32SerialPort::setSettings(const std::string& settings) {
    Line line = parseSettings(settings);
    if (isOpen()) {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!::GetCommState(session_->handle.get(), &dcb)) throw session_->failed("Cannot read the line settings of");
        setLine(dcb, line.baud, line.parity, line.dataBits, line.stopBits);
        if (!::SetCommState(session_->handle.get(), &dcb)) throw session_->failed("Cannot set the line settings of");
    }
    line_ = line;
    settings_ = settings;
}

void Win32SerialPort::open() {
    if (isOpen()) throw SerialError(SerialError::PortInUse, "Port already open", Kind::Busy, session_->port);
    const std::string port = portName(number_);
    // Windows opens a port for one program at a time, but Wine lets every
    // program open it: a named object per port keeps out the other copies of
    // this program (and other port objects of this one) there too. It is
    // taken first, so that a port in use is not even opened.
    const std::wstring claimName = L"Global\\quorvel-serial-COM" + std::to_wstring(number_);
    HANDLE claimed = ::CreateMutexW(nullptr, FALSE, claimName.c_str());
    const DWORD claimCode = ::GetLastError();  // ERROR_ALREADY_EXISTS also where it succeeds
    UniqueHandle claim(claimed);
    if (!claim) throw win32SerialError(claimCode, Win32Phase::Open, "Cannot claim " + port, port);
    // Held by another: the same as Windows' own refusal of a shared port.
    if (claimCode == ERROR_ALREADY_EXISTS)
        throw win32SerialError(ERROR_SHARING_VIOLATION, Win32Phase::Open, "Cannot claim " + port, port);
    // \\.\COM<N>: without the prefix only COM1 to COM9 can be opened.
    const std::wstring device = L"\\\\.\\COM" + std::to_wstring(number_);
    HANDLE opened = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* exclusive */, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        throw win32SerialError(code, Win32Phase::Open, "Cannot open " + port, port);
    }
    auto session = std::make_unique<Session>(std::move(claim), UniqueHandle(opened), port);
    HANDLE h = session->handle.get();
    // Only a wish to the driver, which may keep buffers of its own size.
    ::SetupComm(h, 4096, 4096);
    session->saved.DCBlength = sizeof session->saved;
    if (!::GetCommState(h, &session->saved)) throw session->failed("Cannot read the line settings of", Win32Phase::Open);
    session->haveSaved = true;
    DCB dcb = session->saved;
    setLine(dcb, line_.baud, line_.parity, line_.dataBits, line_.stopBits);
    if (!::SetCommState(h, &dcb)) throw session->failed("Cannot set the line settings of", Win32Phase::Open);
    if (auto failure = session->useTimeouts(timeoutsFor(-1, line_.baud))) throw *failure;
    // Whatever the line carried before the port was opened is noise.
    if (!::PurgeComm(h, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR))
        throw session->failed("Cannot empty the buffers of", Win32Phase::Open);
    pending_.clear();
    failure_.reset();
    session_ = std::move(session);
}

void Win32SerialPort::close() {
    session_.reset();
    pending_.clear();
    failure_.reset();
}

void Win32SerialPort::requireOpen(const char* what) const {
    if (!isOpen()) throw SerialError(NotOpen, std::string("Port not open (") + what + ")");
}

void Win32SerialPort::write(const std::string& text) {
    requireOpen("write");
    Session& s = *session_;
    COMMTIMEOUTS wanted = s.timeouts;
    const COMMTIMEOUTS forLine = timeoutsFor(-1, line_.baud);
    wanted.WriteTotalTimeoutMultiplier = forLine.WriteTotalTimeoutMultiplier;
    wanted.WriteTotalTimeoutConstant = forLine.WriteTotalTimeoutConstant;
    if (auto failure = s.useTimeouts(wanted)) throw *failure;
    std::size_t done = 0;
    while (done < text.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(s.handle.get(), text.data() + done, chunk, &written, nullptr))
            throw s.failed("Cannot write to");
        done += written;
        // A write that returns short ran out of its time-out.
        if (written < chunk)
            throw SerialError(WriteTimeout, "Write timed out: " + std::to_string(text.size() - done) + " of " +
                                                std::to_string(text.size()) + " characters not sent on " + s.port);
    }
}

bool Win32SerialPort::read(std::string& out, unsigned long size, int waitMs) {
    Session& s = *session_;
    if (auto failure = s.useTimeouts(timeoutsFor(waitMs, line_.baud))) {
        failure_ = std::move(failure);
        return false;
    }
    char buf[4096];
    DWORD got = 0;
    if (!::ReadFile(s.handle.get(), buf, std::min<DWORD>(size, sizeof buf), &got, nullptr)) {
        failure_ = s.failed("Cannot read from");
        return false;
    }
    out.append(buf, got);
    return true;
}

std::string Win32SerialPort::readAvailable() {
    requireOpen("read");
    std::string out = std::move(pending_);
    pending_.clear();
    while (!failure_) {
        const std::size_t before = out.size();
        if (!read(out, 4096, -1) || out.size() - before < 4096) break;
    }
    // Hand out what came before the failure; the next read reports it.
    if (failure_ && out.empty()) {
        SerialError failure = std::move(*failure_);
        failure_.reset();
        throw failure;
    }
    return out;
}

bool Win32SerialPort::waitReadable(int timeoutMs) {
    requireOpen("wait");
    if (!pending_.empty() || failure_) return true;
    // One character with a total time-out: the read sleeps in the driver
    // until a character comes or the time is up.
    if (!read(pending_, 1, std::max(0, timeoutMs))) return true;
    return !pending_.empty();
}

}  // namespace qv
