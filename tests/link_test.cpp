// The command exchange and the link check over a real POSIX serial port
// against a scripted raw peer on a pseudo terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "support/system_faults.h"
#include "support/unit_fixture.h"

namespace qv::test {
namespace {

// The real port, with every write and every non-empty read recorded.
class RecordingPort : public PosixSerialPort {
public:
    using PosixSerialPort::PosixSerialPort;
    void write(const std::string& text) override { writes.push_back(text), PosixSerialPort::write(text); }
    std::string readAvailable() override {
        std::string got = PosixSerialPort::readAvailable();
        if (!got.empty()) reads.push_back(got);
        return got;
    }
    std::vector<std::string> writes, reads;
};

class Link : public FormFixtureWith<RecordingPort> {
protected:
    PtyPeer peer{dir.path()};

    void openPort() {
        port.setPortNumber(peer.port());
        port.open();
    }
    void setBoxes(const std::string& portText, const std::string& id = "01") {
        form.Combo1.setText(portText);
        form.Combo2.setText("9600");
        form.Combo3.setText(id);
    }
    // Answers each line the program writes with the next of the given replies.
    void answerWith(std::vector<std::string> replies) {
        ui.onEvents = [this, replies, next = size_t{0}]() mutable {
            if (next < replies.size() && !peer.readAll(0).empty()) peer.send(replies[next++]);
        };
    }
    // Seconds fn took.
    double timed(const std::function<void()>& fn) {
        auto start = std::chrono::steady_clock::now();
        fn();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

// ---- SendReceive -------------------------------------------------------------

TEST_F(Link, CommandGoesOutInOneWriteAndAReplyInPiecesIsJoined) {
    openPort();
    int stage = 0;
    ui.onEvents = [&] {
        if (stage == 0 && !peer.readAll(0).empty()) peer.send("*0001JH=2"), stage = 1;
        else if (stage == 1 && !port.reads.empty()) peer.send("5\r\n"), stage = 2;
    };
    const double took = timed([&] { form.SendReceive("*0100JH", 2); });
    EXPECT_EQ(port.writes, std::vector<std::string>{"*0100JH\r\n"});
    EXPECT_EQ(port.reads, (std::vector<std::string>{"*0001JH=2", "5\r\n"}));
    EXPECT_EQ(form.ReplyBuffer, "*0001JH=25\r\n");
    EXPECT_LT(took, 1.0);
}

TEST_F(Link, OnlyALastLineFeedEndsTheReplyAndLateCharactersStartTheNext) {
    openPort();
    answerWith({"*0001JH=25\r\n*00", "\n"});
    const double took = timed([&] { form.SendReceive("*0100JH", 1); });
    EXPECT_EQ(port.reads, std::vector<std::string>{"*0001JH=25\r\n*00"});
    EXPECT_EQ(form.ReplyBuffer, "");
    EXPECT_GE(took, 1.0);
    form.SendReceive("*0100JH", 1);
    EXPECT_EQ(form.ReplyBuffer, "\n");

    peer.send("*0001JH=2");  // late, and incomplete
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    answerWith({"*0001JP=1\r\n"});
    form.SendReceive("*0100JP", 2);
    EXPECT_EQ(form.ReplyBuffer, "*0001JH=2*0001JP=1\r\n");
}

TEST_F(Link, TimeOutLastsTheLimitAndKeepsTheStatusShown) {
    openPort();
    std::vector<std::string> statusSeen;
    ui.onEvents = [&] {
        if (statusSeen.empty() || statusSeen.back() != form.Label2.caption()) statusSeen.push_back(form.Label2.caption());
    };
    form.Stat1("Waiting for the unit...");
    const double took = timed([&] { form.SendReceive("*0100JH", 2); });
    EXPECT_EQ(form.ReplyBuffer, "");
    EXPECT_GE(took, 2.0);
    EXPECT_LT(took, 2.5);
    EXPECT_EQ(statusSeen, std::vector<std::string>{"Waiting for the unit..."});
}

// ---- VerifyCommunication -------------------------------------------------------

TEST_F(Link, AnsweredVerificationLeavesThePortOpenAtTheChosenSettings) {
    setBoxes(" " + std::to_string(peer.port()));
    std::string statusDuring;
    ui.onEvents = [&] {
        if (!peer.readAll(0).empty()) statusDuring = form.Label2.caption(), peer.send("*0001VR=anything\r\n");
    };
    form.VerifyCommunication();
    EXPECT_EQ(form.CommOK, 1);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.portNumber(), peer.port());
    EXPECT_EQ(port.settings(), "9600,N,8,1");
    EXPECT_EQ(port.writes, std::vector<std::string>{"*0100VR\r\n"});
    EXPECT_EQ(statusDuring, "Verifying Communication....");
    EXPECT_EQ(form.Label2.caption(), "");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(form.UnitID + "|" + form.PortNumber + "|" + form.BaudRate, "01| " + std::to_string(peer.port()) + "|9600");
}

TEST_F(Link, EveryFailedVerificationIsShownAndLeavesThePortClosed) {
    const std::string peerPort = std::to_string(peer.port());
    std::optional<DeviceHolder> reader;  // another program that reads the device without locking it
    const struct {
        const char* what;
        std::string portText, id;
        std::function<void()> arrange;
        Box box;
        std::string statusAtBox, statusAfter;
        bool sent;  // the version query went out
    } cases[] = {
        {"empty ID box", peerPort, "", [] {}, {"Must supply value for COM port, baud rate, and ID.", "Error", Icon::Stop},
         "", "", false},
        // The status line names the other program ("<device>" and "<reader>"
        // stand for the device and the program's process id).
        {"another program reads the device", peerPort, "01",
         [&] { reader.emplace(peer.slavePath()), answerWith({"*0100VR\r\n"}); },
         {" Unit detected, but at a different Unit ID.  Please verify Unit ID settings. ", "Communications"},
         "*0100VR\r\n", "<device> is also open in process <reader> (sleep)", true},
        {"other error", "x", "01", [] {}, {" Error  13:  Type mismatch", "Info", Icon::Exclamation}, "", "", false},
        // A hang-up during the exchange: the port is closed all the same.
        {"hang-up", peerPort, "01", [&] { ui.onEvents = [&] { if (!peer.readAll(0).empty()) peer.close(); }; },
         {" Error  10005:  The serial device *", "Info", Icon::Exclamation}, "Verifying Communication....",
         "Verifying Communication....", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setBoxes(c.portText, c.id);
        form.UnitID = "05";
        port.writes.clear();
        ui.boxes.clear();
        ui.onEvents = nullptr;
        reader.reset();
        form.Label2.setCaption("");
        c.arrange();
        std::string statusAtBox;
        ui.onBox = [&](const MessageRecord&) { statusAtBox = form.Label2.caption(); };
        form.VerifyCommunication();
        ASSERT_EQ(ui.boxes.size(), 1u);
        const MessageRecord& b = ui.boxes[0];
        // A text ending in "*" gives only the start of the box text.
        const std::string prefix = c.box.text.substr(0, c.box.text.find('*', 1));
        EXPECT_EQ(c.box.text.back() == '*' ? b.text.substr(0, prefix.size()) : b.text, prefix);
        EXPECT_EQ(b.title, c.box.title);
        EXPECT_EQ(b.icon, c.box.icon);
        EXPECT_EQ(statusAtBox, c.statusAtBox);
        std::string statusAfter = c.statusAfter;
        if (reader) {
            statusAfter.replace(statusAfter.find("<device>"), 8, peer.slavePath());
            statusAfter.replace(statusAfter.find("<reader>"), 8, std::to_string(reader->pid()));
        }
        EXPECT_EQ(form.Label2.caption(), statusAfter);
        EXPECT_EQ(form.CommOK, 0);
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.writes.size(), c.sent ? 1u : 0u);
        if (!c.id.empty()) { EXPECT_EQ(form.UnitID, c.id); } else { EXPECT_EQ(form.UnitID, "05"); }
    }
}

TEST_F(Link, NoReplyIsRefusedAfterTwoSeconds) {
    setBoxes(std::to_string(peer.port()));
    const double took = timed([&] { form.VerifyCommunication(); });
    EXPECT_EQ((std::vector<Box>{{ui.boxes.at(0).text, ui.boxes[0].title}}),
              (std::vector<Box>{{" Unit is not responding.  Please verify PC and/or unit Port and/or Baud Rate. ",
                                 "Communications"}}));
    EXPECT_GE(took, 2.0);
    EXPECT_LT(took, 2.5);
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(form.Label2.caption(), "");
}

}  // namespace
}  // namespace qv::test
