// The command exchange and the link check over a real POSIX serial port
// against a scripted raw peer on a pseudo terminal.
#include <gtest/gtest.h>

#include <chrono>

#include "support/unit_fixture.h"

namespace qv::test {
namespace {

// The real port, with every write and every non-empty read recorded.
class RecordingPort : public SerialPort {
public:
    explicit RecordingPort(const std::string& folder) : real(folder) {}
    void setPortNumber(int n) override { real.setPortNumber(n); }
    int portNumber() const override { return real.portNumber(); }
    void setSettings(const std::string& s) override { real.setSettings(s); }
    const std::string& settings() const override { return real.settings(); }
    void open() override { real.open(); }
    void close() override { real.close(); }
    bool isOpen() const override { return real.isOpen(); }
    void write(const std::string& text) override {
        writes.push_back(text);
        real.write(text);
    }
    std::string readAvailable() override {
        std::string got = real.readAvailable();
        if (!got.empty()) reads.push_back(got);
        return got;
    }
    bool waitReadable(int ms) override { return real.waitReadable(ms); }

    PosixSerialPort real;
    std::vector<std::string> writes;
    std::vector<std::string> reads;
};

class Link : public ::testing::Test {
protected:
    TempDir dir;
    HeadlessToolkit ui{dir.path()};
    RecordingPort port{dir.path()};
    SystemClock clock;
    FileSystem files;
    Platform platform{ui, port, clock, files};
    MainForm form{platform};
    PtyPeer peer{dir.path()};

