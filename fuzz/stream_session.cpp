// The stream session's receive step and dispatch over arbitrary bytes cut into
// arbitrary read sizes, with real decoder channels behind it. In the second
// mode the input is a list of video payloads, each sent as a picture of a
// valid stream after a valid VOL packet, so that the decoder sees them.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "protocol/packet_header.h"
#include "protocol/stream_codes.h"
#include "viewer_control/engine/decoder_channel.h"
#include "viewer_control/engine/stream_session.h"

namespace {

using vistrel::DecoderChannel;
using vistrel::IStreamTransport;

// A 352x240 VOL packet as the DVR sends it.
constexpr uint8_t kVolPacket[19] = {0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x20, 0x00, 0xC4,
                                    0x8D, 0x88, 0x00, 0xF5, 0x0B, 0x04, 0x1E, 0x14, 0x63};

class FuzzTransport : public IStreamTransport {
 public:
  FuzzTransport(std::span<const uint8_t> bytes, uint32_t seed) : bytes_(bytes), seed_(seed) {}
  bool IsConnected() const override { return true; }
  bool StopRequested() const override { return false; }
  int32_t Send(std::span<const uint8_t> bytes) override {
    volatile uint8_t sink = bytes.empty() ? 0 : bytes.back();
    (void)sink;
    return 0;
  }
  long Receive(std::span<uint8_t> into) override {
    seed_ = seed_ * 1103515245u + 12345u;
    size_t n = (seed_ >> 16) % 4 == 0 ? 1 + (seed_ >> 8) % 7 : into.size();
    n = std::min({n, into.size(), bytes_.size() - position_});
    std::memcpy(into.data(), bytes_.data() + position_, n);
    position_ += n;
    return static_cast<long>(n);
  }
  bool drained() const { return position_ == bytes_.size(); }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
  uint32_t seed_;
};

class FuzzHost : public vistrel::IStreamSessionHost {
 public:
  explicit FuzzHost(std::span<const uint8_t> map) : map_(map) {
    for (int slot = 0; slot < 16; ++slot) decoders_[slot].Bind(slot);
  }
  void SessionConnected(int, IStreamTransport&) override {}
  void SessionClosed(int, IStreamTransport&) override {}
  void SessionAuthenticated(int, IStreamTransport&) override {}
  void RecordingFailed(int, int, IStreamTransport&) override {}
  void DecoderStart(int, const vistrel::VolHeader& vol, IStreamTransport&) override {
    for (uint8_t slot : map_) {
      if (decoders_[slot].Open(vol) == 0 || decoders_[slot].Start() == 0) break;
    }
  }
  DecoderChannel& Decoder(int slot) override { return decoders_[slot]; }

 private:
  std::span<const uint8_t> map_;
  std::array<DecoderChannel, 16> decoders_;
};

void AppendPacket(std::vector<uint8_t>* out, uint32_t code, std::span<const uint8_t> payload) {
  const auto header = protocol::BuildHeader(protocol::PortKind::kStream, static_cast<uint16_t>(payload.size()), code);
  out->insert(out->end(), header.begin(), header.end());
  out->insert(out->end(), payload.begin(), payload.end());
}

// Each payload: a length byte, then that many bytes, sent behind the user data
// of picture `number` of channel 1 and a VOP start code.
std::vector<uint8_t> PicturesStream(std::span<const uint8_t> data) {
  std::vector<uint8_t> stream;
  AppendPacket(&stream, protocol::stream::LIVE_VIDEO_DATA, kVolPacket);
  int number = 0;
  size_t pos = 0;
  while (pos < data.size()) {
    const size_t wanted = data[pos] * 8u;
    ++pos;
    const size_t length = std::min(wanted, data.size() - pos);
    std::vector<uint8_t> payload = {0, 0,  1,  0xB2, 1, 0, 0,   static_cast<uint8_t>(number % 30),
                                    0, 0,  0,  0,    0, 0, 126, 12,
                                    8, 16, 35, 33,   0, 0, 1,   0xB6};
    payload.insert(payload.end(), data.begin() + static_cast<ptrdiff_t>(pos),
                   data.begin() + static_cast<ptrdiff_t>(pos + length));
    pos += length;
    ++number;
    AppendPacket(&stream, protocol::stream::LIVE_VIDEO_DATA, payload);
  }
  return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t mode = data[0];
  const uint32_t seed = data[1];
  const std::span<const uint8_t> rest(data + 2, size - 2);

  static constexpr uint8_t kMap[16] = {3, 0, 7, 12, 1, 2, 4, 5, 6, 8, 9, 10, 11, 13, 14, 15};
  const int channels = 1 + (mode >> 2) % 16;
  FuzzHost host(std::span(kMap, static_cast<size_t>(channels)));
  vistrel::StreamSession session;
  session.Bind(0, &host);
  session.SetSessionInfo(kMap, channels, 1 + (mode >> 1) % 2);

  const std::vector<uint8_t> pictures = (mode & 1) ? PicturesStream(rest) : std::vector<uint8_t>{};
  FuzzTransport transport((mode & 1) ? std::span<const uint8_t>(pictures) : rest, seed);
  while (!transport.drained()) {
    if (!session.ReceiveStep(transport)) break;
  }
  return 0;
}
