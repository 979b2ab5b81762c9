// End to end: the live dialogue against the emulated DVR, spoken with the
// project's packet code, and its pictures decoded with libavcodec.
extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "protocol/command_codes.h"
#include "tests/dvremu_test_client.h"
#include "tools/dvremu/dvr_emulator.h"

namespace {

using dvremu_test::Packet;
using dvremu_test::TestClient;
using namespace std::chrono_literals;
namespace cmd = protocol::cmd;
namespace stream = protocol::stream;

dvremu::EmulatorOptions TestOptions(int channels) {
  dvremu::EmulatorOptions options;
  options.port = 0;
  options.channels = channels;
  options.read_stdin = false;
  options.recorded_days = 10;
  options.users = {{"admin", "1234"}, {"guest", "pw"}};
  return options;
}

struct DecoderDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};

// Decodes one channel's pictures from the VOP start code on, as the client does.
class ChannelDecoder {
 public:
  explicit ChannelDecoder(std::span<const uint8_t> vol) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    context_.reset(avcodec_alloc_context3(codec));
    context_->extradata = static_cast<uint8_t*>(av_mallocz(vol.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(context_->extradata, vol.data(), vol.size());
    context_->extradata_size = static_cast<int>(vol.size());
    ok_ = avcodec_open2(context_.get(), codec, nullptr) == 0;
  }
  bool ok() const { return ok_; }
  // The luma plane of the decoded picture, or nothing.
  std::optional<std::vector<uint8_t>> Decode(std::span<const uint8_t> payload) {
    const uint8_t vop[4] = {0x00, 0x00, 0x01, 0xB6};
    const auto start = std::search(payload.begin(), payload.end(), std::begin(vop), std::end(vop));
    if (start == payload.end()) return std::nullopt;
    std::vector<uint8_t> data(start, payload.end());
    const int size = static_cast<int>(data.size());
    data.resize(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    packet->data = data.data();
    packet->size = size;
    std::optional<std::vector<uint8_t>> luma;
    if (avcodec_send_packet(context_.get(), packet) == 0 && avcodec_receive_frame(context_.get(), frame) == 0) {
      luma.emplace();
      for (int y = 0; y < frame->height; ++y) {
        luma->insert(luma->end(), frame->data[0] + y * frame->linesize[0],
                     frame->data[0] + y * frame->linesize[0] + frame->width);
      }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    return luma;
  }

 private:
  std::unique_ptr<AVCodecContext, DecoderDeleter> context_;
  bool ok_ = false;
};

class DvremuLiveTest : public ::testing::Test {
 protected:
  void StartDvr(int channels) {
    dvr_ = std::make_unique<dvremu::DvrEmulator>(TestOptions(channels));
    std::string error;
    ASSERT_TRUE(dvr_->Start(&error)) << error;
  }
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
};

TEST_F(DvremuLiveTest, LogonResultsByUserAndPassword) {
  StartDvr(4);
  struct Case {
    const char* user;
    const char* password;
    std::vector<uint8_t> reply;
  } cases[] = {{"admin", "1234", {0x00, 0x00}},
               {"guest", "pw", {0x00, 0x01}},
               {"nobody", "1234", {0x11}},
               {"admin", "wrong", {0x12}}};
  for (const auto& c : cases) {
    TestClient client(protocol::PortKind::kCommand);
    ASSERT_TRUE(client.Connect(dvr_->command_port()));
    const auto result = client.LogOn(c.user, c.password);
    ASSERT_TRUE(result) << c.user;
    EXPECT_EQ(result->payload, c.reply) << c.user;
  }
}

TEST_F(DvremuLiveTest, LiveDialogueStreamsDecodablePicturesOfEveryChannel) {
  StartDvr(4);
  TestClient command(protocol::PortKind::kCommand);
  ASSERT_TRUE(command.Connect(dvr_->command_port()));
  ASSERT_TRUE(command.LogOn("admin", "1234"));
  command.Send(cmd::REQ_LIVESTREAM);
  const auto live = command.WaitFor(cmd::RESP_LIVESTREAM);
  ASSERT_TRUE(live);
  ASSERT_EQ(live->payload.size(), 4u);
  EXPECT_EQ(live->payload[0], 0x00);
  EXPECT_EQ(live->payload[1], 0x05);  // pan/tilt mask
  EXPECT_EQ(live->payload[3], 4);     // channel count
  const auto types = command.WaitFor(cmd::BYPASS_REPLY);
  ASSERT_TRUE(types);
  ASSERT_EQ(types->payload.size(), 2u + 4u);
  EXPECT_EQ(types->payload[1], 0x11);

  TestClient video(protocol::PortKind::kStream);
  ASSERT_TRUE(video.Connect(dvr_->stream_port()));
  const auto logon = video.LogOn("admin", "1234");
  ASSERT_TRUE(logon);
  EXPECT_EQ(logon->payload, std::vector<uint8_t>{0x00});
  video.Send(stream::RCVREADY, {stream::RCVREADY_LIVE});
  const auto vol = video.WaitFor(stream::LIVE_VIDEO_DATA);
  ASSERT_TRUE(vol);
  ASSERT_EQ(vol->payload.size(), 19u);
  const uint8_t prefix[8] = {0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x20};
  EXPECT_EQ(0, std::memcmp(vol->payload.data(), prefix, sizeof prefix));

  std::map<int, std::unique_ptr<ChannelDecoder>> decoders;
  std::map<int, std::vector<int>> numbers;
  std::map<int, std::vector<uint8_t>> first_picture;
  for (int i = 0; i < 4 * 35; ++i) {
    const auto packet = video.Receive();
    ASSERT_TRUE(packet);
    ASSERT_EQ(packet->code, stream::LIVE_VIDEO_DATA);
    ASSERT_GE(packet->payload.size(), 21u);
    ASSERT_EQ(0, std::memcmp(packet->payload.data(), protocol::stream::kUserDataStart, 4));
    const int channel = packet->payload[4] & 0x1F;
    ASSERT_GE(channel, 1);
    ASSERT_LE(channel, 4);
    numbers[channel].push_back(packet->payload[7]);
    auto& decoder = decoders[channel];
    if (!decoder) decoder = std::make_unique<ChannelDecoder>(vol->payload);
    ASSERT_TRUE(decoder->ok());
    const auto luma = decoder->Decode(packet->payload);
    ASSERT_TRUE(luma) << "channel " << channel << " picture " << int(packet->payload[7]);
    if (!first_picture.count(channel)) first_picture[channel] = *luma;
  }
  ASSERT_EQ(numbers.size(), 4u);
  for (const auto& [channel, sequence] : numbers) {
    ASSERT_GE(sequence.size(), 31u);
    for (size_t i = 0; i < sequence.size(); ++i) EXPECT_EQ(sequence[i], i % 30) << "channel " << channel;
  }
  // Every channel looks different from every other.
  for (int a = 1; a <= 4; ++a) {
    for (int b = a + 1; b <= 4; ++b) {
      const auto& pa = first_picture[a];
      const auto& pb = first_picture[b];
      ASSERT_EQ(pa.size(), pb.size());
      size_t differing = 0;
      for (size_t i = 0; i < pa.size(); ++i) differing += std::abs(pa[i] - pb[i]) > 8;
      EXPECT_GT(differing, pa.size() / 10) << a << " vs " << b;
    }
  }

  // A channel change on the command port narrows the stream to its channels.
  command.Send(cmd::CHANNEL_CHANGE, {0x05});
  const auto changed = command.WaitFor(cmd::RESP_CHANNEL_CHANGE);
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->payload, std::vector<uint8_t>{0x00});
  for (int i = 0; i < 8; ++i) video.Receive();  // pictures already on their way
  std::map<int, int> seen;
  for (int i = 0; i < 20; ++i) {
    const auto packet = video.Receive();
    ASSERT_TRUE(packet);
    ++seen[packet->payload[4] & 0x1F];
  }
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen.count(1) && seen.count(3));

  command.Send(cmd::REQ_STOP_LIVESTREAM);
  const auto stop = command.WaitFor(cmd::RESP_STOP_LIVESTREAM);
  ASSERT_TRUE(stop);
  EXPECT_EQ(stop->payload, std::vector<uint8_t>{0x41});
}

TEST_F(DvremuLiveTest, PacedStreamKeepsToTheFrameRate) {
  StartDvr(4);
  TestClient video(protocol::PortKind::kStream);
  ASSERT_TRUE(video.Connect(dvr_->stream_port()));
  ASSERT_TRUE(video.LogOn("admin", "1234"));
  video.Send(stream::RCVREADY, {stream::RCVREADY_LIVE});
  ASSERT_TRUE(video.WaitFor(stream::LIVE_VIDEO_DATA));
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 4 * 30; ++i) ASSERT_TRUE(video.Receive());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // 30 picture times of four channels take about a second.
  EXPECT_GT(elapsed, 800ms);
  EXPECT_LT(elapsed, 2000ms);
}

