#include "client/sessions/ping.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/trace.h"

namespace sessions {
namespace {

TEST(Ping, EchoRequestLayoutAndChecksum) {
  const EchoRequest request = BuildEchoRequest(0x1234, 0, 0);
  EXPECT_EQ(request[0], 8);
  EXPECT_EQ(request[1], 0);
  for (size_t i = 12; i < kEchoRequestSize; ++i) ASSERT_EQ(request[i], 'E');
  // A receiver's sum over the 44 bytes, checksum included, is 0xFFFF, whose
  // complement is 0.
  EXPECT_EQ(InternetChecksum(request), 0);

  EchoRequest zeroed = request;
  zeroed[2] = zeroed[3] = 0;
  EXPECT_EQ(InternetChecksum(zeroed), request[2] << 8 | request[3]);
  EXPECT_NE(BuildEchoRequest(0x1234, 1, 0), request);
}

TEST(Ping, LoopbackAnswers) {
  platform::TraceCapture capture;
  EXPECT_EQ(ping_trace("127.0.0.1", 1000, 5), 1);
  EXPECT_FALSE(capture.Contains("Request timed out."));
}

TEST(Ping, AStopRequestWinsOverAReply) {
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  ASSERT_EQ(write(pipe_fds[1], "x", 1), 1);
  EXPECT_EQ(ping_trace("127.0.0.1", 1000, 5, pipe_fds[0]), 0);
  close(pipe_fds[0]);
  close(pipe_fds[1]);
}

}  // namespace
}  // namespace sessions
