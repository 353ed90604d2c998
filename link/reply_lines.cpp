#include "link/reply_lines.h"

namespace qv::link {

namespace {

// Characters 6-7 of a line: the mnemonic of the command it asks or answers.
constexpr size_t MnemonicAt = 5;
// "*" ID "00EW": the enable command in front of a write, as long as its
// write's own command prefix.
constexpr size_t EnableLength = 7;

bool isCapital(char c) { return c >= 'A' && c <= 'Z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The command a line names: the two capital letters at characters 6-7 and,
// for JT and JR, the digits of the line index after them ("JH", "JT001",
// "JT1000"); the empty text when the line names none.
std::string_view namedCommand(std::string_view line) {
    if (line.size() < MnemonicAt + 2 || !isCapital(line[MnemonicAt]) || !isCapital(line[MnemonicAt + 1])) return {};
    const std::string_view mnemonic = line.substr(MnemonicAt, 2);
    size_t end = MnemonicAt + 2;
    if (mnemonic == "JT" || mnemonic == "JR")
        while (end < line.size() && isDigit(line[end])) ++end;
    return line.substr(MnemonicAt, end - MnemonicAt);
}

}  // namespace

bool answersCommand(std::string_view commandLine, std::string_view replyLine) {
    if (commandLine.size() > EnableLength && commandLine[EnableLength] == '*') {
        const std::string_view enable = commandLine.substr(3, 4);
        if (enable == "00EW" || enable == "00EZ") commandLine.remove_prefix(EnableLength);
    }
    const std::string_view asked = namedCommand(commandLine);
    const std::string_view answered = namedCommand(replyLine);
    return asked.empty() || answered.empty() || asked == answered;
}

}  // namespace qv::link
