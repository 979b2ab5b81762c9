// The views keep the decoder's planes by pointer: a channel decoding on its
// own thread while the user-interface thread recomposes and captures, with
// colours, post-processing and the decoder itself changing under it, must
// never read planes that were freed or are being written (run it under
// AddressSanitizer and ThreadSanitizer too).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "viewer_control/control/cell_layout.h"
#include "viewer_control/control/rgb_video_view.h"
#include "viewer_control/engine/decoder_channel.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace vistrel {
namespace {

LayoutState Grid(int per_row, int selected = -1) {
  LayoutState layout;
  layout.per_row = per_row;
  layout.selected = selected;
  layout.stream_mode = 1;
  return layout;
}

TEST(PictureLifetime, ADecodingChannelAndTheUserInterfaceShareTheKeptPlanesSafely) {
  test::StreamEncoder encoder(352, 240);
  std::vector<std::vector<uint8_t>> group;
  for (int number = 0; number < 30; ++number) {
    group.push_back(encoder.Picture(1, number, static_cast<uint8_t>(40 + number * 6)));
  }
  RgbVideoView view(nullptr);
  view.SetLayout(Grid(2));
  DecoderChannel channel;
  channel.Bind(0);
  channel.SetFrameSink(&view);
  ASSERT_EQ(channel.Open(encoder.vol_packet()), 1);
  ASSERT_EQ(channel.Start(), 1);

  std::atomic<bool> stop{false};
  std::thread receive([&] {
    for (size_t i = 0; !stop.load(); ++i) channel.DecodeAndDraw(group[i % group.size()]);
  });
  // Each step waits for pictures drawn since the last, so the two threads overlap.
  const auto wait_for_pictures = [&] {
    const int seen = channel.pictures_drawn();
    while (channel.pictures_drawn() < seen + 2) std::this_thread::yield();
  };
  const LayoutState layouts[] = {Grid(1), Grid(2), Grid(3), Grid(4, 1), Grid(2, 1)};
  ColourSettings tinted;
  tinted.contrast = 30;
  tinted.tint = 20;
  for (int round = 0; round < 60; ++round) {
    wait_for_pictures();
    view.SetLayout(layouts[round % 5]);
    EXPECT_FALSE(view.Capture().isNull());
    if (round % 6 == 2) channel.SetColour(round % 12 == 2 ? tinted : ColourSettings{});
    if (round % 8 == 3) channel.SetPostProcessing(round % 16 == 3 ? kDeblockY | kDeringUV : 0);
    if (round % 10 == 9) {
      channel.Close();
      view.SetLayout(Grid(2));  // the released copy, recomposed
      ASSERT_EQ(channel.Open(encoder.vol_packet()), 1);
      ASSERT_EQ(channel.Start(), 1);
    }
  }
  stop = true;
  receive.join();

  // Closed: the view shows its copy of the last picture, the decoder gone.
  view.SetLayout(Grid(1));
  const QImage shown = view.Capture();
  channel.Close();
  view.SetLayout(Grid(2));
  view.SetLayout(Grid(1));
  EXPECT_TRUE(view.HasPicture(0));
  EXPECT_EQ(view.Capture(), shown);
}

}  // namespace
}  // namespace vistrel
