// Counts the allocations of a live picture in steady state, from the
// session's receive step (reassembly, dispatch, the decoder channel) through
// the RGB view into its cell: there should be none,
// at 16 channels x 30 pictures a second. The global operator new of this
// binary is replaced to count them (libavcodec's own av_malloc is not seen:
// its frame pools are libavcodec's business).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "protocol/stream_codes.h"
#include "viewer_control/control/rgb_video_view.h"
#include "viewer_control/engine/decoder_channel.h"
#include "viewer_control/engine/testing/engine_test_support.h"
#include "viewer_control/engine/vistrel_engine.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* Allocate(std::size_t size, std::size_t alignment = 0) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
  if (size == 0) size = 1;
  void* block = nullptr;
  if (alignment > alignof(std::max_align_t)) {
    if (posix_memalign(&block, alignment, size) != 0) block = nullptr;
  } else {
    block = std::malloc(size);
  }
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }

namespace vistrel {
namespace {

LayoutState Grid(int per_row, int first_slot = 0) {
  LayoutState layout;
  layout.per_row = per_row;
  layout.first_slot = first_slot;
  layout.stream_mode = 1;  // the date caption too
  layout.recording.fill(true);
  return layout;
}

// A group of pictures warms the channel and the view up (decoder, kept
// planes, caption images); the pictures of the next group, bar its I
// picture, are then counted: with the cell shrunk (4x4), the size of the
// picture (2x2), enlarged (1x1) and hidden.
TEST(SteadyAllocations, ALivePictureAllocatesNothingFromChannelToCell) {
  struct Case {
    const char* name;
    LayoutState layout;
  };
  const Case cases[] = {
      {"4x4", Grid(4)},
      {"2x2", Grid(2)},
      {"1x1", Grid(1, 2)},
      {"hidden", Grid(2, 8)},
  };
  test::StreamEncoder encoder(352, 240);
  std::vector<std::vector<uint8_t>> pictures;
  for (int number = 0; number < 30; ++number) pictures.push_back(encoder.Picture(1, number, 60 + number));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RgbVideoView view(nullptr);
    view.SetLayout(c.layout);
    DecoderChannel channel;
    channel.Bind(2);
    channel.SetFrameSink(&view);
    ASSERT_EQ(channel.Open(encoder.vol_packet()), 1);
    ASSERT_EQ(channel.Start(), 1);
    for (const auto& picture : pictures) channel.DecodeAndDraw(picture);
    channel.DecodeAndDraw(pictures[0]);
    const int drawn = channel.pictures_drawn();
    allocations = 0;
    counting = true;
    for (size_t number = 1; number < pictures.size(); ++number) channel.DecodeAndDraw(pictures[number]);
    counting = false;
    ASSERT_EQ(channel.pictures_drawn() - drawn, 29);
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_TRUE(view.HasPicture(2));
  }
}

class NoEvents : public IVistrelEvents {
 public:
  void Connect(int, int) override {}
  void Close(int, int) override {}
  void AuthenticationResult(int, int) override {}
};

// The same from the bytes a session receives: packets reassembled from reads
// that cut them anywhere, dispatched to the channel's decoder and drawn.
TEST(SteadyAllocations, ALivePacketAllocatesNothingFromReceiveToCell) {
  test::StreamEncoder encoder(352, 240);
  NoEvents events;
  RgbVideoView view(nullptr);
  LayoutState layout;
  layout.per_row = 4;
  layout.stream_mode = 1;
  view.SetLayout(layout);
  VistrelEngine engine(&events, &view);
  const uint8_t map[16] = {4, 5, 6, 7};
  ASSERT_EQ(engine.SetStreamSessionInfo(0, map, 4, kStreamLive), ControlResult::kDone);
  test::ScriptedTransport transport;
  transport.max_read = 1000;  // a picture takes several reads
  transport.PushPacket(protocol::stream::LIVE_VIDEO_DATA, encoder.vol_packet());
  for (int number = 0; number < 30; ++number) {
    transport.PushPacket(protocol::stream::LIVE_VIDEO_DATA, encoder.Picture(2, number, 60 + number));
  }
  transport.Drain(engine.session(0));
  ASSERT_TRUE(view.HasPicture(5));  // stream channel 2 -> slot 5
  transport.PushPacket(protocol::stream::LIVE_VIDEO_DATA, encoder.Picture(2, 0));
  transport.Drain(engine.session(0));
  for (int number = 1; number < 30; ++number) {
    transport.PushPacket(protocol::stream::LIVE_VIDEO_DATA, encoder.Picture(2, number, 90 + number));
  }
  const int drawn = engine.decoder(5).pictures_drawn();
  allocations = 0;
  counting = true;
  transport.Drain(engine.session(0));
  counting = false;
  EXPECT_TRUE(transport.drained());
  EXPECT_EQ(engine.decoder(5).pictures_drawn() - drawn, 29);
  EXPECT_EQ(allocations.load(), 0);
  engine.DisconnectAllStreamPort();
}

}  // namespace
}  // namespace vistrel
