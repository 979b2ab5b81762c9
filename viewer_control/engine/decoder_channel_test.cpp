#include "viewer_control/engine/decoder_channel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/result_codes.h"
#include "platform/trace.h"
#include "viewer_control/engine/mpeg4_decoder.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace vistrel {
namespace {

struct Drawn {
  int slot;
  int width;
  int height;
  int centre_luma;
  std::string date;
};

class RecordingSink : public IFrameSink {
 public:
  int32_t DrawPicture(int slot, const PlanarPicture& picture, std::string_view date_text) override {
    const int centre = picture.y[(picture.height / 2) * picture.y_pitch + picture.width / 2];
    drawn.push_back({slot, picture.width, picture.height, centre, std::string(date_text)});
    last = picture;
    return result;
  }
  // Reads the kept planes as a view copying them would.
  void ReleasePicture(int slot) override {
    released.push_back({slot, last.width, last.height, last.y[(last.height / 2) * last.y_pitch + last.width / 2], ""});
  }
  std::vector<Drawn> drawn;
  std::vector<Drawn> released;
  PlanarPicture last;
  int32_t result = 0;
};

class DecoderChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    channel.Bind(3);
    channel.SetFrameSink(&sink);
  }
  bool OpenAndStart(const test::StreamEncoder& encoder) {
    return channel.Open(encoder.vol_packet()) == 1 && channel.Start() == 1;
  }
  platform::TraceCapture trace;
  DecoderChannel channel;
  RecordingSink sink;
};

TEST(Mpeg4Vol, TheEncodersVolHeaderIsNineteenBytesAndGivesItsSize) {
  for (auto [width, height] : {std::pair{352, 240}, {704, 480}, {352, 250}}) {
    test::StreamEncoder encoder(width, height);
    ASSERT_EQ(encoder.vol_packet().size(), 19u);
    const std::vector<uint8_t> start = {0, 0, 1, 1, 0, 0, 1, 0x20};
    EXPECT_TRUE(std::equal(start.begin(), start.end(), encoder.vol_packet().begin()));
    VolInfo vol;
    ASSERT_TRUE(FindVol(encoder.vol_packet(), &vol));
    EXPECT_EQ(vol.offset, 4u);
    EXPECT_EQ(vol.width, width);
    EXPECT_EQ(vol.height, height);
  }
  VolInfo vol;
  const std::vector<uint8_t> no_layer = {0, 0, 1, 1, 0, 0, 1, 0xB6, 1, 2, 3};
  EXPECT_FALSE(FindVol(no_layer, &vol));
  const std::vector<uint8_t> cut_short = {0, 0, 1, 0x20, 0x00, 0x84};
  EXPECT_FALSE(FindVol(cut_short, &vol));
}

TEST_F(DecoderChannelTest, OpensVolSizesThatAreMultiplesOfSixteenAndDecodesThem) {
  for (auto [width, height] : {std::pair{352, 240}, {704, 480}, {720, 576}}) {
    test::StreamEncoder encoder(width, height);
    ASSERT_TRUE(OpenAndStart(encoder));
    EXPECT_EQ(channel.width(), width);
    channel.DecodeAndDraw(encoder.Picture(1, 0, 200));
    ASSERT_FALSE(sink.drawn.empty());
    EXPECT_EQ(sink.drawn.back().slot, 3);
    EXPECT_EQ(sink.drawn.back().width, width);
    EXPECT_EQ(sink.drawn.back().height, height);
    EXPECT_NEAR(sink.drawn.back().centre_luma, 200, 4);
    EXPECT_EQ(sink.drawn.back().date, test::kPictureDateText);
  }
  EXPECT_EQ(trace.Count("Channel 3, Mpeg4 decoder play !!!."), 3u);
}

TEST_F(DecoderChannelTest, RefusesSizesThatAreNotMultiplesOfSixteenOrLargerThanD1) {
  for (auto [width, height] : {std::pair{352, 250}, {350, 240}, {736, 480}, {704, 592}}) {
    test::StreamEncoder encoder(width, height);
    EXPECT_EQ(channel.Open(encoder.vol_packet()), 0);
    EXPECT_TRUE(trace.Contains("VOP header has unsupported image size: " + std::to_string(width) + "x" +
                               std::to_string(height) + " at channel 3."));
    EXPECT_FALSE(channel.is_open());
    EXPECT_EQ(channel.Start(), 0);
    channel.DecodeAndDraw(encoder.Picture(1, 0));
  }
  EXPECT_TRUE(sink.drawn.empty());
}

