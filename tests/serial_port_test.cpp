#include "platform/posix/posix_serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/pty_peer.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using test::PtyPeer;

int errorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const SerialError& e) {
        return e.number();
    }
    return 0;
}

// Everything the port receives until an LF ends it or timeoutMs pass.
std::string readLine(SerialPort& port, int timeoutMs) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end && (got.empty() || got.back() != '\n')) {
        port.waitReadable(20);
        got += port.readAvailable();
    }
    return got;
}

TEST(PosixSerialPort, OpenSetsRawLineAndCloseRestoresTheDevice) {
    TempDir dir;
    PtyPeer peer(dir.path());
    // A cooked line at another speed, as a device may be left by others.
    {
        int fd = ::open(peer.slavePath().c_str(), O_RDWR | O_NOCTTY);
        termios t = peer.lineSettings();
        t.c_lflag |= ICANON | ECHO;
        t.c_iflag |= IXON;
        ::cfsetispeed(&t, B1200);
        ::cfsetospeed(&t, B1200);
        ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
        ::close(fd);
    }
    PosixSerialPort port(dir.path());
    port.setPortNumber(peer.port());
    port.setSettings("19200,N,8,1");
    EXPECT_EQ(port.devicePath(peer.port()), peer.linkPath());
    port.open();
    ASSERT_TRUE(port.isOpen());

    termios t = peer.lineSettings();
    EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    // New settings on an open port take effect at once.
    port.setSettings("2400,N,8,1");
    EXPECT_EQ(::cfgetispeed(&(t = peer.lineSettings())), static_cast<speed_t>(B2400));

    port.close();
    EXPECT_FALSE(port.isOpen());
    port.close();  // a second close does nothing
    t = peer.lineSettings();
    EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B1200));
    EXPECT_NE(t.c_lflag & ICANON, 0u);
    EXPECT_NE(t.c_iflag & IXON, 0u);
}

TEST(PosixSerialPort, PortNumbersThatNameNoSerialDeviceGive8002) {
    TempDir dir;
    PosixSerialPort port(dir.path());
    EXPECT_EQ(errorOf([&] { port.setPortNumber(0); }), SerialError::InvalidPort);
    EXPECT_EQ(errorOf([&] { port.setPortNumber(256); }), SerialError::InvalidPort);
    EXPECT_EQ(errorOf([&] { port.setPortNumber(-3); }), SerialError::InvalidPort);

    // No COM200 link and no /dev/ttyS199.
    port.setPortNumber(200);
    EXPECT_EQ(port.devicePath(200), "/dev/ttyS199");
    EXPECT_EQ(errorOf([&] { port.open(); }), SerialError::InvalidPort);

    // A link whose device is gone.
    ASSERT_EQ(::symlink("/dev/pts/does-not-exist", dir.file("COM7").c_str()), 0);
    port.setPortNumber(7);
    EXPECT_EQ(errorOf([&] { port.open(); }), SerialError::InvalidPort);

    // A plain file, directly and through a link, is not a terminal.
    dir.write("COM8", "not a device");
    dir.write("plain.txt", "x");
    ASSERT_EQ(::symlink(dir.file("plain.txt").c_str(), dir.file("COM9").c_str()), 0);
    for (int n : {8, 9}) {
        port.setPortNumber(n);
        int err = 0;
        try {
            port.open();
        } catch (const SerialError& e) {
            err = e.number();
            EXPECT_NE(e.description().find("not a serial device"), std::string::npos) << e.description();
        }
        EXPECT_EQ(err, SerialError::InvalidPort) << n;
        EXPECT_FALSE(port.isOpen());
    }
}

TEST(PosixSerialPort, APortHeldByAnotherPortObjectGives8005) {
    TempDir dir;
    PtyPeer peer(dir.path());
    PosixSerialPort first(dir.path()), second(dir.path());
    first.setPortNumber(peer.port());
    second.setPortNumber(peer.port());
    first.open();
    EXPECT_EQ(errorOf([&] { second.open(); }), SerialError::PortInUse);
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(errorOf([&] { first.open(); }), SerialError::PortInUse);  // open already
    EXPECT_TRUE(first.isOpen());
    first.close();
    second.open();  // free again once the holder closed it
    EXPECT_TRUE(second.isOpen());
}

