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

// The number of the SerialError fn throws (its description into *text), 0 if none.
int errorOf(const std::function<void()>& fn, std::string* text = nullptr) {
    try {
        fn();
    } catch (const SerialError& e) {
        if (text) *text = e.description();
        return e.number();
    }
    return 0;
}

class PosixSerialPortTest : public ::testing::Test {
protected:
    TempDir dir;
    PtyPeer peer{dir.path()};
    PosixSerialPort port{dir.path()};
    void open() {
        port.setPortNumber(peer.port());
        port.open();
    }
};

TEST_F(PosixSerialPortTest, OpenSetsRawLineAndCloseRestoresTheDevice) {
    // A cooked line at another speed, as a device may be left by others.
    int fd = ::open(peer.slavePath().c_str(), O_RDWR | O_NOCTTY);
    termios t = peer.lineSettings();
    t.c_lflag |= ICANON | ECHO;
    t.c_iflag |= IXON;
    ::cfsetspeed(&t, B1200);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    ::close(fd);
    port.setSettings("19200,N,8,1");
    EXPECT_EQ(port.devicePath(peer.port()), peer.linkPath());
    open();
    ASSERT_TRUE(port.isOpen());

    t = peer.lineSettings();
    EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VMIN] + t.c_cc[VTIME], 0);

    port.setSettings("2400,N,8,1");  // takes effect at once on an open port
    EXPECT_EQ(::cfgetispeed(&(t = peer.lineSettings())), static_cast<speed_t>(B2400));

    port.close();
    port.close();  // a second close does nothing
    EXPECT_FALSE(port.isOpen());
    t = peer.lineSettings();
    EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B1200));
    EXPECT_NE(t.c_lflag & ICANON, 0u);
    EXPECT_NE(t.c_iflag & IXON, 0u);
}

TEST_F(PosixSerialPortTest, PortNumbersThatNameNoSerialDeviceGive8002And8005IsAPortInUse) {
    for (int n : {0, 256, -3}) EXPECT_EQ(errorOf([&] { port.setPortNumber(n); }), SerialError::InvalidPort) << n;
    EXPECT_EQ(port.devicePath(200), "/dev/ttyS199");
    // No COM200 link and no /dev/ttyS199; a link whose device is gone; a plain
    // file, directly and through a link.
    ASSERT_EQ(::symlink("/dev/pts/does-not-exist", dir.file("COM7").c_str()), 0);
    dir.write("COM8", "not a device");
    dir.write("plain.txt", "x");
    ASSERT_EQ(::symlink(dir.file("plain.txt").c_str(), dir.file("COM9").c_str()), 0);
    for (int n : {200, 7, 8, 9}) {
        port.setPortNumber(n);
        std::string text;
        EXPECT_EQ(errorOf([&] { port.open(); }, &text), SerialError::InvalidPort) << n;
        if (n == 8 || n == 9) { EXPECT_NE(text.find("not a serial device"), std::string::npos) << text; }
        EXPECT_FALSE(port.isOpen());
    }

    PosixSerialPort second(dir.path());
    second.setPortNumber(peer.port());
    open();
    EXPECT_EQ(errorOf([&] { second.open(); }), SerialError::PortInUse);
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(errorOf([&] { port.open(); }), SerialError::PortInUse);  // open already
    EXPECT_TRUE(port.isOpen());
    port.close();
    second.open();  // free again once the holder closed it
    EXPECT_TRUE(second.isOpen());
}

TEST_F(PosixSerialPortTest, LineSettingsOutsideTheSupportedSetAreRefused) {
    for (const char* bad : {"9601,N,8,1", "abc", "", "9600,N,8", "9600,X,8,1", "9600,N,9,1", "9600,N,8,3", "-9600,N,8,1"})
        EXPECT_EQ(errorOf([&] { port.setSettings(bad); }), PosixSerialPort::InvalidSetting) << bad;
    EXPECT_EQ(port.settings(), "9600,N,8,1");
    for (const char* good : {"300,N,8,1", "115200,N,8,1", "4800,n,8,1"}) {
        EXPECT_EQ(errorOf([&] { port.setSettings(good); }), 0) << good;
        EXPECT_EQ(port.settings(), good);
    }
}

TEST_F(PosixSerialPortTest, WritesArriveWholeAndReadsNeverWait) {
    EXPECT_EQ(errorOf([&] { port.write("x"); }), PosixSerialPort::NotOpen);
    EXPECT_EQ(errorOf([&] { port.readAvailable(); }), PosixSerialPort::NotOpen);
    open();
    // More than the line's buffers hold: the write waits for room and
    // delivers every byte in order.
    std::string big = "*0100VR\r\n", got;
    for (int i = 0; i < 20000; ++i) big += static_cast<char>('A' + i % 26);
    std::thread reader([&] {
        for (std::string part; got.size() < big.size() && !(part = peer.readAll(2000)).empty();) got += part;
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
}

TEST_F(PosixSerialPortTest, AHangUpIsReportedAsASerialError) {
    open();
    peer.close();
    EXPECT_TRUE(port.waitReadable(1000));  // the condition wakes a waiter
    std::string text;
    EXPECT_NE(errorOf([&] { port.readAvailable(); }, &text), 0);
    EXPECT_NE(text.find("hung up"), std::string::npos) << text;
    EXPECT_NE(errorOf([&] { port.write("*0100VR\r\n"); }), 0);
    port.close();
    // The device is gone with its master: the link now names nothing.
    EXPECT_EQ(errorOf([&] { port.open(); }), SerialError::InvalidPort);
}

// As an ordinary user: a device the user may not open names its group, and
// the exclusive flag keeps out programs that do not lock the device.
TEST_F(PosixSerialPortTest, PermissionAndExclusiveUseAgainstAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(peer.slavePath().c_str(), 0600);
    // Runs one open as user nobody in a child; "<error number> <description>".
    auto openAsNobody = [&] {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        if (::fork() == 0) {
            std::string out = "-1 setuid failed";
            if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
                PosixSerialPort other(dir.path());
                other.setPortNumber(peer.port());
                out = "opened";
                out = std::to_string(errorOf([&] { other.open(); }, &out)) + " " + out;
            }
            [[maybe_unused]] auto n = ::write(fds[1], out.data(), out.size());
            ::_exit(0);
        }
        ::close(fds[1]);
        std::string out;
        char buf[512];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
        ::close(fds[0]);
        ::wait(nullptr);
        return out;
    };
    const std::string denied = openAsNobody();
    EXPECT_EQ(denied.rfind(std::to_string(PosixSerialPort::SystemErrorBase + EACCES) + " ", 0), 0u) << denied;
    EXPECT_NE(denied.find("must be a member of the group \"root\""), std::string::npos) << denied;

    ::chmod(peer.slavePath().c_str(), 0666);
    open();
    EXPECT_EQ(std::stoi(openAsNobody()), SerialError::PortInUse);
    port.close();
    EXPECT_EQ(std::stoi(openAsNobody()), 0);  // the exclusive flag went with the close
}

}  // namespace
}  // namespace qv
