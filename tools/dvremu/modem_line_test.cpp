// The emulated modem's command reader: a new call's commands survive what
// the last call left on the line.
#include "tools/dvremu/modem_line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

namespace dvremu {
namespace {

class ModemLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(modem_.Start(&error)) << error;
    fd_ = ::open(modem_.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd_, 0);
    termios raw{};
    ::tcgetattr(fd_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd_, TCSANOW, &raw);
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
    modem_.Stop();
  }
  void Send(const std::string& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  // The modem's next non-empty answer line; empty if none came within the bound.
  std::string Answer() {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, 100) <= 0) continue;
      char c = 0;
      if (::read(fd_, &c, 1) != 1) continue;
      if (c != '\r' && c != '\n') {
        line += c;
      } else if (!line.empty()) {
        return line;
      }
    }
    return line;
  }

  ModemLine modem_{1, ModemAnswer::kBusy};  // no DVR behind it: a call carries nothing
  int fd_ = -1;
};

TEST_F(ModemLineTest, ACommandAfterTheLastCallsLeftoversIsAnswered) {
  // The tail of a call's frames, the escape, then the next caller's reset.
  Send(std::string("\x7f\x01\x00\x05video", 10) + "+++ATZ\r");
  EXPECT_EQ(Answer(), "OK");
  Send(std::string(1000, 'x') + "atdt--1234\r");
  EXPECT_EQ(Answer(), "BUSY");
}

TEST_F(ModemLineTest, NoiseWithoutACommandGetsNoAnswer) {
  Send("garbage\r");
  Send("ATZ\r");
  EXPECT_EQ(Answer(), "OK");
}

TEST_F(ModemLineTest, AnEscapeReadWithTheNextCommandsEndsTheCallAndAnswersThem) {
  modem_.SetAnswer(ModemAnswer::kConnect);
  Send("ATDT1\r");
  EXPECT_EQ(Answer(), "CONNECT 57600");
  // The guard times lost on a loaded line: escape, hang-up and the next
  // caller's reset arrive in one piece.
  Send("+++ATH0\rATZ\r");
  EXPECT_EQ(Answer(), "OK");
  EXPECT_EQ(Answer(), "OK");
  EXPECT_EQ(Answer(), "OK");
}

}  // namespace
}  // namespace dvremu
