#include "platform/posix/posix_serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <thread>

#include "support/pty_peer.h"
#include "support/system_faults.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using namespace qv::test;

// What fn does: "ok", or the SerialError it throws as "number/kind|description|device".
std::string outcome(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const SerialError& e) {
        return std::to_string(e.number()) + "/" + std::to_string(int(e.kind())) + "|" + e.description() + "|" + e.device();
    }
    return "ok";
}
std::string number(const std::function<void()>& fn) { return outcome(fn).substr(0, 4); }  // "8002", "380/", "ok"

class PosixSerialPortTest : public ::testing::Test {
protected:
    TempDir dir;
    TempDir locks;  // the lock folder of the ports here
    PtyPeer peer{dir.path()};
    PosixSerialPort port{dir.path(), {locks.path()}};
    // Opening the port at number n with a port of its own (or this one).
    std::string openAt(int n, PosixSerialPort* p = nullptr) {
        PosixSerialPort own(dir.path(), {locks.path()});
        if (!p) p = &own;
        return outcome([&] { p->setPortNumber(n), p->open(); });
    }
};

// Only an open port reads and writes. Opening sets a raw line at the chosen
// speed, settings take effect at once, and closing gives the device back.
TEST_F(PosixSerialPortTest, OpenSetsARawLineAndWritesArriveWhole) {
    EXPECT_EQ(number([&] { port.write("x"); }) + number([&] { port.readAvailable(); }), "80128012");
    // A cooked line at another speed, as others may leave the device: closing gives it back so.
    termios cooked = peer.lineSettings();
    cooked.c_lflag |= ICANON;
    ::cfsetspeed(&cooked, B1200);
    const int fd = ::open(peer.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &cooked) | ::close(fd), 0);
    port.setSettings("115200,n,8,1");
    EXPECT_EQ(port.devicePath(peer.port()), peer.linkPath());
    ASSERT_EQ(openAt(peer.port(), &port), "ok");
    termios t = peer.lineSettings();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD), tcflag_t(CS8 | CLOCAL | CREAD));
    EXPECT_EQ((t.c_lflag & (ICANON | ECHO | ISIG)) | (t.c_iflag & (IXON | IXOFF | ICRNL)) | (t.c_oflag & OPOST), 0u);
    EXPECT_EQ(t.c_cc[VMIN] * 100 + t.c_cc[VTIME], 100);  // a read of 0 bytes then means a hang-up only
    port.setSettings("2400,N,8,1");
    EXPECT_EQ(::cfgetispeed(&(t = peer.lineSettings())), static_cast<speed_t>(B2400));
    EXPECT_EQ(number([&] { port.open(); }) + number([&] { port.setPortNumber(peer.port() + 1); }), "80058005");
    port.setPortNumber(peer.port());  // the same number again is no change
    // More than the line's buffers hold: the write waits for room and
    // delivers every byte in order.
    std::string big, got;
    for (int i = 0; i < 20000; ++i) big += static_cast<char>('A' + i % 26);
    std::thread reader([&] {
        for (std::string part; got.size() < big.size() && !(part = peer.readAll(2000)).empty();) got += part;
    });
    port.write(big);
    reader.join();
    EXPECT_EQ(got, big);
    // A lock file that another program put in the place of the port's own
    // is not the port's to remove.
    const std::string lockName = std::filesystem::path(port.lockFile()).filename();
    locks.write(lockName, "1\n");
    port.close();
    port.close();  // a second close does nothing
    EXPECT_EQ(locks.read(lockName), "1\n");
    t = peer.lineSettings();
    EXPECT_EQ(std::make_pair(::cfgetispeed(&t), t.c_lflag & ICANON), std::make_pair(speed_t(B1200), tcflag_t(ICANON)));
}

// Port numbers outside 1 to 255, a file that is no terminal and line settings
// outside the supported set are refused; a refused setting changes nothing.
TEST_F(PosixSerialPortTest, WhatNamesNoSerialLineIsRefused) {
    EXPECT_EQ(number([&] { port.setPortNumber(0); }) + number([&] { port.setPortNumber(256); }), "80028002");
    dir.write("COM8", "not a device");
    const std::string notSerial = openAt(8);
    EXPECT_TRUE(notSerial.starts_with("8002/1|Invalid port number: ") && notSerial.find(" is not a serial device|") != std::string::npos) << notSerial;
    for (const char* bad : {"9601,N,8,1", "abc", "", "9600,N,8", "9600,X,8,1", "9600,N,9,1", "9600,N,8,3", "-9600,N,8,1"})
        EXPECT_EQ(number([&] { port.setSettings(bad); }), "380/") << bad;
    EXPECT_EQ(port.settings(), "9600,N,8,1");
}

