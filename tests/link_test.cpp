// The command exchange and the link check over a real POSIX serial port
// against a scripted raw peer on a pseudo terminal. How a check passes or
// fails is in fault_matrix_test.cpp.
#include <gtest/gtest.h>

#include "support/unit_fixture.h"

namespace qv::test {
namespace {

struct Link : FormFixtureWith<PosixSerialPort> {
    PtyPeer peer{dir.path()};

    std::string wire;  // what the program wrote
    // Answers each line the program writes with the next of the given replies.
    void answerWith(std::vector<std::string> replies) {
        ui.onEvents = [this, replies, next = size_t{0}]() mutable {
            const std::string got = peer.readAll(0);
            wire += got;
            if (next < replies.size() && !got.empty()) peer.send(replies[next++]);
        };
    }
};

// A command goes out with CR LF; only a line feed at its end ends a reply,
// and characters that come late start the next.
TEST_F(Link, OnlyALastLineFeedEndsTheReplyAndLateCharactersStartTheNext) {
    port.setPortNumber(peer.port()), port.open();
    answerWith({"*0001JH=25\r\n*00", "\n"});
    form.SendReceive("*0100JH", 1);
    EXPECT_EQ(form.ReplyBuffer, "");
    form.SendReceive("*0100JH", 1);
    EXPECT_EQ(form.ReplyBuffer, "\n");
    EXPECT_EQ(wire, "*0100JH\r\n*0100JH\r\n");
    peer.send("*0001JH=2");  // late, and incomplete
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    answerWith({"*0001JP=1\r\n"});
    form.SendReceive("*0100JP", 2);
    EXPECT_EQ(form.ReplyBuffer, "*0001JH=2*0001JP=1\r\n");
}

TEST_F(Link, NoReplyIsRefusedAfterTwoSeconds) {
    form.Combo1.setText(std::to_string(peer.port())), form.Combo2.setText("9600"), form.Combo3.setText("01");
    const auto start = std::chrono::steady_clock::now();
    form.VerifyCommunication();
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, " Unit is not responding.  Please verify PC and/or unit Port and/or Baud Rate. ");
    EXPECT_GE(took, 2.0);
    EXPECT_LT(took, 2.5);
}

}  // namespace
}  // namespace qv::test
