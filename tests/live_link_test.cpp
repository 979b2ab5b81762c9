// The client's live session and the viewer engine together against the
// emulated DVR: the control's events reach the right slot although the
// control does not say which one they concern.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>

#include "client/kaviroctl/live_link.h"
#include "platform/trace.h"
#include "tools/dvremu/dvr_emulator.h"

namespace {

using namespace std::chrono_literals;

void Application() {
  static int argc = 1;
  static char name[] = "live_link_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  (void)app;
}

TEST(LiveLink, LostStreamConnectionDisconnectsItsSlot) {
  Application();
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  auto dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr);
  platform::TraceCapture trace;
  kaviroctl::LiveLink link(/*quiet=*/true);
  kaviroctl::LinkTarget target;
  target.port = dvr->command_port();
  target.password = "1234";
  ASSERT_EQ(link.Connect(target, 10s), kaviroctl::Outcome::kOk);
  // Pictures flow, and the channel request followed the stream logon.
  ASSERT_TRUE(link.Pump([&] { return link.frames().count(link.SlotOfChannel(4)) > 0; }, 5s));
  ASSERT_TRUE(link.Pump([&] { return trace.Contains("[LIVE DVR 0] Channel change (0xf)"); }, 5s));

  dvr->Drop(dvremu::Target::kStream);
  ASSERT_TRUE(link.Pump([&] { return !link.connected(); }, 5s));
  EXPECT_TRUE(trace.Contains("[LIVE DVR 0] !!!!!!!!!!!! REQUEST STOP LIVESTREAM !!!!!!!!!!!!"));
  EXPECT_EQ(link.channel_count(), 0);
  dvr->Stop();
}

// A peer's noise is traced line by line; the link keeps none of it.
TEST(LiveLink, AFloodOfGarbageDoesNotGrowWhatTheLinkHolds) {
  Application();
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  auto dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr);
  platform::TraceCapture trace;
  kaviroctl::LiveLink link(/*quiet=*/true);
  kaviroctl::LinkTarget target;
  target.port = dvr->command_port();
  target.password = "1234";
  ASSERT_EQ(link.Connect(target, 10s), kaviroctl::Outcome::kOk);
  const size_t held = link.trace_lines_held();

  // 120,000 bytes without a "T" are 10,000 headers without magic.
  dvr->Garbage(dvremu::Target::kCommand, 120000);
  const std::string resync = "[LIVE DVR 0] packet header without magic; resynchronising.";
  ASSERT_TRUE(link.Pump([&] { return trace.Count(resync) >= 10000; }, 30s)) << trace.Count(resync);
  EXPECT_TRUE(link.connected());
  EXPECT_EQ(link.trace_lines_held(), held);
  EXPECT_LE(held, 8u);
  dvr->Stop();
}

}  // namespace