TEST_F(DvremuLiveTest, StreamRefusesBadLogonAndSurvivesAHostileClient) {
  StartDvr(4);
  TestClient refused(protocol::PortKind::kStream);
  ASSERT_TRUE(refused.Connect(dvr_->stream_port()));
  const auto result = refused.LogOn("admin", "nope");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->payload, std::vector<uint8_t>{0x12});
  refused.Send(stream::RCVREADY, {stream::RCVREADY_LIVE});
  EXPECT_FALSE(refused.Receive(300ms));  // no video without a logon

  // Garbage, then a header announcing more than the port takes: the DVR drops
  // that client and goes on serving others.
  TestClient hostile(protocol::PortKind::kCommand);
  ASSERT_TRUE(hostile.Connect(dvr_->command_port()));
  std::vector<uint8_t> noise(5000, 0x41);
  hostile.SendBytes(noise);
  const auto header = protocol::BuildHeader(protocol::PortKind::kCommand, 0xFFFF, cmd::KEEP_ALIVE);
  hostile.SendBytes(header);
  hostile.ReceiveRaw(1 << 20, 2000ms);
  EXPECT_TRUE(hostile.closed());

  TestClient fine(protocol::PortKind::kCommand);
  ASSERT_TRUE(fine.Connect(dvr_->command_port()));
  EXPECT_TRUE(fine.LogOn("admin", "1234"));
}

}  // namespace
