#include "platform/traced_serial_port.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/clock.h"

namespace qv {

namespace {

// "2024-03-04 14:05:09.125": the local date and time to the millisecond.
std::string localTimestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    // to_time_t may round; the milliseconds count from the second it gives.
    long millis = static_cast<long>(duration_cast<milliseconds>(now - system_clock::from_time_t(seconds)).count());
    if (millis < 0 || millis > 999) millis = 0;
    const std::tm local = localCalendar(seconds);
    char buf[96];  // room for any int the compiler may assume
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
    return buf;
}

}  // namespace

std::string escapedWireText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 8);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7f) {
            out += ch;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

TracedSerialPort::TracedSerialPort(SerialPort& inner, const std::string& tracePath, std::string portName)
    : inner_(inner), file_(tracePath), portName_(std::move(portName)) {}

TracedSerialPort::~TracedSerialPort() { notePartial("recv"); }

void TracedSerialPort::note(std::string_view event, std::string_view text) {
    std::string line = localTimestamp() + " ";
    line += portName_.empty() ? "COM" + std::to_string(inner_.portNumber()) : portName_;
    line += ' ';
    line += event;
    if (!text.empty()) {
        line += ' ';
        line += text;
    }
    file_.appendLine(std::move(line));
}

void TracedSerialPort::failed(const SerialError& failure, std::string_view during) {
    note("failure", std::to_string(failure.number()) + " " + failure.description() + " (" + std::string(during) + ")");
    throw failure;
}

// Characters received without their line end, noted before they are lost.
void TracedSerialPort::notePartial(std::string_view event) {
    if (pending_.empty()) return;
    note(event, escapedWireText(pending_) + " (no line end)");
    pending_.clear();
}

void TracedSerialPort::setPortNumber(int number) {
    try {
        inner_.setPortNumber(number);
    } catch (const SerialError& e) {
        failed(e, "setting port number " + std::to_string(number));
    }
}

void TracedSerialPort::setSettings(const std::string& settings) {
    try {
        inner_.setSettings(settings);
    } catch (const SerialError& e) {
        failed(e, "setting the line to " + settings);
    }
}

void TracedSerialPort::open() {
    try {
        inner_.open();
    } catch (const SerialError& e) {
        failed(e, "opening");
    }
    pending_.clear();
    note("open", inner_.settings());
}

void TracedSerialPort::close() {
    const bool wasOpen = inner_.isOpen();
    inner_.close();
    if (!wasOpen) return;
    notePartial("recv");
    note("close", {});
}

void TracedSerialPort::write(const std::string& text) {
    try {
        inner_.write(text);
    } catch (const SerialError& e) {
        failed(e, "sending " + escapedWireText(text));
    }
    note("sent", escapedWireText(text));
}

std::string TracedSerialPort::readAvailable() {
    std::string got;
    try {
        got = inner_.readAvailable();
    } catch (const SerialError& e) {
        notePartial("recv");
        failed(e, "reading");
    }
    size_t start = 0;
    for (size_t lf = got.find('\n'); lf != std::string::npos; lf = got.find('\n', start)) {
        pending_.append(got, start, lf + 1 - start);
        note("recv", escapedWireText(pending_));
        pending_.clear();
        start = lf + 1;
    }
    pending_.append(got, start, std::string::npos);
    return got;
}

bool TracedSerialPort::waitReadable(int timeoutMs) {
    try {
        return inner_.waitReadable(timeoutMs);
    } catch (const SerialError& e) {
        failed(e, "waiting for the reply");
    }
}

void TracedSerialPort::replyTimedOut(int sec) {
    inner_.replyTimedOut(sec);
    std::string text = "no reply line within " + std::to_string(sec) + " s";
    if (!pending_.empty()) text += "; received without line end: " + escapedWireText(pending_);
    pending_.clear();
    note("time-out", text);
}

void TracedSerialPort::lateReplyDropped(const std::string& line) {
    inner_.lateReplyDropped(line);
    if (line.empty() || line.back() == '\n') {
        note("late", escapedWireText(line));
        return;
    }
    // Characters without their line end are still pending here: they are
    // noted once, as dropped, and left out of the next "recv" line.
    if (pending_.ends_with(line)) pending_.erase(pending_.size() - line.size());
    note("late", escapedWireText(line) + " (no line end)");
}

}  // namespace qv
