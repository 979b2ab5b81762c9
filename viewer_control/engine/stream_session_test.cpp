// The stream session's protocol over a scripted connection, and its socket and
// receive thread against a DVR stream port scripted by the test.
#include "viewer_control/engine/stream_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/result_codes.h"
#include "platform/trace.h"
#include "protocol/packet_header.h"
#include "protocol/stream_codes.h"
#include "viewer_control/engine/testing/engine_test_support.h"
#include "viewer_control/engine/vistrel_engine.h"

namespace vistrel {
namespace {

namespace stream = protocol::stream;
using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

struct Event {
  std::string name;
  int session;
  int result;
  bool operator==(const Event&) const = default;
};

class EventLog : public IVistrelEvents {
 public:
  void Connect(int session, int result) override { Add("Connect", session, result); }
  void Close(int session, int result) override { Add("Close", session, result); }
  void AuthenticationResult(int session, int result) override { Add("AuthenticationResult", session, result); }
  size_t Count(const std::string& name) const {
    return static_cast<size_t>(
        std::count_if(events.begin(), events.end(), [&](const Event& e) { return e.name == name; }));
  }
  std::vector<Event> events;
  bool all_on_owner = true;
  std::function<void(const std::string&)> on_event;

 private:
  void Add(const char* name, int session, int result) {
    all_on_owner = all_on_owner && std::this_thread::get_id() == owner_;
    events.push_back({name, session, result});
    if (on_event) on_event(name);
  }
  std::thread::id owner_ = std::this_thread::get_id();
};

class CountingSink : public IFrameSink {
 public:
  int32_t DrawPicture(int slot, const PlanarPicture&, std::string_view) override {
    ++pictures[slot];
    return 0;
  }
  std::array<std::atomic<int>, kDisplaySlots> pictures{};
};

Bytes Header(uint16_t length, uint32_t code) {
  const auto header = protocol::BuildHeader(protocol::PortKind::kStream, length, code);
  return Bytes(header.begin(), header.end());
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// --- The protocol, one receive step at a time.

class SessionProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const uint8_t map[16] = {8, 9, 10, 11};
    ASSERT_EQ(engine.SetStreamSessionInfo(0, map, 4, kStreamLive), ControlResult::kDone);
    engine.SetFrameSink(&sink);
  }
  StreamSession& session() { return engine.session(0); }

