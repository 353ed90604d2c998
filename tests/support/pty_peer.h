// A scripted far end of a serial line for tests that need exact bytes: a
// pseudo terminal whose slave side is linked as <folder>/COM<port>. The test
// reads what the program wrote and writes raw bytes back; close() hangs up.
#pragma once

#include <termios.h>

#include <string>

namespace qv::test {

class PtyPeer {
public:
    // port 0 takes the lowest number whose COM<N> does not exist in folder.
    PtyPeer(const std::string& folder, int port = 0);
    ~PtyPeer();  // closes the line and removes the link
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    int port() const { return port_; }
    const std::string& slavePath() const { return slavePath_; }
    const std::string& linkPath() const { return linkPath_; }

    // The line settings as the program left them (speed, raw mode, ...).
    termios lineSettings() const;

    // Everything the program wrote: waits up to waitMs for the first byte,
    // then collects until the line has been quiet for a few milliseconds.
    std::string readAll(int waitMs);
    // Writes the bytes to the program at once (no pacing).
    void send(const std::string& bytes);
    // Closes the master side: the program's port sees a hang-up.
    void close();

private:
    int master_ = -1;
    int slave_ = -1;  // held so the line stays up between the program's opens
    int port_ = 0;
    std::string slavePath_;
    std::string linkPath_;
};

}  // namespace qv::test
