// Which command a reply line answers, so that a reply that comes after its
// exchange timed out is never taken for the reply of the next command.
//
// How this works: the unit answers every command line with one reply line,
// in order, and names the command it answers at characters 6-7 ("*" "00" ID
// mnemonic, for JT and JR followed by the line index). A command line names
// its command at the same place; a write line carries an enable command
// ("*" ID "00EW" or "00EZ") in front of the write, and the write is the
// command it asks. A reply line that names another command (or, for JT and
// JR, another line index) answers an earlier command. A reply line that
// names no command (too short, or characters 6-7 not two capital letters)
// cannot be told apart and counts as an answer.
#pragma once

#include <string_view>

namespace qv::link {

// False when replyLine (with or without its line end) names another command
// than commandLine (without its line end), e.g. "*0001JH=25" for "*0100JP",
// or "*0001JT002=10" for "*0100EW*0100JT001=20"; true otherwise, also when
// either line names no command. Never fails.
bool answersCommand(std::string_view commandLine, std::string_view replyLine);

}  // namespace qv::link
