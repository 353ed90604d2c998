// quorvel-cli: the window's operations from a shell (see cli/session.h and
// quorvel-cli --help).
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/session.h"
#include "platform/console/terminal.h"

int main(int argc, char** argv) {
    // As in the window: messages of the system in the user's language; the
    // number conversions do not depend on the locale.
    std::setlocale(LC_ALL, "");
    qv::prepareConsole();
    // Every text inside the program is UTF-8, the arguments too.
    std::vector<std::string> arguments = qv::utf8Arguments(argc, argv);
    std::vector<char*> utf8Argv;
    for (std::string& argument : arguments) utf8Argv.push_back(argument.data());
    utf8Argv.push_back(nullptr);
    qv::cli::Options options;
    try {
        options = qv::cli::parseOptions(static_cast<int>(arguments.size()), utf8Argv.data());
    } catch (const qv::cli::Usage& e) {
        std::cerr << "quorvel-cli: " << e.what() << " (see quorvel-cli --help)\n";
        return qv::cli::UsageError;
    }
    if (options.help) {
        std::cout << qv::cli::HelpText;
        return std::cout.flush() ? qv::cli::Succeeded : qv::cli::FileProblem;
    }
    return qv::cli::run(options, std::cout, std::cerr, qv::standardErrorIsTerminal());
}
