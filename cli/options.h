// The command line of quorvel-cli: options, the command and its arguments.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::cli {

// What the program ends with.
enum ExitStatus : int {
    Succeeded = 0,    // the operation ended with its success status and showed no failure
    LinkOrUnit = 1,   // the link or the unit failed
    UsageError = 2,   // the command line (or a value given on it) is wrong
    FileProblem = 3,  // a table file, the settings file or the trace file
};

// A command line that cannot be run; the text says why.
class Usage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::optional<std::string> port;    // --port N
    std::optional<std::string> device;  // --device PATH
    std::optional<std::string> baud;    // --baud B
    std::optional<std::string> id;      // --id ID
    bool yes = false;
    bool quiet = false;
    bool json = false;
    bool help = false;
    std::optional<std::string> trace;   // --trace FILE
    std::optional<std::string> folder;  // --folder DIR
    // write-values
    std::optional<std::string> temp;
    std::optional<std::string> unit;
    std::optional<std::string> constant;

    std::string command;
    std::vector<std::string> args;
};

// Reads the command line. Options may stand before or after the command.
// Throws Usage for an unknown option or command, a missing or surplus
// argument, or a value of the wrong form; --help alone is always accepted.
Options parseOptions(int argc, char** argv);

// The text --help prints.
extern const char* const HelpText;

}  // namespace qv::cli
