#include "platform/posix/posix_serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>

#include "support/pty_peer.h"
#include "support/system_faults.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using test::DeviceHolder;
using test::PtyPeer;
using test::runUnprivileged;

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

// What opening the port at number does: "open", or the failure's number and
// kind, and its description after a "|" when withText.
std::string openOutcome(PosixSerialPort& p, int number, bool withText = false) {
    static const char* const kinds[] = {"Other", "NotFound", "Forbidden", "Busy", "Disconnected"};
    try {
        p.setPortNumber(number);
        p.open();
    } catch (const SerialError& e) {
        return std::to_string(e.number()) + " " + kinds[static_cast<int>(e.kind())] +
               (withText ? "|" + e.description() : "");
    }
    return "open";
}

class PosixSerialPortTest : public ::testing::Test {
protected:
    TempDir dir;
    TempDir locks;  // the lock folder of the ports here
    PtyPeer peer{dir.path()};
    PosixSerialPort port{dir.path(), {locks.path()}};
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
    EXPECT_EQ(t.c_cc[VMIN], 1);  // a read of 0 bytes then means a hang-up only
    EXPECT_EQ(t.c_cc[VTIME], 0);

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

    // Another holder of the same device is a row of DevicesHeldByOtherProgramsAreInUse.
    open();
    EXPECT_EQ(errorOf([&] { port.open(); }), SerialError::PortInUse);  // open already
    EXPECT_TRUE(port.isOpen());
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

TEST_F(PosixSerialPortTest, WritesArriveWholeAndOnlyOnAnOpenPort) {
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
}

// The line drops under an open port: the far end closes (reads fail with
// EIO) or the terminal is hung up, as when an adapter is unplugged (reads
// give 0 bytes). Either is a disconnect that names the device.
TEST_F(PosixSerialPortTest, ALineThatDropsIsADisconnectNamingTheDevice) {
    const struct {
        const char* what;
        std::function<void(PtyPeer&)> drop;
        int reopen;  // what opening the port again gives
    } cases[] = {
        {"far end closed", [](PtyPeer& p) { p.close(); }, SerialError::InvalidPort},
        {"terminal hung up",
         [](PtyPeer& p) {
             int fd = ::open(p.slavePath().c_str(), O_RDWR | O_NOCTTY);
             ASSERT_EQ(::ioctl(fd, TIOCVHANGUP), 0) << "needs root";
             ::close(fd);
         },
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PtyPeer line(dir.path());
        port.setPortNumber(line.port());
        port.open();
        c.drop(line);
        EXPECT_TRUE(port.waitReadable(1000));  // the condition wakes a waiter
        const std::string text = "The serial device " + line.slavePath() +
                                 " was disconnected. Plug it in again and repeat the operation.";
        for (const std::function<void()>& use : std::vector<std::function<void()>>{
                 [&] { port.readAvailable(); }, [&] { port.write("*0100VR\r\n"); }}) {
            try {
                use();
                ADD_FAILURE() << "no failure";
            } catch (const SerialError& e) {
                EXPECT_EQ(e.kind(), SerialError::Kind::Disconnected);
                EXPECT_EQ(e.device(), line.slavePath());
                EXPECT_EQ(e.description(), text);
            }
        }
        port.close();
        EXPECT_EQ(errorOf([&] { port.open(); }), c.reopen);
        port.close();
    }
}

// As an ordinary user (nobody, in no group) on a device of root's: the
// failure names the device and says what to do, from the device's own group
// and mode. Joining the group helps only where it may read and write and is
// not root's.
TEST_F(PosixSerialPortTest, ADeviceTheUserMayNotOpenSaysHowToGetAccess) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const group* dialout = ::getgrnam("dialout");
    if (!dialout) GTEST_SKIP() << "no group dialout";
    const gid_t other = dialout->gr_gid;
    const std::string dev = peer.slavePath();
    const std::string join = "10013 Forbidden|Permission denied for " + dev +
                             ", which the group \"dialout\" may open. Join that group with "
                             "\"sudo adduser nobody dialout\", then log out and log in again.";
    const std::string ownerOnly = "10013 Forbidden|Permission denied for " + dev +
                                  ": only its owner \"root\" may open it. An administrator must grant you "
                                  "access, for example with a udev rule for the device.";
    const struct {
        const char* what;
        mode_t mode;
        gid_t group;
        std::string outcome;
    } cases[] = {
        {"group may read and write", 0660, other, join},
        {"group may only read", 0640, other, ownerOnly},
        {"group is root's", 0660, 0, ownerOnly},
        {"owner only", 0600, 0, ownerOnly},
    };
    ::chmod(dir.path().c_str(), 0755);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(::chown(dev.c_str(), 0, c.group), 0);
        ASSERT_EQ(::chmod(dev.c_str(), c.mode), 0);
        EXPECT_EQ(runUnprivileged([&] {
                      PosixSerialPort other(dir.path(), {locks.path()});
                      return openOutcome(other, peer.port(), true);
                  }),
                  c.outcome);
    }
}