// The line drops under an open port: the far end closes (reads fail with
// EIO) or the terminal is hung up, as when an adapter is unplugged (reads
// give 0 bytes). Either is a disconnect that names the device.
TEST_F(PosixSerialPortTest, ALineThatDropsIsADisconnectNamingTheDevice) {
    for (bool hangUp : {false, true}) {
        PtyPeer line(dir.path());
        openAt(line.port(), &port);
        if (!hangUp) line.close();
        if (hangUp) {
            const int fd = ::open(line.slavePath().c_str(), O_RDWR | O_NOCTTY);
            ASSERT_EQ(::ioctl(fd, TIOCVHANGUP), 0) << "needs root";
            ::close(fd);
        }
        EXPECT_TRUE(port.waitReadable(1000));  // the condition wakes a waiter
        const std::string text = "/4|The serial device " + line.slavePath() +
                                 " was disconnected. Plug it in again and repeat the operation.|" + line.slavePath();
        for (const std::string& o : {outcome([&] { port.readAvailable(); }), outcome([&] { port.write("x"); })})
            EXPECT_EQ(o.substr(o.find('/')), text);
        port.close();
        EXPECT_EQ(number([&] { port.open(); }), hangUp ? "ok" : "8002");
        port.close();
    }
}

// As an ordinary user (nobody, in no group) on a device of root's whose group
// may read and write it: the failure names the device and says how to join
// the group. (A device only its owner may open is the fault matrix's.)
TEST_F(PosixSerialPortTest, ADeviceTheGroupMayOpenSaysHowToJoinIt) {
    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || !dialout) GTEST_SKIP() << "needs root to act as another user, and the group dialout";
    const std::string dev = peer.slavePath();
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755) | ::chown(dev.c_str(), 0, dialout->gr_gid) | ::chmod(dev.c_str(), 0660), 0);
    EXPECT_EQ(runUnprivileged([&] { return openAt(peer.port()); }),
              "10013/2|Permission denied for " + dev + ", which the group \"dialout\" may open. Join that group with "
              "\"sudo adduser nobody dialout\", then log out and log in again.|" + dev);
}

// Another program holds the device: by a flock or by a UUCP lock file (ASCII
// or binary) of a live process. A lock file of a process that has ended, or
// with no process id, keeps nobody out. An opened port holds a lock file of
// its own (the process id in ASCII) and removes it on close.
TEST_F(PosixSerialPortTest, DevicesHeldByOtherProgramsAreInUse) {
    const std::string dev = peer.slavePath(), lockName = "LCK.." + dev.substr(dev.rfind('/') + 1);
    auto ascii = [](int pid) { return std::string(10 - std::to_string(pid).size(), ' ') + std::to_string(pid) + "\n"; };
    std::optional<DeviceHolder> holder;
    const int parent = ::getppid();
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { holder.emplace(dev, DeviceHolder::How::Flock); }, "8005/3"},
        {[&] { locks.write(lockName, ascii(parent)); }, "8005/3"},
        {[&] { locks.write(lockName, std::string(reinterpret_cast<const char*>(&parent), sizeof parent)); }, "8005/3"},
        {[&] { locks.write(lockName, ascii(deadProcessId())); }, "ok, own lock"},
        {[&] { locks.write(lockName, "\n"); }, "ok, own lock"},
        {[] {}, "ok, own lock"},
    };
    for (const auto& [arrange, expected] : cases) {
        holder.reset();
        std::filesystem::remove(locks.file(lockName));
        arrange();
        PosixSerialPort other(dir.path(), {locks.path()});
        std::string result = openAt(peer.port(), &other).substr(0, 6);  // "8005/3": busy
        // Its own lock file while open (a port that did not open names none).
        const bool own = other.lockFile() == locks.file(lockName) && locks.read(lockName) == ascii(::getpid());
        if (result == "ok") {
            other.close();
            result += own ? ", own lock" : ", wrong lock";
        }
        EXPECT_EQ(result, expected);
    }
    EXPECT_TRUE(std::filesystem::is_empty(locks.path()));  // the own lock files went with their ports
    // For another user, the terminal's exclusive mode and a lock file of a
    // process of root's (which it may not signal) hold the device as well.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755) | ::chmod(locks.path().c_str(), 0755) | ::chmod(dev.c_str(), 0666), 0);
    holder.emplace(dev, DeviceHolder::How::Exclusive);
    EXPECT_EQ(runUnprivileged([&] { return openAt(peer.port()).substr(0, 6); }), "8005/3");
    holder.reset();
    locks.write(lockName, ascii(::getpid()));
    EXPECT_EQ(runUnprivileged([&] { return openAt(peer.port()).substr(0, 6); }), "8005/3");
}

}  // namespace
}  // namespace qv
