#include "viewer_control/engine/mpeg4_decoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace vistrel {
namespace {

// Reads bits most significant first; a read past the end fails the reader.
class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  uint32_t bits(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      if (pos_ >= bytes_.size() * 8) {
        ok_ = false;
        return 0;
      }
      value = value << 1 | ((bytes_[pos_ / 8] >> (7 - pos_ % 8)) & 1u);
      ++pos_;
    }
    return value;
  }
  bool marker() { return bits(1) == 1; }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct AvFreeDeleter {
  void operator()(uint8_t* memory) const { av_free(memory); }
};

// Room for an ordinary picture; a larger one grows the buffer once.
constexpr size_t kFirstInputBytes = 32 * 1024;

uint8_t Clamp(double value) { return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

}  // namespace

bool FindVol(std::span<const uint8_t> bytes, VolInfo* info) {
  size_t start = bytes.size();
  for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
    if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && (bytes[i + 3] & 0xF0) == 0x20) {
      start = i;
      break;
    }
  }
  if (start == bytes.size()) return false;

  BitReader reader(bytes.subspan(start + 4));
  reader.bits(1);                              // random accessible
  reader.bits(8);                              // object type
  if (reader.bits(1)) reader.bits(7);          // layer verid and priority
  if (reader.bits(4) == 0xF) reader.bits(16);  // extended pixel aspect ratio
  if (reader.bits(1)) {                        // layer control parameters
    reader.bits(3);                            // chroma format, low delay
    if (reader.bits(1)) reader.bits(79);       // buffer verifier parameters
  }
  if (reader.bits(2) != 0) return false;  // only rectangular layers have a size
  if (!reader.marker()) return false;
  const uint32_t resolution = reader.bits(16);
  if (resolution == 0 || !reader.marker()) return false;
  if (reader.bits(1)) {  // fixed rate: the increment takes as many bits as the resolution needs
    int increment_bits = 1;
    while ((1u << increment_bits) < resolution) ++increment_bits;
    reader.bits(increment_bits);
  }
  if (!reader.marker()) return false;
  const int width = static_cast<int>(reader.bits(13));
  if (!reader.marker()) return false;
  const int height = static_cast<int>(reader.bits(13));
  if (!reader.marker() || !reader.ok() || width == 0 || height == 0) return false;

  info->offset = start;
  info->length = bytes.size() - start;
  info->width = width;
  info->height = height;
  return true;
}

struct Mpeg4Decoder::Impl {
  int width = 0;
  int height = 0;
  std::unique_ptr<AVCodecContext, CodecContextDeleter> context;
  // Two pictures in turn, each with its colour-adjusted Y, U, V planes (while
  // colours are not neutral): the one handed out last is left alone while the
  // next is decoded and adjusted into the other.
  std::array<std::unique_ptr<AVFrame, FrameDeleter>, 2> frames;
  std::array<std::unique_ptr<uint8_t, AvFreeDeleter>, 2> adjusted;
  int last = 1;                                     // of the picture handed out last; the first goes into 0
  std::unique_ptr<AVPacket, PacketDeleter> packet;  // holds the one reference to the input buffer
  ColourSettings colour;
  std::array<uint8_t, 256> luma_table{};
  std::array<uint8_t, 256> chroma_table{};

  size_t adjusted_bytes() const {
    return static_cast<size_t>(width) * height + 2 * static_cast<size_t>(width / 2) * (height / 2);
  }
  bool ReserveInput(size_t bytes);
  void BuildTables();
  double tint_radians() const { return colour.tint * M_PI / 256.0; }
  void Adjust(const AVFrame& source, uint8_t* y, PlanarPicture* out);
};

Mpeg4Decoder::Mpeg4Decoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Mpeg4Decoder::~Mpeg4Decoder() = default;

int Mpeg4Decoder::width() const { return impl_->width; }
int Mpeg4Decoder::height() const { return impl_->height; }

