// When the simulated unit's reply characters are due: the timing rules that
// the unit on a pseudo terminal and the in-process model port share.
//
// How this works: a reply waits its delay (Faults::replyDelay, plus
// Faults::slowDelay for the slow command) after the later of the moment its
// command was received and the moment the previous reply went out, since the
// unit answers in order. It goes out in Faults::pieces pieces 50 ms apart,
// each character one character time (zero when the line is not paced) after
// the one before it. A serial chip hands received characters on in small
// bursts: every group of up to FifoBurst characters of a piece is due when
// its last character has crossed the line. Standard library only.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <deque>
#include <string>

#include "sim/unit_model.h"

namespace qv::sim {

using ReplyClock = std::chrono::steady_clock;

struct TimedChar {
    ReplyClock::time_point due;
    char c;
};

constexpr auto PieceGap = std::chrono::milliseconds(50);
constexpr std::size_t FifoBurst = 8;

// True when the unit hangs up at the command that arrives now
// (Faults::hangupAfter): it has answered that many commands already.
inline bool hangsUpNow(const UnitModel& unit) {
    const int after = unit.config().faults.hangupAfter;
    return after >= 0 && unit.answered() >= after;
}

// The seconds the unit waits before its reply to the command it handled
// last; never negative.
inline double replyDelayOf(const UnitModel& unit) {
    const Faults& f = unit.config().faults;
    double delay = f.replyDelay;
    if (!f.slowMnemonic.empty() && unit.lastMnemonic() == f.slowMnemonic) delay += f.slowDelay;
    return std::max(0.0, delay);
}

// Appends the reply's characters to tx with their due times, the first piece
// starting delaySeconds after `start`, each character `step` after the one
// before. Returns the due time of the last character (start when the reply is
// empty).
inline ReplyClock::time_point queueReply(std::deque<TimedChar>& tx, const std::string& reply,
                                         ReplyClock::time_point start, double delaySeconds, int pieces,
                                         ReplyClock::duration step) {
    using Seconds = std::chrono::duration<double>;
    if (reply.empty()) return start;
    auto t = start + std::chrono::duration_cast<ReplyClock::duration>(Seconds(delaySeconds));
    const std::size_t n = reply.size();
    const std::size_t parts = pieces > 1 ? std::min<std::size_t>(static_cast<std::size_t>(pieces), n) : 1;
    std::size_t groupStart = tx.size();
    for (std::size_t i = 0; i < n; ++i) {
        // Piece k holds the characters [k*n/parts, (k+1)*n/parts).
        const bool newPiece = i > 0 && (i * parts) / n != ((i - 1) * parts) / n;
        if (newPiece) t += PieceGap;
        if (newPiece || tx.size() - groupStart == FifoBurst) {
            for (std::size_t k = groupStart; k < tx.size(); ++k) tx[k].due = tx.back().due;
            groupStart = tx.size();
        }
        t += step;
        tx.push_back({t, reply[i]});
    }
    for (std::size_t k = groupStart; k < tx.size(); ++k) tx[k].due = t;
    return t;
}

}  // namespace qv::sim