  platform::TraceCapture trace;
  EventLog events;
  CountingSink sink;
  VistrelEngine engine{&events};
  test::ScriptedTransport transport;
};

TEST_F(SessionProtocolTest, HeadersAssembleAcrossReadsAndUnknownCodesAreSkipped) {
  transport.max_read = 5;  // the header arrives as 5 + 5 + 2 bytes
  transport.Push(Header(0, 0x7777));
  transport.PushPacket(stream::REQ_AUTHENTICATION);
  transport.Drain(session());
  EXPECT_EQ(trace.Count("[STREAM SESSION 0] command protocol parse error code : 0x7777 !!!"), 1u);
  // The next 12 bytes were read as a header of their own: the logon went out.
  ASSERT_GE(transport.sent.size(), 12u);
  EXPECT_EQ(Bytes(transport.sent.begin(), transport.sent.begin() + 12), Header(2, stream::SNDAUTHDATA));
}

TEST_F(SessionProtocolTest, PicturesWithoutAChannelOfTheSessionAreDropped) {
  test::StreamEncoder encoder(352, 240);
  transport.PushPacket(stream::LIVE_VIDEO_DATA, encoder.vol_packet());
  for (int channel : {0, 17, 31, 5}) {  // 5 is beyond this session's four channels
    transport.PushPacket(stream::LIVE_VIDEO_DATA, encoder.Picture(channel, 0));
  }
  transport.PushPacket(stream::LIVE_VIDEO_DATA, Bytes{0, 0, 1, 0xB6, 1, 2});
  transport.PushPacket(stream::LIVE_VIDEO_DATA, encoder.Picture(3, 0));
  transport.Drain(session());
  EXPECT_EQ(trace.Count("[STREAM SESSION 0] Not found channel at GetMpeg4StreamChannel()."), 4u);
  EXPECT_EQ(trace.Count("[STREAM SESSION 0] Can't found VOP."), 1u);
  EXPECT_EQ(sink.pictures[10].load(), 1);  // stream channel 3 -> slot 10
  for (int slot : {0, 8, 9, 11, 12}) EXPECT_EQ(sink.pictures[slot].load(), 0) << slot;
}

TEST_F(SessionProtocolTest, AShortVolPacketLeavesTheRestOfTheHeaderZero) {
  transport.PushPacket(stream::LIVE_VIDEO_DATA, Bytes{0, 0, 1, 1, 0, 0, 1, 0x20, 0x55});
  transport.Drain(session());
  VolHeader expected{};
  const uint8_t start[9] = {0, 0, 1, 1, 0, 0, 1, 0x20, 0x55};
  std::copy(start, start + 9, expected.begin());
  EXPECT_EQ(session().vol_header(), expected);
  EXPECT_TRUE(trace.Contains("[STREAM SESSION 0] Mpeg4 decoder initialize succeeded !!!"));
  EXPECT_TRUE(trace.Contains("Can't find MPEG-4 VOL(Video Object Layer) at channel 8."));
}

TEST_F(SessionProtocolTest, ARefusedLogonLeavesTheConnectionIdle) {
  transport.PushPacket(stream::LOGON_RESULT, Bytes{0x12});
  transport.PushPacket(stream::LOGON_RESULT, Bytes{});
  transport.PushPacket(stream::DVR_NOTICE, Bytes{3});
  transport.Drain(session());
  EXPECT_EQ(trace.Count("[STREAM SESSION 0] Stream port authentication failed !!!"), 2u);
  EXPECT_TRUE(transport.sent.empty());
  EXPECT_TRUE(events.events.empty());
}

// A Connect on the owner thread must leave the packet being received alone:
// a receive thread left lingering by a stop may still be reading it. The
// scripted reader stands for that thread; the connect starts no thread of its own.
TEST_F(SessionProtocolTest, AConnectLeavesThePacketBeingReceivedAlone) {
  transport.max_read = 5;
  transport.PushPacket(stream::REQ_AUTHENTICATION);
  ASSERT_TRUE(session().ReceiveStep(transport));  // 5 of the 12 header bytes are in
  ASSERT_EQ(session().Connect("admin", "1234", "", 0), S_OK);
  transport.Drain(session());
  ASSERT_GE(transport.sent.size(), 12u);
  EXPECT_EQ(Bytes(transport.sent.begin(), transport.sent.begin() + 12), Header(11, stream::SNDAUTHDATA));
}

TEST_F(SessionProtocolTest, NothingIsDispatchedOnceTheConnectionIsDown) {
  transport.connected = false;
  transport.PushPacket(stream::REQ_AUTHENTICATION);
  transport.Drain(session());
  EXPECT_TRUE(trace.Contains("[STREAM SESSION 0] Stream packet dispatch mismatch !!!"));
  EXPECT_TRUE(transport.sent.empty());
}

// --- The socket and its receive thread, against a scripted DVR.

class StreamSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureApplication();
    const uint8_t map[16] = {0, 1, 2, 3};
    for (int index = 0; index < kSessionCount; ++index) {
      ASSERT_EQ(engine.SetStreamSessionInfo(index, map, 4, kStreamLive), ControlResult::kDone);
    }
    engine.SetFrameSink(&sink);
  }
  ControlResult Connect(int index) {
    return engine.ConnectStreamPort(index, "127.0.0.1", static_cast<short>(dvr.port()), "admin", "1234");
  }

  platform::TraceCapture trace;
  EventLog events;
  CountingSink sink;
  VistrelEngine engine{&events};
  test::FakeDvr dvr;
};

