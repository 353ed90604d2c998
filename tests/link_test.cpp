// The command exchange and the link check over a real POSIX serial port
// against a scripted raw peer on a pseudo terminal. How a check passes or
// fails is in fault_matrix_test.cpp.
#include <gtest/gtest.h>

#include "link/reply_lines.h"
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
// and characters that come after their exchange ended are dropped before the
// next command goes out.
TEST_F(Link, OnlyALastLineFeedEndsTheReplyAndLateCharactersAreDropped) {
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
    EXPECT_EQ(form.ReplyBuffer, "*0001JP=1\r\n");
}

// Whether a reply line answers a command line: a line naming another command
// (or another table line) is the late reply to an earlier one; a line naming
// none cannot be told apart and counts.
struct Answers {
    const char *command, *reply;
    bool answers;
};
void PrintTo(const Answers& a, std::ostream* out) { *out << a.command << " <- " << ::testing::PrintToString(a.reply); }
class ReplyLine : public ::testing::TestWithParam<Answers> {};
TEST_P(ReplyLine, AnswersOnlyTheCommandItNames) {
    EXPECT_EQ(link::answersCommand(GetParam().command, GetParam().reply), GetParam().answers);
}
INSTANTIATE_TEST_SUITE_P(
    Rows, ReplyLine,
    ::testing::Values(Answers{"*0100JH", "*0001JH=25\r\n", true}, Answers{"*0100JP", "*0001JH=25\r\n", false},
                      Answers{"*0100JC", "*0001JP=1", false},
                      // Writes: the command behind the enable command.
                      Answers{"*0100EW*0100JP=1", "*0001JP=1\r\n", true}, Answers{"*0100EW*0100JH=30", "*0001JP=2\r\n", false},
                      Answers{"*0100EZ*0100PB=1", "*0001PB=1\r\n", true}, Answers{"*0100EW*0100JT001=20", "*0001JT001=20\r\n", true},
                      // Table lines: the index too, four digits for line 1000.
                      Answers{"*0100JT002", "*0001JT001=20\r\n", false}, Answers{"*0100JR001", "*0001JT001=20\r\n", false},
                      Answers{"*0100EW*0100JR002=1.1", "*0001JR001=1\r\n", false}, Answers{"*0100JT1000", "*0001JT1000=9999\r\n", true},
                      Answers{"*0100JT100", "*0001JT1000=9999\r\n", false},
                      // Another unit ID, garbled values: the command named counts.
                      Answers{"*0100VR", "*0101VR=P1.1.0\r\n", true}, Answers{"*0100JH", "*0001JH=\"%\r\n", true},
                      // No command named: short, a lone LF, no capitals at 6-7.
                      Answers{"*0100JP", "*0001\r\n", true}, Answers{"*0100JP", "\n", true}, Answers{"*0100JP", "*0001J", true},
                      Answers{"*0100JP", "*0001jh=25\r\n", true}, Answers{"*0100JP", "*00012H=25\r\n", true}),
    [](const auto& info) { return std::to_string(info.index); });

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
