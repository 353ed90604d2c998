#include "sim/model_port.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

namespace qv::sim {

using Kind = SerialError::Kind;

ModelPort::ModelPort(UnitConfig cfg, int port) : model_(std::move(cfg)), port_(port) {}

void ModelPort::setPortNumber(int number) {
    if (number < 1 || number > 255) throw SerialError(SerialError::InvalidPort, "Invalid port number", Kind::NotFound);
    if (open_ && number != number_)
        throw SerialError(SerialError::PortInUse, "Port already open", Kind::Busy, device());
    number_ = number;
}

void ModelPort::setSettings(const std::string& settings) {
    // Only the baud rate matters to the unit; the rest must still be usable.
    baud_ = parseLineSettings(settings, [](int baud) { return baud > 0; }).baud;
    settings_ = settings;
}

void ModelPort::open() {
    if (open_) throw SerialError(SerialError::PortInUse, "Port already open", Kind::Busy, device());
    if (number_ != port_ || hungUp_)
        throw SerialError(SerialError::InvalidPort, "Invalid port number: no device " + device(), Kind::NotFound,
                          device());
    open_ = true;
}

void ModelPort::close() {
    open_ = false;
    lineBuf_.clear();
    tx_.clear();
}

void ModelPort::requireLine(const char* what) const {
    if (!open_) throw SerialError(NotOpen, std::string("Port not open (") + what + ")");
    if (hungUp_)
        throw SerialError(Disconnected,
                          "The serial device " + device() + " was disconnected. Plug it in again and repeat the operation.",
                          Kind::Disconnected, device());
}

void ModelPort::write(const std::string& text) {
    requireLine("write");
    lineBuf_ += text;
    for (std::size_t lf; (lf = lineBuf_.find('\n')) != std::string::npos;) {
        const std::string line = lineBuf_.substr(0, lf);
        lineBuf_.erase(0, lf + 1);
        if (baud_ != model_.config().baud) continue;  // noise at the wrong speed
        if (hangsUpNow(model_)) {
            // The write itself went out; the next read finds the line gone.
            hungUp_ = true;
            tx_.clear();
            return;
        }
        if (std::optional<std::string> reply = model_.handle(line))
            txFree_ = queueReply(tx_, *reply, std::max(ReplyClock::now(), txFree_), replyDelayOf(model_),
                                 model_.config().faults.pieces, ReplyClock::duration::zero());
    }
}

std::string ModelPort::readAvailable() {
    requireLine("read");
    std::string out;
    for (const auto now = ReplyClock::now(); !tx_.empty() && tx_.front().due <= now; tx_.pop_front())
        out += tx_.front().c;
    return out;
}

bool ModelPort::waitReadable(int timeoutMs) {
    if (!open_) throw SerialError(NotOpen, "Port not open (wait)");
    if (hungUp_) return true;
    const auto until = ReplyClock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    const bool due = !tx_.empty() && tx_.front().due <= until;
    // A sleep may end early (MinGW's does, by the system timer's grain):
    // the wait lasts until its time has come.
    const auto wake = due ? tx_.front().due : until;
    while (ReplyClock::now() < wake) std::this_thread::sleep_until(wake);
    return due;
}

}  // namespace qv::sim