TEST_F(DecoderChannelTest, JoiningMidGroupWaitsForPictureZero) {
  test::StreamEncoder encoder(352, 240);
  ASSERT_TRUE(OpenAndStart(encoder));
  for (int number = 5; number < 30; ++number) channel.DecodeAndDraw(encoder.Picture(1, number));
  EXPECT_TRUE(sink.drawn.empty());
  EXPECT_TRUE(trace.Contains("[MPEG4DECODER] channel: 3, not decode I frame, frame number 5"));
  EXPECT_EQ(trace.Count("Channel: 3 Failed to Mpeg4 user data at VerifyMpeg4UserData()."), 25u);

  channel.DecodeAndDraw(encoder.Picture(1, 0, 90));
  channel.DecodeAndDraw(encoder.Picture(1, 1, 90));
  ASSERT_EQ(sink.drawn.size(), 2u);
  EXPECT_NEAR(sink.drawn[1].centre_luma, 90, 4);
  EXPECT_EQ(channel.pictures_drawn(), 2);
}

TEST_F(DecoderChannelTest, PictureTwentyNineIsShownAndThirtyAfterItIsDropped) {
  test::StreamEncoder encoder(352, 240);
  ASSERT_TRUE(OpenAndStart(encoder));
  for (int number = 0; number <= 29; ++number) channel.DecodeAndDraw(encoder.Picture(2, number));
  EXPECT_EQ(sink.drawn.size(), 30u);
  channel.DecodeAndDraw(encoder.Picture(2, 30));
  EXPECT_EQ(sink.drawn.size(), 30u);
  EXPECT_TRUE(trace.Contains("[MPEG4DECODER] channel: 3, not decode I frame, frame number 30"));
  // The next group starts over.
  channel.DecodeAndDraw(encoder.Picture(2, 0));
  EXPECT_EQ(sink.drawn.size(), 31u);
}

TEST_F(DecoderChannelTest, PicturesWithoutUserDataOrVopAreDropped) {
  test::StreamEncoder encoder(352, 240);
  ASSERT_TRUE(OpenAndStart(encoder));
  std::vector<uint8_t> picture = encoder.Picture(1, 0);

  std::vector<uint8_t> no_user_data(picture.begin() + 20, picture.end());
  channel.DecodeAndDraw(no_user_data);
  EXPECT_TRUE(trace.Contains("[MPEG4DECODER] channel: 3, not matching mpeg4 user data sync byte."));

  const std::vector<uint8_t> no_vop = test::StreamEncoder::UserData(1, 0);
  channel.DecodeAndDraw(no_vop);
  EXPECT_TRUE(trace.Contains("Channel: 3 Can't find MPEG-4 VOL (Video Object Layer) at Network packet."));

  std::vector<uint8_t> garbage = test::StreamEncoder::UserData(1, 1);
  garbage.insert(garbage.end(), {0, 0, 1, 0xB6, 0xFF, 0xFF, 0xFF, 0xFF});
  channel.DecodeAndDraw(garbage);  // whatever libavcodec makes of it, nothing breaks
  EXPECT_TRUE(sink.drawn.empty());

  channel.DecodeAndDraw(picture);
  EXPECT_EQ(sink.drawn.size(), 1u);
}

TEST_F(DecoderChannelTest, ColourValuesChangeTheOutputAndNeutralValuesRestoreIt) {
  test::StreamEncoder encoder(352, 240);
  ASSERT_TRUE(OpenAndStart(encoder));
  channel.DecodeAndDraw(encoder.Picture(1, 0, 100));
  ColourSettings brighter;
  brighter.brightness = 50;
  channel.SetColour(brighter);
  channel.DecodeAndDraw(encoder.Picture(1, 1, 100));
  channel.SetColour(ColourSettings{});
  channel.DecodeAndDraw(encoder.Picture(1, 2, 100));
  ASSERT_EQ(sink.drawn.size(), 3u);
  EXPECT_NEAR(sink.drawn[1].centre_luma, sink.drawn[0].centre_luma + 50, 2);
  // The adjustment must not leak into the decoder's reference pictures.
  EXPECT_NEAR(sink.drawn[2].centre_luma, sink.drawn[0].centre_luma, 3);
  EXPECT_EQ(channel.colour().brightness, 0);
}

