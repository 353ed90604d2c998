// quorvel-cli: the window's operations from a shell (see cli/session.h and
// quorvel-cli --help).
#include <unistd.h>

#include <clocale>
#include <iostream>

#include "cli/options.h"
#include "cli/session.h"

int main(int argc, char** argv) {
    // As in the window: messages of the system in the user's language; the
    // number conversions do not depend on the locale.
    std::setlocale(LC_ALL, "");
    qv::cli::Options options;
    try {
        options = qv::cli::parseOptions(argc, argv);
    } catch (const qv::cli::Usage& e) {
        std::cerr << "quorvel-cli: " << e.what() << " (see quorvel-cli --help)\n";
        return qv::cli::UsageError;
    }
    if (options.help) {
        std::cout << qv::cli::HelpText;
        return std::cout.flush() ? qv::cli::Succeeded : qv::cli::FileProblem;
    }
    return qv::cli::run(options, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