std::unique_ptr<Mpeg4Decoder> Mpeg4Decoder::Create(int width, int height, std::span<const uint8_t> vol_header) {
  if (width <= 0 || height <= 0 || vol_header.empty()) return nullptr;
  // Damaged pictures are traced by the channel; libavcodec's own complaints
  // would only flood standard error.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_FATAL); });
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
  if (codec == nullptr) return nullptr;
  auto impl = std::make_unique<Impl>();
  impl->width = width;
  impl->height = height;
  impl->context.reset(avcodec_alloc_context3(codec));
  if (!impl->context) return nullptr;
  AVCodecContext* context = impl->context.get();
  // The VOL header is the decoder's extradata; libavcodec reads past the end
  // in whole words, hence the zeroed padding.
  context->extradata = static_cast<uint8_t*>(av_mallocz(vol_header.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (context->extradata == nullptr) return nullptr;
  std::memcpy(context->extradata, vol_header.data(), vol_header.size());
  context->extradata_size = static_cast<int>(vol_header.size());
  context->coded_width = width;
  context->coded_height = height;
  context->width = width;
  context->height = height;
  // Decoding runs on the session's receive thread, one picture at a time.
  context->thread_count = 1;
  if (avcodec_open2(context, codec, nullptr) < 0) return nullptr;
  return std::unique_ptr<Mpeg4Decoder>(new Mpeg4Decoder(std::move(impl)));
}

bool Mpeg4Decoder::AllocateFrameBuffer() {
  Impl& d = *impl_;
  for (auto& frame : d.frames) frame.reset(av_frame_alloc());
  d.packet.reset(av_packet_alloc());
  if (!d.frames[0] || !d.frames[1] || !d.packet) return false;
  d.packet->buf = av_buffer_alloc(kFirstInputBytes + AV_INPUT_BUFFER_PADDING_SIZE);
  if (d.packet->buf == nullptr) return false;
  d.BuildTables();
  return true;
}

bool Mpeg4Decoder::Impl::ReserveInput(size_t bytes) {
  const size_t held = static_cast<size_t>(packet->buf->size) - AV_INPUT_BUFFER_PADDING_SIZE;
  if (bytes <= held) return true;
  // Doubling keeps the number of growths to a handful over a channel's life.
  size_t wanted = held;
  while (wanted < bytes) wanted *= 2;
  wanted = std::min(wanted, kMaxPictureBytes);
  return av_buffer_realloc(&packet->buf, wanted + AV_INPUT_BUFFER_PADDING_SIZE) >= 0;
}

size_t Mpeg4Decoder::buffer_bytes() const {
  const Impl& d = *impl_;
  size_t bytes = d.packet && d.packet->buf ? static_cast<size_t>(d.packet->buf->size) : 0;
  for (const auto& planes : d.adjusted) bytes += planes ? d.adjusted_bytes() : 0;
  return bytes;
}

int Mpeg4Decoder::Decode(std::span<const uint8_t> from_vop, PlanarPicture* out) {
  Impl& d = *impl_;
  if (!d.packet || d.packet->buf == nullptr) return -1;
  if (from_vop.empty() || from_vop.size() > kMaxPictureBytes) return -1;
  // The decoder has let go of the input by the time it returned the last
  // picture; should it still hold it, the picture is refused rather than the
  // buffer overwritten under it.
  if (!av_buffer_is_writable(d.packet->buf)) return -2;
  if (!d.ReserveInput(from_vop.size())) return -1;
  AVPacket* packet = d.packet.get();
  std::memcpy(packet->buf->data, from_vop.data(), from_vop.size());
  std::memset(packet->buf->data + from_vop.size(), 0, AV_INPUT_BUFFER_PADDING_SIZE);
  packet->data = packet->buf->data;
  packet->size = static_cast<int>(from_vop.size());

  // Only the other picture is reused: the last one stays intact, whether this
  // one succeeds or not (the sink may still read it; libavcodec does not write
  // into a frame while we hold a reference to it).
  const int next = 1 - d.last;
  AVFrame* decoded = d.frames[next].get();
  av_frame_unref(decoded);
  if (avcodec_send_packet(d.context.get(), packet) < 0) return -3;
  if (avcodec_receive_frame(d.context.get(), decoded) < 0) return -4;
  const AVFrame& frame = *decoded;
  // A picture of another size than the VOL announced would overrun the
  // planes the renderer made for this channel.
  if (frame.width != d.width || frame.height != d.height || frame.format != AV_PIX_FMT_YUV420P ||
      frame.linesize[1] != frame.linesize[2]) {
    return -5;
  }
  if (d.colour.neutral()) {
    // Planes adjusted before the colours went neutral, no longer handed out.
    d.adjusted[next].reset();
    d.last = next;
    out->y = frame.data[0];
    out->u = frame.data[1];
    out->v = frame.data[2];
    out->y_pitch = frame.linesize[0];
    out->uv_pitch = frame.linesize[1];
    out->width = d.width;
    out->height = d.height;
    return 0;
  }
  if (!d.adjusted[next]) {
    d.adjusted[next].reset(static_cast<uint8_t*>(av_malloc(d.adjusted_bytes())));
    if (!d.adjusted[next]) return -1;
  }
  d.Adjust(frame, d.adjusted[next].get(), out);
  d.last = next;
  return 0;
}

void Mpeg4Decoder::SetColour(const ColourSettings& colour) {
  Impl& d = *impl_;
  d.colour = colour;
  d.BuildTables();
  // Only the planes not handed out last go now: the sink may still read the
  // last picture's, which the next picture but one frees (Decode).
  if (colour.neutral()) d.adjusted[1 - d.last].reset();
}

void Mpeg4Decoder::Impl::BuildTables() {
  const double gamma = colour.gamma > 0.0 ? colour.gamma : 1.0;
  const double contrast = (colour.contrast + 128) / 128.0;
  const double saturation = (colour.saturation + 128) / 128.0;
  for (int i = 0; i < 256; ++i) {
    const double corrected = 255.0 * std::pow(i / 255.0, 1.0 / gamma);
    luma_table[i] = Clamp((corrected - 128.0) * contrast + 128.0 + colour.brightness);
    chroma_table[i] = Clamp((i - 128.0) * saturation + 128.0);
  }
}

void Mpeg4Decoder::Impl::Adjust(const AVFrame& source, uint8_t* y, PlanarPicture* out) {
  uint8_t* u = y + static_cast<size_t>(width) * height;
  uint8_t* v = u + static_cast<size_t>(width / 2) * (height / 2);
  for (int row = 0; row < height; ++row) {
    const uint8_t* from = source.data[0] + static_cast<ptrdiff_t>(row) * source.linesize[0];
    uint8_t* to = y + static_cast<size_t>(row) * width;
    for (int col = 0; col < width; ++col) to[col] = luma_table[from[col]];
  }
  // Tint turns the chroma plane by up to a quarter turn either way.
  const double angle = tint_radians();
  const double cos_a = std::cos(angle);
  const double sin_a = std::sin(angle);
  for (int row = 0; row < height / 2; ++row) {
    const uint8_t* from_u = source.data[1] + static_cast<ptrdiff_t>(row) * source.linesize[1];
    const uint8_t* from_v = source.data[2] + static_cast<ptrdiff_t>(row) * source.linesize[2];
    uint8_t* to_u = u + static_cast<size_t>(row) * (width / 2);
    uint8_t* to_v = v + static_cast<size_t>(row) * (width / 2);
    for (int col = 0; col < width / 2; ++col) {
      if (colour.tint == 0) {
        to_u[col] = chroma_table[from_u[col]];
        to_v[col] = chroma_table[from_v[col]];
      } else {
        const double cu = chroma_table[from_u[col]] - 128.0;
        const double cv = chroma_table[from_v[col]] - 128.0;
        to_u[col] = Clamp(cu * cos_a - cv * sin_a + 128.0);
        to_v[col] = Clamp(cu * sin_a + cv * cos_a + 128.0);
      }
    }
  }
  out->y = y;
  out->u = u;
  out->v = v;
  out->y_pitch = width;
  out->uv_pitch = width / 2;
  out->width = width;
  out->height = height;
}

}  // namespace vistrel