// Another program holds the device: by a flock, in the terminal's exclusive
// mode (which stops ordinary users only), by a UUCP lock file of a live
// process, or as this program's open port. A lock file of a process that has
// ended keeps nobody out. An opened port holds a lock file of its own (the
// process id in ASCII) where the lock folder lets it, and removes it on close.
TEST_F(PosixSerialPortTest, DevicesHeldByOtherProgramsAreInUse) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const std::string dev = peer.slavePath();
    const std::string lockName = "LCK.." + dev.substr(dev.rfind('/') + 1), lockFile = locks.file(lockName);
    auto asciiLock = [&](int pid) {
        char text[32];
        std::snprintf(text, sizeof text, "%10d\n", pid);
        locks.write(lockName, text);
    };
    auto binaryLock = [&](int pid) { locks.write(lockName, std::string(reinterpret_cast<char*>(&pid), sizeof pid)); };
    std::optional<DeviceHolder> holder;
    const int self = ::getpid();
    const struct {
        const char* what;
        bool asNobody;
        std::function<void()> arrange;
        std::string outcome;
    } cases[] = {
        {"flock of another program", false, [&] { holder.emplace(dev, DeviceHolder::How::Flock); }, "8005 Busy"},
        {"exclusive mode of another program", true, [&] { holder.emplace(dev, DeviceHolder::How::Exclusive); },
         "8005 Busy"},
        {"lock file of a live process, ASCII", false, [&] { asciiLock(::getppid()); }, "8005 Busy"},
        {"lock file of a live process, binary", false, [&] { binaryLock(::getppid()); }, "8005 Busy"},
        {"lock file of another user's live process", true, [&] { asciiLock(self); }, "8005 Busy"},
        {"this program's open port", true, [&] { open(); }, "8005 Busy"},
        {"this program's port after its close", true, [&] { port.close(); }, "open"},  // lock folder not writable
        {"stale lock file", false, [&] { asciiLock(test::deadProcessId()); }, "open, own lock"},
        {"lock file without a process id", false, [&] { locks.write(lockName, "\n"); }, "open, own lock"},
        {"nothing held", false, [] {}, "open, own lock"},
    };
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(locks.path().c_str(), 0755);  // readable, but not writable for nobody
    ::chmod(dev.c_str(), 0666);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        holder.reset();
        std::filesystem::remove(lockFile);
        c.arrange();
        auto attempt = [&] {
            PosixSerialPort other(dir.path(), {locks.path()});
            std::string outcome = openOutcome(other, peer.port());
            const std::string own = other.lockFile();
            if (outcome != "open" || own.empty()) return outcome;
            char expected[32];
            std::snprintf(expected, sizeof expected, "%10d\n", static_cast<int>(::getpid()));
            outcome += own == lockFile && locks.read(lockName) == expected
                           ? ", own lock"
                           : ", wrong lock " + own;
            other.close();
            if (std::filesystem::exists(own)) outcome += " left behind";
            return outcome;
        };
        EXPECT_EQ(c.asNobody ? runUnprivileged(attempt) : attempt(), c.outcome);
    }
    EXPECT_TRUE(std::filesystem::is_empty(locks.path()));
}

}  // namespace
}  // namespace qv