TEST_F(DecoderChannelTest, ADrawingErrorClosesTheChannelButModeChangesDoNot) {
  test::StreamEncoder encoder(352, 240);
  ASSERT_TRUE(OpenAndStart(encoder));
  sink.result = kDrawWrongMode;
  channel.DecodeAndDraw(encoder.Picture(1, 0));
  EXPECT_TRUE(channel.is_open());
  sink.result = E_FAIL;
  channel.DecodeAndDraw(encoder.Picture(1, 1));
  EXPECT_FALSE(channel.is_open());
  EXPECT_TRUE(trace.Contains("Channel: 3 Drawing error.(0x80004005)"));
  channel.DecodeAndDraw(encoder.Picture(1, 2));
  EXPECT_EQ(sink.drawn.size(), 2u);
  // The next VOL packet opens it again.
  ASSERT_TRUE(OpenAndStart(encoder));
  EXPECT_TRUE(trace.Contains("Channel 3, Mpeg4 decoder close !!!."));
}

// A sink keeping the planes it was given is told before they go, while they
// still hold its picture: on a close, a new VOL and a change of sink; once
// per picture given, never when it was given none.
TEST_F(DecoderChannelTest, TheSinkIsToldBeforeThePlanesItKeepsGo) {
  test::StreamEncoder encoder(352, 240);
  ASSERT_TRUE(OpenAndStart(encoder));
  channel.Close();
  EXPECT_TRUE(sink.released.empty());

  const auto release_after_drawing = [&](uint8_t luma, auto&& step) {
    channel.DecodeAndDraw(encoder.Picture(1, 0, luma));
    const size_t before = sink.released.size();
    step();
    ASSERT_EQ(sink.released.size(), before + 1);
    EXPECT_EQ(sink.released.back().slot, 3);
    EXPECT_NEAR(sink.released.back().centre_luma, luma, 4);
  };
  ASSERT_TRUE(OpenAndStart(encoder));
  release_after_drawing(70, [&] { channel.Close(); });
  channel.Close();
  EXPECT_EQ(sink.released.size(), 1u);
  ASSERT_TRUE(OpenAndStart(encoder));
  release_after_drawing(150, [&] { ASSERT_TRUE(OpenAndStart(encoder)); });
  RecordingSink other;
  release_after_drawing(210, [&] { channel.SetFrameSink(&other); });
  channel.Close();
  EXPECT_TRUE(other.released.empty());
}

TEST_F(DecoderChannelTest, ClosingANeverOpenedChannelOnlyTraces) {
  channel.Close();
  EXPECT_EQ(trace.Texts(), std::vector<std::string>{"Channel 3, Mpeg4 decoder close !!!."});
}

// The decoder alone: what it holds follows what the stream and the colours need.
class Mpeg4DecoderBuffers : public ::testing::Test {
 protected:
  void SetUp() override {
    VolInfo vol;
    ASSERT_TRUE(FindVol(encoder.vol_packet(), &vol));
    decoder = Mpeg4Decoder::Create(vol.width, vol.height, std::span(encoder.vol_packet()).subspan(vol.offset));
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(decoder->AllocateFrameBuffer());
  }
  static std::vector<uint8_t> FromVop(const std::vector<uint8_t>& packet) {
    for (size_t i = 0; i + 4 <= packet.size(); ++i) {
      if (packet[i] == 0 && packet[i + 1] == 0 && packet[i + 2] == 1 && packet[i + 3] == 0xB6) {
        return {packet.begin() + static_cast<ptrdiff_t>(i), packet.end()};
      }
    }
    return {};
  }
  static int Centre(const PlanarPicture& p) { return p.y[(p.height / 2) * p.y_pitch + p.width / 2]; }
  test::StreamEncoder encoder{704, 480};
  std::unique_ptr<Mpeg4Decoder> decoder;
};