TEST_F(StreamSocketTest, LiveLogonRaisesItsEventsOnTheOwnerThread) {
  ASSERT_EQ(Connect(2), ControlResult::kDone);
  ASSERT_TRUE(dvr.Accept());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("Connect") == 1; }));
  EXPECT_EQ(events.events[0], (Event{"Connect", 2, 0}));

  ASSERT_TRUE(dvr.SendPacket(stream::REQ_AUTHENTICATION));
  EXPECT_EQ(dvr.ReadPacket(),
            Concat(Header(11, stream::SNDAUTHDATA), Bytes{'a', 'd', 'm', 'i', 'n', 0, '1', '2', '3', '4', 0}));
  EXPECT_TRUE(trace.Contains("[STREAM SESSION 2] DVR Logon UserName : admin, Password : ****"));
  ASSERT_TRUE(dvr.SendPacket(stream::LOGON_RESULT, Bytes{0}));
  EXPECT_EQ(dvr.ReadSome(), Concat(Header(1, stream::RCVREADY), Bytes{0x40}));  // one write
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("AuthenticationResult") == 1; }));
  EXPECT_EQ(events.events[1], (Event{"AuthenticationResult", 2, 0}));

  // The decoders start on the owner thread while the receive thread waits, so
  // the picture sent together with the VOL packet is already decoded.
  test::StreamEncoder encoder(352, 240);
  Bytes both = Concat(Header(19, stream::LIVE_VIDEO_DATA), encoder.vol_packet());
  const Bytes picture = encoder.Picture(2, 0);
  both = Concat(both, Concat(Header(static_cast<uint16_t>(picture.size()), stream::LIVE_VIDEO_DATA), picture));
  ASSERT_TRUE(dvr.Send(both));
  ASSERT_TRUE(test::PumpUntil([&] { return sink.pictures[1].load() == 1; }));
  EXPECT_TRUE(events.all_on_owner);
  EXPECT_EQ(engine.DisconnectStreamPort(2), ControlResult::kDone);
}

TEST_F(StreamSocketTest, RecordedStreamAsksForTheRecordingAndRaisesNoAuthentication) {
  const uint8_t map[16] = {4};
  ASSERT_EQ(engine.SetStreamSessionInfo(1, map, 1, kStreamRecorded), ControlResult::kDone);
  ASSERT_EQ(Connect(1), ControlResult::kDone);
  ASSERT_TRUE(dvr.Accept());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("Connect") == 1; }));
  ASSERT_TRUE(dvr.SendPacket(stream::REQ_AUTHENTICATION));
  ASSERT_TRUE(dvr.ReadPacket());
  ASSERT_TRUE(dvr.SendPacket(stream::LOGON_RESULT, Bytes{0}));
  EXPECT_EQ(dvr.ReadPacket(), Concat(Header(1, stream::REQRECSTREAM), Bytes{0x30}));
  ASSERT_TRUE(dvr.SendPacket(stream::RESP_RECSTREAM, Bytes{0}));
  EXPECT_EQ(dvr.ReadPacket(), Concat(Header(1, stream::RCVREADY), Bytes{0x32}));
  test::StreamEncoder encoder(352, 240);
  ASSERT_TRUE(dvr.SendPacket(stream::RECORD_VIDEO_DATA, encoder.vol_packet()));
  ASSERT_TRUE(dvr.SendPacket(stream::RECORD_VIDEO_DATA, encoder.Picture(1, 0)));
  ASSERT_TRUE(test::PumpUntil([&] { return sink.pictures[4].load() == 1; }));
  EXPECT_EQ(events.Count("AuthenticationResult"), 0u);
  EXPECT_TRUE(trace.Contains("[STREAM SESSION 1] Mpeg4 record stream receive ready !!!"));
  engine.DisconnectAllStreamPort();
}

TEST_F(StreamSocketTest, ADroppedConnectionRaisesCloseForItsSessionAndEndsTheThread) {
  ASSERT_EQ(Connect(3), ControlResult::kDone);
  ASSERT_TRUE(dvr.Accept());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("Connect") == 1; }));
  ASSERT_TRUE(dvr.LiveLogon());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("AuthenticationResult") == 1; }));
  dvr.DropClient();
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("Close") == 1; }));
  EXPECT_EQ(events.events.back(), (Event{"Close", 3, 0}));
  ASSERT_TRUE(trace.WaitFor("[STREAM SOCKET] Stream port thread end !!!", 2s));
  ASSERT_TRUE(test::PumpUntil([&] { return !engine.session(3).running(); }));
  EXPECT_EQ(engine.session(3).stream_type(), kStreamLive);
  test::PumpUntil([] { return false; }, 100ms);
  EXPECT_EQ(events.Count("Close"), 1u);

  // The session can connect again.
  ASSERT_EQ(Connect(3), ControlResult::kDone);
  ASSERT_TRUE(dvr.Accept());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("Connect") == 2; }));
  engine.DisconnectAllStreamPort();
}

