#include "client/sessions/ping.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/trace.h"

namespace sessions {
namespace {

constexpr const char* kUnprivilegedRun = "KAVIRO_PING_TEST_UNPRIVILEGED";

// Whether this process may open a raw or a datagram ICMP socket.
bool IcmpPermitted() {
  for (int type : {SOCK_RAW, SOCK_DGRAM}) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
      close(fd);
      return true;
    }
  }
  return false;
}

// Runs the current test again in a child that has given up root (as nobody),
// where ICMP sockets are usually not permitted; the child checks that itself.
// Returns the child's exit status, or -1 when no such child can be had.
int RerunWithoutRoot() {
  if (geteuid() != 0) return -1;
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    setenv(kUnprivilegedRun, "1", 1);
    execl("/proc/self/exe", "ping_test", filter.c_str(), static_cast<char*>(nullptr));
    _exit(4);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

TEST(Ping, EchoRequestLayoutAndChecksum) {
  const EchoRequest request = BuildEchoRequest(0x1234, 0, 0);
  EXPECT_EQ(request[0], 8);
  EXPECT_EQ(request[1], 0);
  EXPECT_EQ(request[4], 0x12);
  EXPECT_EQ(request[5], 0x34);
  for (size_t i = 12; i < kEchoRequestSize; ++i) ASSERT_EQ(request[i], 'E');
  // 0x0800 + 0x1234 + 16 * 0x4545 = 0x46E84, folded 0x6E88, complemented.
  EXPECT_EQ(request[2], 0x91);
  EXPECT_EQ(request[3], 0x77);
  // A receiver's sum over the 44 bytes, checksum included, is 0xFFFF.
  EXPECT_EQ(InternetChecksum(request), 0);
  const EchoRequest second = BuildEchoRequest(0x1234, 1, 0);
  EXPECT_EQ(second[2] << 8 | second[3], 0x9176);

  // RFC 1071's worked example, and an odd last byte padded with zero.
  const uint8_t example[] = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
  EXPECT_EQ(InternetChecksum(example), 0x220D);
  const uint8_t odd[] = {0x01};
  EXPECT_EQ(InternetChecksum(odd), 0xFEFF);
}

TEST(Ping, LoopbackAnswers) {
  if (!IcmpPermitted()) {
    GTEST_SKIP() << "neither raw nor datagram ICMP sockets are permitted for this user";
  }
  platform::TraceCapture capture;
  EXPECT_EQ(ping_trace("127.0.0.1", 1000, 5), 1);
  EXPECT_FALSE(capture.Contains("Request timed out."));
  // Something came back and was decoded.
  bool decoded = false;
  for (const std::string& text : capture.Texts()) {
    decoded = decoded || text.find(" bytes from 127.0.0.1: icmp_seq = 0 ") != std::string::npos ||
              text.find("non-echo type") == 0;
  }
  EXPECT_TRUE(decoded);
}

TEST(Ping, AHostNameIsNoAddressWithOrWithoutIcmp) {
  if (std::getenv(kUnprivilegedRun) == nullptr) {
    platform::TraceCapture capture;
    EXPECT_EQ(ping_trace("dvr.example", 1000, 5), -1);
    EXPECT_TRUE(capture.Contains("sendto failed: 10013"));
    EXPECT_FALSE(capture.Contains("Request timed out."));
    if (IcmpPermitted()) {
      const int status = RerunWithoutRoot();
      if (status < 0) GTEST_SKIP() << "ICMP is permitted here and only root can give it up";
      EXPECT_EQ(status, 0) << "the run without ICMP failed";
    }
    return;
  }
  if (IcmpPermitted()) GTEST_SKIP() << "ICMP datagram sockets are permitted to every group here";
  // Where ICMP is not permitted an address counts as answered, a name never.
  platform::TraceCapture capture;
  EXPECT_EQ(ping_trace("127.0.0.1", 1000, 5), 1);
  EXPECT_TRUE(capture.Contains("[PING] ICMP echo is not permitted for this user; the connect decides."));
  EXPECT_EQ(ping_trace("dvr.example", 1000, 5), -1);
}

TEST(Ping, AStopRequestWinsOverAReply) {
  if (!IcmpPermitted()) GTEST_SKIP() << "without ICMP nothing is waited for";
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  ASSERT_EQ(write(pipe_fds[1], "x", 1), 1);
  EXPECT_EQ(ping_trace("127.0.0.1", 1000, 5, pipe_fds[0]), 0);
  close(pipe_fds[0]);
  close(pipe_fds[1]);
}

}  // namespace
}  // namespace sessions