TEST_F(Mpeg4DecoderBuffers, NeutralColoursHoldNoAdjustedPlanesAndSwitchingBackFreesThem) {
  const size_t neutral = decoder->buffer_bytes();
  EXPECT_LT(neutral, Mpeg4Decoder::kMaxPictureBytes);
  PlanarPicture picture;
  ASSERT_EQ(decoder->Decode(FromVop(encoder.Picture(1, 0, 100)), &picture), 0);
  const int plain = Centre(picture);
  EXPECT_EQ(decoder->buffer_bytes(), neutral);

  ColourSettings brighter;
  brighter.brightness = 40;
  decoder->SetColour(brighter);
  ASSERT_EQ(decoder->Decode(FromVop(encoder.Picture(1, 1, 100)), &picture), 0);
  EXPECT_NEAR(Centre(picture), plain + 40, 2);
  EXPECT_EQ(picture.y_pitch, 704);
  EXPECT_GE(decoder->buffer_bytes(), neutral + 704 * 480 * 3 / 2);

  // The adjusted picture handed out last may still be read: its planes go
  // once the picture after the next one is decoded.
  decoder->SetColour(ColourSettings{});
  EXPECT_NEAR(Centre(picture), plain + 40, 2);
  PlanarPicture next;
  ASSERT_EQ(decoder->Decode(FromVop(encoder.Picture(1, 2, 100)), &next), 0);
  EXPECT_NEAR(Centre(next), plain, 3);
  EXPECT_NEAR(Centre(picture), plain + 40, 2);
  ASSERT_EQ(decoder->Decode(FromVop(encoder.Picture(1, 3, 100)), &picture), 0);
  EXPECT_NEAR(Centre(picture), plain, 3);
  EXPECT_EQ(decoder->buffer_bytes(), neutral);
}

// A sink may read the picture handed out last while the next is decoded:
// neither the next picture nor a failed one touches its planes, with the
// decoder's own planes as with colour-adjusted ones.
TEST_F(Mpeg4DecoderBuffers, ThePictureHandedOutLastStaysIntactThroughTheNextDecode) {
  for (const bool adjusted : {false, true}) {
    SCOPED_TRACE(adjusted ? "adjusted" : "neutral");
    ColourSettings colour;
    colour.contrast = adjusted ? 20 : 0;
    decoder->SetColour(colour);
    PlanarPicture last;
    ASSERT_EQ(decoder->Decode(FromVop(encoder.Picture(1, 0, 60)), &last), 0);
    const std::vector<uint8_t> before(last.y, last.y + static_cast<size_t>(last.y_pitch) * last.height);
    const auto intact = [&] { return std::equal(before.begin(), before.end(), last.y); };

    PlanarPicture next;
    ASSERT_EQ(decoder->Decode(FromVop(encoder.Picture(1, 1, 200)), &next), 0);
    EXPECT_NE(next.y, last.y);
    EXPECT_GT(Centre(next), Centre(last) + 100);
    EXPECT_TRUE(intact());

    // A damaged picture after it: `next` is now the one to keep.
    last = next;
    const std::vector<uint8_t> kept(last.y, last.y + static_cast<size_t>(last.y_pitch) * last.height);
    std::vector<uint8_t> damaged = FromVop(encoder.Picture(1, 2, 90));
    damaged.resize(damaged.size() / 3);
    for (size_t i = 8; i < damaged.size(); ++i) damaged[i] ^= 0x5A;
    PlanarPicture ignored;
    decoder->Decode(damaged, &ignored);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), last.y));
  }
}

TEST_F(Mpeg4DecoderBuffers, TheInputBufferGrowsForALargePictureUpToTheLimitOnly) {
  const size_t first = decoder->buffer_bytes();
  // A picture followed by stuffing: larger than the first buffer, still decodable.
  std::vector<uint8_t> large = FromVop(encoder.Picture(1, 0, 150));
  large.resize(large.size() + 3 * first, 0);
  PlanarPicture picture;
  ASSERT_EQ(decoder->Decode(large, &picture), 0);
  EXPECT_NEAR(Centre(picture), 150, 4);
  const size_t grown = decoder->buffer_bytes();
  EXPECT_GT(grown, large.size());
  EXPECT_LE(grown, Mpeg4Decoder::kMaxPictureBytes + 64);
  // Smaller pictures reuse it; one over the limit is refused, the buffer kept.
  ASSERT_EQ(decoder->Decode(FromVop(encoder.Picture(1, 1, 150)), &picture), 0);
  EXPECT_EQ(decoder->buffer_bytes(), grown);
  std::vector<uint8_t> too_large = FromVop(encoder.Picture(1, 2, 150));
  too_large.resize(Mpeg4Decoder::kMaxPictureBytes + 1, 0);
  EXPECT_LT(decoder->Decode(too_large, &picture), 0);
  EXPECT_EQ(decoder->buffer_bytes(), grown);
  ASSERT_EQ(decoder->Decode(FromVop(encoder.Picture(1, 3, 150)), &picture), 0);
}

}  // namespace
}  // namespace vistrel
