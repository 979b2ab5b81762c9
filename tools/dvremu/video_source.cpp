#include "tools/dvremu/video_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <memory>
#include <thread>

#include "tools/dvremu/frame_painter.h"

namespace dvremu {
namespace {

struct CodecDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

constexpr uint8_t kVolFieldsStart[4] = {0x00, 0x00, 0x01, 0x20};
constexpr size_t kVolFieldsSize = 11;

CodecPtr OpenEncoder(const VideoFormat& format, std::string* error) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (codec == nullptr) {
    *error = "libavcodec has no MPEG-4 encoder";
    return nullptr;
  }
  CodecPtr context(avcodec_alloc_context3(codec));
  if (!context) {
    *error = "out of memory";
    return nullptr;
  }
  context->width = format.width;
  context->height = format.height;
  context->time_base = AVRational{1, format.fps};
  context->framerate = AVRational{format.fps, 1};
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  context->gop_size = kGroupLength;
  context->max_b_frames = 0;
  context->thread_count = 1;
  // The VOL goes to the extradata (the stream sends it once, in its own
  // packet), and bit-exact output leaves out the encoder's name as user data.
  context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_BITEXACT | AV_CODEC_FLAG_QSCALE;
  context->global_quality = FF_QP2LAMBDA * 6;
  // Only the group start may be an I picture: the pictures are numbered by
  // their place in the group, and the client waits for number 0.
  av_opt_set_int(context.get(), "sc_threshold", 1000000000, AV_OPT_SEARCH_CHILDREN);
  if (avcodec_open2(context.get(), codec, nullptr) < 0) {
    *error = "cannot open the MPEG-4 encoder";
    return nullptr;
  }
  return context;
}

// The VOL fields are the bytes after 00 00 01 20 up to the next start code;
// the client's header has room for exactly eleven of them.
bool ExtractVolHeader(const AVCodecContext& context, VolHeader* header, std::string* error) {
  const std::span<const uint8_t> extra(context.extradata, static_cast<size_t>(std::max(0, context.extradata_size)));
  const auto found = std::search(extra.begin(), extra.end(), std::begin(kVolFieldsStart), std::end(kVolFieldsStart));
  if (found == extra.end()) {
    *error = "the encoder wrote no VOL header";
    return false;
  }
  const size_t fields = static_cast<size_t>(found - extra.begin()) + 4;
  size_t end = fields;
  while (end < extra.size() &&
         !(end + 2 < extra.size() && extra[end] == 0 && extra[end + 1] == 0 && extra[end + 2] == 1)) {
    ++end;
  }
  if (end - fields != kVolFieldsSize) {
    *error = "the encoder's VOL fields are " + std::to_string(end - fields) + " bytes, not 11";
    return false;
  }
  const uint8_t prefix[8] = {0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x20};
  std::copy(std::begin(prefix), std::end(prefix), header->begin());
  std::copy_n(extra.begin() + static_cast<long>(fields), kVolFieldsSize, header->begin() + 8);
  return true;
}

bool EncodeLoop(const VideoFormat& format, int channel, const std::string& clock_text,
                std::vector<std::vector<uint8_t>>* loop, VolHeader* header, std::string* error) {
  CodecPtr context = OpenEncoder(format, error);
  if (!context) return false;
  if (header != nullptr && !ExtractVolHeader(*context, header, error)) return false;
  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!frame || !packet) {
    *error = "out of memory";
    return false;
  }
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = format.width;
  frame->height = format.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) {
    *error = "out of memory";
    return false;
  }
  loop->clear();
  auto drain = [&]() {
    while (avcodec_receive_packet(context.get(), packet.get()) == 0) {
      loop->emplace_back(packet->data, packet->data + packet->size);
      av_packet_unref(packet.get());
    }
  };
  for (int index = 0; index < kGroupLength; ++index) {
    if (av_frame_make_writable(frame.get()) < 0) {
      *error = "out of memory";
      return false;
    }
    const PlanarPicture picture{frame->data[0],     frame->data[1], frame->data[2], frame->linesize[0],
                                frame->linesize[1], format.width,   format.height};
    PaintChannelPicture(picture, channel, index, kGroupLength, clock_text);
    frame->pts = index;
    frame->pict_type = index == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(context.get(), frame.get()) < 0) {
      *error = "the encoder refused a picture";
      return false;
    }
    drain();
  }
  avcodec_send_frame(context.get(), nullptr);
  drain();
  for (const auto& picture : *loop) {
    // A picture packet's payload length is 16 bits on the wire.
    if (picture.size() + kUserDataSize > 0xFFFF) {
      *error = "a coded picture of " + std::to_string(picture.size()) + " bytes does not fit a packet";
      return false;
    }
  }
  if (loop->size() != static_cast<size_t>(kGroupLength)) {
    *error = "the encoder returned " + std::to_string(loop->size()) + " pictures";
    return false;
  }
  return true;
}

}  // namespace