TEST(PosixSerialPort, LineSettingsOutsideTheSupportedSetAreRefused) {
    PosixSerialPort port(".");
    for (const char* bad : {"9601,N,8,1", "abc", "", "9600,N,8", "9600,X,8,1", "9600,N,9,1", "9600,N,8,3", "-9600,N,8,1"})
        EXPECT_EQ(errorOf([&] { port.setSettings(bad); }), PosixSerialPort::InvalidSetting) << bad;
    EXPECT_EQ(port.settings(), "9600,N,8,1");
    for (const char* good : {"300,N,8,1", "115200,N,8,1", "4800,n,8,1"}) {
        EXPECT_EQ(errorOf([&] { port.setSettings(good); }), 0) << good;
        EXPECT_EQ(port.settings(), good);
    }
}

TEST(PosixSerialPort, WritesArriveWholeAndReadsNeverWait) {
    TempDir dir;
    PtyPeer peer(dir.path());
    PosixSerialPort port(dir.path());
    EXPECT_EQ(errorOf([&] { port.write("x"); }), PosixSerialPort::NotOpen);
    EXPECT_EQ(errorOf([&] { port.readAvailable(); }), PosixSerialPort::NotOpen);
    port.setPortNumber(peer.port());
    port.open();

    port.write("*0100VR\r\n");
    EXPECT_EQ(peer.readAll(1000), "*0100VR\r\n");

    // More than the line's buffers hold: the write waits for room and
    // delivers every byte in order.
    std::string big;
    for (int i = 0; i < 20000; ++i) big += static_cast<char>('A' + i % 26);
    std::string got;
    std::thread reader([&] {
        while (got.size() < big.size()) {
            std::string part = peer.readAll(2000);
            if (part.empty()) break;
            got += part;
        }
    });
    port.write(big);
    reader.join();
    EXPECT_EQ(got, big);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.readAvailable(), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(port.waitReadable(30));

    peer.send("*0001JH=2");
    EXPECT_TRUE(port.waitReadable(2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(port.readAvailable(), "*0001JH=2");
    peer.send("5\r\n");
    EXPECT_EQ(readLine(port, 2000), "5\r\n");
}

TEST(PosixSerialPort, AHangUpIsReportedAsASerialError) {
    TempDir dir;
    PtyPeer peer(dir.path());
    PosixSerialPort port(dir.path());
    port.setPortNumber(peer.port());
    port.open();
    peer.close();
    EXPECT_TRUE(port.waitReadable(1000));  // the condition wakes a waiter
    int readErr = 0;
    try {
        port.readAvailable();
    } catch (const SerialError& e) {
        readErr = e.number();
        EXPECT_NE(e.description().find("hung up"), std::string::npos) << e.description();
    }
    EXPECT_NE(readErr, 0);
    EXPECT_NE(errorOf([&] { port.write("*0100VR\r\n"); }), 0);
    port.close();
    // The device is gone with its master: the link now names nothing.
    EXPECT_EQ(errorOf([&] { port.open(); }), SerialError::InvalidPort);
}

// As an ordinary user: a device the user may not open names its group, and
// the exclusive flag keeps out programs that do not lock the device.
TEST(PosixSerialPort, PermissionAndExclusiveUseAgainstAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    PtyPeer peer(dir.path());
    ::chmod(peer.slavePath().c_str(), 0600);

    // Runs one open as user nobody in a child; returns its error number.
    auto openAsNobody = [&](std::string* description) {
        int pipeFds[2];
        EXPECT_EQ(::pipe(pipeFds), 0);
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(pipeFds[0]);
            std::string out;
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
                out = "-1 setuid failed";
            } else {
                PosixSerialPort other(dir.path());
                other.setPortNumber(peer.port());
                try {
                    other.open();
                    out = "0 opened";
                } catch (const SerialError& e) {
                    out = std::to_string(e.number()) + " " + e.description();
                }
            }
            [[maybe_unused]] auto n = ::write(pipeFds[1], out.data(), out.size());
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        std::string out;
        char buf[512];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
        ::close(pipeFds[0]);
        ::waitpid(pid, nullptr, 0);
        auto blank = out.find(' ');
        if (description) *description = out.substr(blank + 1);
        return std::stoi(out.substr(0, blank));
    };

    std::string description;
    EXPECT_EQ(openAsNobody(&description), PosixSerialPort::SystemErrorBase + EACCES);
    EXPECT_NE(description.find("must be a member of the group \"root\""), std::string::npos) << description;

    ::chmod(peer.slavePath().c_str(), 0666);
    PosixSerialPort port(dir.path());
    port.setPortNumber(peer.port());
    port.open();
    EXPECT_EQ(openAsNobody(nullptr), SerialError::PortInUse);
    port.close();
    EXPECT_EQ(openAsNobody(nullptr), 0);  // the exclusive flag went with the close
}

}  // namespace
}  // namespace qv