    void openPort() {
        port.setPortNumber(peer.port());
        port.setSettings("9600,N,8,1");
        port.open();
    }
    void setBoxes(const std::string& id = "01") {
        form.Combo1.setText(std::to_string(peer.port()));
        form.Combo2.setText("9600");
        form.Combo3.setText(id);
    }
    // Answers the next line the program writes with the given bytes.
    void answerWith(const std::string& reply) {
        ui.onEvents = [this, reply, done = false]() mutable {
            if (!done && !peer.readAll(0).empty()) {
                peer.send(reply);
                done = true;
            }
        };
    }
    double timed(const std::function<void()>& fn) {
        auto start = std::chrono::steady_clock::now();
        fn();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

// ---- SendReceive -------------------------------------------------------------

TEST_F(Link, CommandGoesOutInOneWriteWithItsLineEnd) {
    openPort();
    answerWith("*0001JH=25\r\n");
    form.SendReceive("*0100JH", 2);
    EXPECT_EQ(port.writes, std::vector<std::string>{"*0100JH\r\n"});
    EXPECT_EQ(form.ReplyBuffer, "*0001JH=25\r\n");
}

TEST_F(Link, ReplyInTwoPiecesIsJoined) {
    openPort();
    int stage = 0;
    ui.onEvents = [&] {
        if (stage == 0 && !peer.readAll(0).empty()) {
            peer.send("*0001JH=2");
            stage = 1;
        } else if (stage == 1 && !port.reads.empty()) {
            peer.send("5\r\n");
            stage = 2;
        }
    };
    const double took = timed([&] { form.SendReceive("*0100JH", 2); });
    EXPECT_EQ(port.reads, (std::vector<std::string>{"*0001JH=2", "5\r\n"}));
    EXPECT_EQ(form.ReplyBuffer, "*0001JH=25\r\n");
    EXPECT_LT(took, 1.0);
}

TEST_F(Link, OnlyTheLastCharacterEndsTheReply) {
    openPort();
    answerWith("*0001JH=25\r\n*00");
    const double took = timed([&] { form.SendReceive("*0100JH", 1); });
    EXPECT_EQ(port.reads, std::vector<std::string>{"*0001JH=25\r\n*00"});
    EXPECT_EQ(form.ReplyBuffer, "");
    EXPECT_GE(took, 1.0);

    answerWith("\n");
    form.SendReceive("*0100JH", 1);
    EXPECT_EQ(form.ReplyBuffer, "\n");
}

TEST_F(Link, TimeOutLastsTheLimitAndKeepsTheStatusShown) {
    openPort();
    std::vector<std::string> statusSeen;
    ui.onEvents = [&] {
        if (statusSeen.empty() || statusSeen.back() != form.Label2.caption())
            statusSeen.push_back(form.Label2.caption());
    };
    form.Stat1("Waiting for the unit...");
    const double took = timed([&] { form.SendReceive("*0100JH", 2); });
    EXPECT_EQ(form.ReplyBuffer, "");
    EXPECT_GE(took, 2.0);
    EXPECT_LT(took, 2.5);
    EXPECT_EQ(statusSeen, std::vector<std::string>{"Waiting for the unit..."});
    form.Stat1("");
    EXPECT_EQ(form.Label2.caption(), "");
}

TEST_F(Link, LateCharactersStandAtTheStartOfTheNextReply) {
    openPort();
    form.SendReceive("*0100JH", 1);  // nothing comes in time
    ASSERT_EQ(form.ReplyBuffer, "");
    peer.readAll(100);
    peer.send("*0001JH=2");  // late, and incomplete
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    answerWith("*0001JP=1\r\n");
    form.SendReceive("*0100JP", 2);
    EXPECT_EQ(form.ReplyBuffer, "*0001JH=2*0001JP=1\r\n");
}

// ---- VerifyCommunication -------------------------------------------------------

TEST_F(Link, AnsweredVerificationLeavesThePortOpenAtTheChosenSettings) {
    form.Combo1.setText(" " + std::to_string(peer.port()));
    form.Combo2.setText("9600");
    form.Combo3.setText("01");
    std::string statusDuring;
    ui.onEvents = [&] {
        if (!peer.readAll(0).empty()) {
            statusDuring = form.Label2.caption();
            peer.send("*0001VR=anything\r\n");
        }
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
    EXPECT_EQ(form.UnitID, "01");
    EXPECT_EQ(form.PortNumber, " " + std::to_string(peer.port()));
    EXPECT_EQ(form.BaudRate, "9600");
}

TEST_F(Link, EmptyBoxStopsBeforeThePort) {
    form.UnitID = "05";
    form.Combo1.setText(std::to_string(peer.port()));
    form.Combo2.setText("9600");
    form.Combo3.setText("");
    form.VerifyCommunication();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Must supply value for COM port, baud rate, and ID.");
    EXPECT_EQ(ui.boxes[0].title, "Error");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Stop);
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_EQ(form.UnitID, "05");
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(Link, ReplyFromAnotherIdIsShownAndRefused) {
    setBoxes();
    answerWith("*0100VR\r\n");
    std::string statusAtBox;
    ui.onBox = [&](const MessageRecord&) { statusAtBox = form.Label2.caption(); };
    form.VerifyCommunication();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              " Unit detected, but at a different Unit ID.  Please verify Unit ID settings. ");
    EXPECT_EQ(ui.boxes[0].title, "Communications");
    EXPECT_EQ(ui.boxes[0].icon, Icon::None);
    EXPECT_EQ(statusAtBox, "*0100VR\r\n");
    EXPECT_EQ(form.Label2.caption(), "");
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(Link, NoReplyIsRefusedAfterTwoSeconds) {
    setBoxes();
    const double took = timed([&] { form.VerifyCommunication(); });
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              " Unit is not responding.  Please verify PC and/or unit Port and/or Baud Rate. ");
    EXPECT_EQ(ui.boxes[0].title, "Communications");
    EXPECT_GE(took, 2.0);
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(form.Label2.caption(), "");
}

TEST_F(Link, PortFailuresHaveTheirOwnMessages) {
    const auto verifyWithPort = [&](const std::string& portText) {
        ui.boxes.clear();
        form.Combo1.setText(portText);
        form.Combo2.setText("9600");
        form.Combo3.setText("01");
        form.VerifyCommunication();
        EXPECT_EQ(form.CommOK, 0);
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(ui.boxes.size(), 1u);
        return ui.boxes.empty() ? MessageRecord{} : ui.boxes[0];
    };
    {
        PosixSerialPort other(dir.path());
        other.setPortNumber(peer.port());
        other.open();
        MessageRecord box = verifyWithPort(std::to_string(peer.port()));
        EXPECT_EQ(box.text, " Port already in use!   Please verify... ");
        EXPECT_EQ(box.title, "Port");
        EXPECT_EQ(box.icon, Icon::Exclamation);
    }
    MessageRecord missing = verifyWithPort("250");
    EXPECT_EQ(missing.text, " Invalid Serial Port Number!   Please verify... ");
    EXPECT_EQ(missing.title, "Port");
    EXPECT_EQ(missing.icon, Icon::Exclamation);

    MessageRecord other = verifyWithPort("x");
    EXPECT_EQ(other.text, " Error  13:  Type mismatch");
    EXPECT_EQ(other.title, "Info");
    EXPECT_EQ(other.icon, Icon::Exclamation);
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(Link, HangUpDuringTheExchangeClosesThePort) {
    setBoxes();
    ui.onEvents = [&] {
        if (!peer.readAll(0).empty()) peer.close();
    };
    form.VerifyCommunication();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind(" Error  10005:  ", 0), 0u) << ui.boxes[0].text;
    EXPECT_EQ(ui.boxes[0].title, "Info");
    EXPECT_EQ(form.CommOK, 0);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(form.Label2.caption(), "Verifying Communication....");
}

// ---- Closing the window while an operation waits ------------------------------

TEST_F(Link, ClosingDuringAWaitStopsTheOperation) {
    setBoxes();
    form.EnableFrames();
    ui.onEvents = [&] {
        std::string got = peer.readAll(0);
        if (got == "*0100VR\r\n") peer.send("*0001VR=P\r\n");
        if (got == "*0100JH\r\n") peer.send("*0001JH=25\r\n");
        if (form.Label2.caption() == "Reading Table Temperature Units Value from unit...") {
            EXPECT_FALSE(form.requestClose());
        }
    };
    EXPECT_TRUE(form.cmdReadCurrentValues.press());
    EXPECT_TRUE(form.closing());
    EXPECT_FALSE(form.busy());
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(form.txt12HourTemp.text(), " 25");
    EXPECT_EQ(port.writes, (std::vector<std::string>{"*0100VR\r\n", "*0100JH\r\n", "*0100JP\r\n"}));
}

}  // namespace
}  // namespace qv::test
