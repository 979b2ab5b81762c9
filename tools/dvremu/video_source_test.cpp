#include "tools/dvremu/video_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace dvremu {
namespace {

struct DecoderDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};

TEST(VideoSourceTest, VolHeaderIsTheClientsFormAndDecodes) {
  VideoSource video;
  std::string error;
  ASSERT_TRUE(video.Encode({352, 240, 30, 4}, "12:34:56", &error)) << error;
  const auto& vol = video.vol_header();
  const uint8_t prefix[8] = {0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x20};
  EXPECT_EQ(0, std::memcmp(vol.data(), prefix, sizeof prefix));

  // The decoder is opened from the 19 bytes alone, as the client does, and
  // must decode a whole loop of every channel from the VOP start code on.
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
  ASSERT_NE(codec, nullptr);
  for (int channel = 1; channel <= 4; ++channel) {
    std::unique_ptr<AVCodecContext, DecoderDeleter> context(avcodec_alloc_context3(codec));
    context->extradata = static_cast<uint8_t*>(av_mallocz(vol.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(context->extradata, vol.data(), vol.size());
    context->extradata_size = static_cast<int>(vol.size());
    ASSERT_EQ(avcodec_open2(context.get(), codec, nullptr), 0);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int decoded = 0;
    for (int index = 0; index < kGroupLength; ++index) {
      const auto coded = video.picture(channel, index);
      const uint8_t vop[4] = {0x00, 0x00, 0x01, 0xB6};
      const auto start = std::search(coded.begin(), coded.end(), std::begin(vop), std::end(vop));
      ASSERT_NE(start, coded.end());
      std::vector<uint8_t> data(start, coded.end());
      data.resize(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
      packet->data = data.data();
      packet->size = static_cast<int>(coded.end() - start);
      ASSERT_EQ(avcodec_send_packet(context.get(), packet), 0) << "channel " << channel << " picture " << index;
      while (avcodec_receive_frame(context.get(), frame) == 0) {
        EXPECT_EQ(frame->width, 352);
        EXPECT_EQ(frame->height, 240);
        EXPECT_EQ(frame->pict_type, index == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_P);
        ++decoded;
      }
    }
    EXPECT_EQ(decoded, kGroupLength);
    av_frame_free(&frame);
    av_packet_free(&packet);
  }
}

TEST(VideoSourceTest, UserDataCarriesChannelPictureAndTime) {
  std::tm time{};
  time.tm_year = 125;
  time.tm_mon = 0;
  time.tm_mday = 1;
  time.tm_hour = 0;
  time.tm_min = 0;
  time.tm_sec = 1;
  const UserData data = BuildUserData(16, 0, time);
  EXPECT_EQ(data[3], 0xB2);
  EXPECT_EQ(data[4] & 0x1F, 16);
  EXPECT_EQ(data[7], 0);
  EXPECT_EQ(data[14], 125);
  EXPECT_EQ(data[15], 1);
  EXPECT_EQ(data[16], 1);
  EXPECT_EQ(data[19], 1);
  // No second start code inside the fields before the date.
  for (size_t i = 1; i + 2 < 14; ++i) {
    EXPECT_FALSE(data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) << i;
  }
}

}  // namespace
}  // namespace dvremu