bool VideoSource::Encode(const VideoFormat& format, const std::string& clock_text, std::string* error) {
  format_ = format;
  loops_.assign(static_cast<size_t>(format.channels), {});
  // Channels are independent; two workers halve the start-up time.
  const int workers = std::min(2, format.channels);
  std::vector<std::string> errors(static_cast<size_t>(workers));
  std::vector<std::thread> threads;
  for (int worker = 0; worker < workers; ++worker) {
    threads.emplace_back([&, worker]() {
      for (int channel = worker + 1; channel <= format.channels; channel += workers) {
        VolHeader* header = channel == 1 ? &vol_header_ : nullptr;
        if (!EncodeLoop(format, channel, clock_text, &loops_[static_cast<size_t>(channel - 1)], header,
                        &errors[static_cast<size_t>(worker)])) {
          return;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& message : errors) {
    if (!message.empty()) {
      *error = message;
      return false;
    }
  }
  return true;
}

std::span<const uint8_t> VideoSource::picture(int channel, int index) const {
  return loops_.at(static_cast<size_t>(channel - 1)).at(static_cast<size_t>(index % kGroupLength));
}

uint64_t VideoSource::loop_bytes(int channel) const {
  uint64_t total = 0;
  for (const auto& picture : loops_.at(static_cast<size_t>(channel - 1))) total += picture.size();
  return total;
}

UserData BuildUserData(int channel, int picture_number, const std::tm& time) {
  UserData data{};
  data[0] = 0x00;
  data[1] = 0x00;
  data[2] = 0x01;
  data[3] = 0xB2;
  data[4] = static_cast<uint8_t>(0xE0 | (channel & 0x1F));
  data[5] = 0xFF;
  data[6] = 0xFF;
  data[7] = static_cast<uint8_t>(picture_number);
  for (size_t i = 8; i < 14; ++i) data[i] = 0xFF;
  data[14] = static_cast<uint8_t>(time.tm_year);
  data[15] = static_cast<uint8_t>(time.tm_mon + 1);
  data[16] = static_cast<uint8_t>(time.tm_mday);
  data[17] = static_cast<uint8_t>(time.tm_hour);
  data[18] = static_cast<uint8_t>(time.tm_min);
  data[19] = static_cast<uint8_t>(time.tm_sec);
  return data;
}

void BuildPicturePayload(const VideoSource& video, int channel, int index, int picture_number, const std::tm& time,
                         std::vector<uint8_t>* out) {
  const UserData user_data = BuildUserData(channel, picture_number, time);
  const auto coded = video.picture(channel, index);
  out->resize(user_data.size() + coded.size());
  std::copy(user_data.begin(), user_data.end(), out->begin());
  std::copy(coded.begin(), coded.end(), out->begin() + static_cast<long>(user_data.size()));
}

}  // namespace dvremu