TEST_F(StreamSocketTest, StopWhileBlockedInReceiveEndsWithinTheBoundAndRaisesNoClose) {
  ASSERT_EQ(Connect(0), ControlResult::kDone);
  ASSERT_TRUE(dvr.Accept());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("Connect") == 1; }));
  ASSERT_TRUE(dvr.LiveLogon());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("AuthenticationResult") == 1; }));
  std::this_thread::sleep_for(50ms);  // the thread waits in its receive

  const auto begun = std::chrono::steady_clock::now();
  EXPECT_EQ(engine.DisconnectStreamPort(0), ControlResult::kDone);
  EXPECT_LT(std::chrono::steady_clock::now() - begun, 1000ms);
  EXPECT_FALSE(engine.session(0).running());
  EXPECT_TRUE(trace.Contains("[STREAM SOCKET] disconnect signal enable !!!"));
  EXPECT_FALSE(trace.Contains("Terminating it."));
  test::PumpUntil([] { return false; }, 100ms);
  EXPECT_EQ(events.Count("Close"), 0u);
}

TEST_F(StreamSocketTest, ADisconnectFromInsideAnEventHandlerDoesNotDeadlock) {
  ControlResult out = ControlResult::kRefused;
  std::chrono::steady_clock::duration took{};
  events.on_event = [&](const std::string& name) {
    if (name != "Connect") return;
    const auto begun = std::chrono::steady_clock::now();
    out = engine.DisconnectStreamPort(1);
    took = std::chrono::steady_clock::now() - begun;
  };
  ASSERT_EQ(Connect(1), ControlResult::kDone);
  ASSERT_TRUE(dvr.Accept());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("Connect") == 1; }));
  EXPECT_EQ(out, ControlResult::kDone);
  EXPECT_LT(took, 1000ms);
  EXPECT_FALSE(engine.session(1).running());
  EXPECT_FALSE(trace.Contains("Terminating it."));
}

// A frame sink that does not return holds its receive thread past the stop's
// wait: the thread is left to end on its own, touching only what still lives.
class BlockingSink : public IFrameSink {
 public:
  int32_t DrawPicture(int, const PlanarPicture&, std::string_view) override {
    if (!blocked_once.exchange(true)) {
      entered = true;
      std::this_thread::sleep_for(1500ms);
    }
    return 0;
  }
  std::atomic<bool> blocked_once{false};
  std::atomic<bool> entered{false};
};

TEST_F(StreamSocketTest, AThreadThatDoesNotEndInTimeIsLeftHarmless) {
  BlockingSink blocking;
  engine.SetFrameSink(0, &blocking);
  ASSERT_EQ(Connect(0), ControlResult::kDone);
  ASSERT_TRUE(dvr.Accept());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("Connect") == 1; }));
  ASSERT_TRUE(dvr.LiveLogon());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("AuthenticationResult") == 1; }));
  test::StreamEncoder encoder(352, 240);
  ASSERT_TRUE(dvr.SendPacket(stream::LIVE_VIDEO_DATA, encoder.vol_packet()));
  ASSERT_TRUE(dvr.SendPacket(stream::LIVE_VIDEO_DATA, encoder.Picture(1, 0)));
  ASSERT_TRUE(test::PumpUntil([&] { return blocking.entered.load(); }));

  EXPECT_EQ(engine.DisconnectStreamPort(0), ControlResult::kDone);
  EXPECT_TRUE(trace.Contains("[STREAM SOCKET] Stream receive thread proc not exiting. Terminating it."));
  EXPECT_FALSE(engine.session(0).running());
  // A new connection waits for the old thread to be gone.
  const uint8_t map[16] = {0, 1, 2, 3};
  ASSERT_EQ(engine.SetStreamSessionInfo(0, map, 4, kStreamLive), ControlResult::kDone);
  EXPECT_EQ(Connect(0), ControlResult::kDone);
  EXPECT_TRUE(trace.Contains("[STREAM SOCKET] Stream port thread end !!!"));
  ASSERT_TRUE(dvr.Accept());
  ASSERT_TRUE(test::PumpUntil([&] { return events.Count("Connect") == 2; }));
  EXPECT_EQ(events.Count("Close"), 0u);
}

TEST_F(StreamSocketTest, ARefusedConnectionRaisesNothing) {
  ASSERT_EQ(engine.ConnectStreamPort(0, "127.0.0.1", 1, "admin", "1234"), ControlResult::kDone);
  ASSERT_TRUE(trace.WaitFor("[STREAM SOCKET] Stream port thread exit !!!", 2s));
  EXPECT_TRUE(
      trace.Contains("[STREAM SOCKET] Failed to connect stream socket at StreamRecvThreadProc() : "
                     "error code(0x0000274D)"));
  test::PumpUntil([] { return false; }, 100ms);
  EXPECT_TRUE(events.events.empty());
}

}  // namespace
}  // namespace vistrel
