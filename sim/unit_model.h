// A simulated barometer: the command language of the unit without any I/O.
//
// A command line is "*" + ID + "00" + mnemonic [+ three-digit index for JT
// and JR, four digits for the line after line 999] [+ "=" + value]; a write
// is preceded on the same line by an enable command ("*" + ID + "00EW" for
// JH, JP, JC, JT, JR; "*" + ID + "00EZ" for PB). A reply is "*" + "00" + ID
// + mnemonic [+ index] + "=" + value + CR LF.
//
// Behaviour chosen for this simulated unit:
// - Lines for another unit ID, lines that do not start "*" + ID + "00",
//   unknown mnemonics, an enable command alone, a JT/JR index that is not
//   three or four digits or is 000: no reply. The reply repeats the index as
//   it was sent.
// - VR answers kind + version ("*0001VR=P1.1.0"); a write to VR is ignored.
// - A write without its own enable command (none, or EZ in front of JH, or EW
//   in front of PB) is not applied; the reply echoes the stored value.
// - Values are stored as the text sent.
// - Table: JT past the last line reads "9999", JR past the last line "0". A
//   JT write to line count+1 appends a line (ratio "0" until its JR write); a
//   JT write further out, or a JR write past the last line, is not applied (a
//   table has no gaps) and echoes the past-end value.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::sim {

struct Faults {
    bool silent = false;      // never answers (and applies nothing)
    int silentAfter = -1;     // answers this many commands, then silent (-1 = off)
    // When non-empty: positions 2-3 of every reply hold this text instead of
    // "00" (positions 4-5 still hold the unit's ID), e.g. "01" gives
    // "*0101VR=P1.1.0" - a line that looks like one from a unit at another ID.
    std::string answerAsId;
    int pieces = 0;           // when > 1, each reply goes out in that many pieces, 50 ms apart
    // Replies with corrupted characters: every character of the value text
    // (after "=") has bit 0x10 flipped, so "25" reads "\"%"; the frame
    // "*00" + ID + mnemonic [+ index] + "=" and the CR LF stay intact.
    bool garble = false;
    bool shortReply = false;  // every reply is "*00" + ID + CR LF ("*0001" CR LF)
    // When non-empty, a write's reply echoes this value instead of the stored
    // one (the write itself is still applied when enabled).
    std::string echoOverride;
    // The pty master is closed (a hang-up) when a command arrives after this
    // many commands were answered; that command is not answered (-1 = off).
    int hangupAfter = -1;
    double replyDelay = 0;    // seconds before each reply
    // When non-empty: the replies to this command (its mnemonic, e.g. "JH";
    // for a write line the write's, not the enable command's) wait slowDelay
    // seconds more. The unit still answers in order: replies to the commands
    // after it wait behind it.
    std::string slowMnemonic;
    double slowDelay = 0;
};

using TableLine = std::pair<std::string, std::string>;  // (temperature text, ratio text)

struct UnitConfig {
    std::string id = "01";
    char kind = 'P';  // 'P', 'M' or 'X'; any character is accepted
    std::string version = "1.1.0";
    std::string jh = "25", jp = "1", jc = "29.92", pb = "1";
    std::vector<TableLine> table;  // without the 9999 end marker
    int baud = 9600;
    bool paced = true;  // model the line speed: 10 bits per character both ways
    Faults faults;
};

// Unit 01, kind P, 9600 baud, a table of five lines from (-40, .9876) to (20, 1.0123).
UnitConfig defaultConfig();

// Reads a table file: lines whose first character is "*" are header lines;
// every other non-blank line is "temperature<blanks>ratio". Throws
// std::runtime_error when the file cannot be read or a line has no two fields.
std::vector<TableLine> loadTableFile(const std::string& path);

class UnitModel {
public:
    explicit UnitModel(UnitConfig cfg);
    // One received line (without CR LF; a trailing CR is dropped). Returns
    // the reply line with its CR LF, or std::nullopt for no reply.
    std::optional<std::string> handle(const std::string& line);
    UnitConfig& config() { return cfg_; }
    const UnitConfig& config() const { return cfg_; }
    const std::vector<std::string>& received() const { return received_; }
    // Commands answered so far.
    int answered() const { return answered_; }
    // The mnemonic of the last command handled (the write's for a write
    // line); empty when that line named none.
    const std::string& lastMnemonic() const { return lastMnemonic_; }

private:
    std::optional<std::string> valueOf(const std::string& mnemonic, int index) const;
    bool store(const std::string& mnemonic, int index, const std::string& value);

    UnitConfig cfg_;
    std::vector<std::string> received_;
    int answered_ = 0;
    std::string lastMnemonic_;
};

}  // namespace qv::sim
