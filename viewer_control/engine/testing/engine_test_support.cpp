#include "viewer_control/engine/testing/engine_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "platform/registry.h"
#include "platform/settings_keys.h"
#include "platform/tcp_socket.h"
#include "protocol/packet_header.h"
#include "protocol/stream_codes.h"
#include "viewer_control/engine/decoder_channel.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace vistrel::test {

struct StreamEncoder::Impl {
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  int64_t pts = 0;
  ~Impl() {
    avcodec_free_context(&context);
    av_frame_free(&frame);
    av_packet_free(&packet);
  }
};

StreamEncoder::StreamEncoder(int width, int height) : impl_(std::make_unique<Impl>()) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (codec == nullptr) throw std::runtime_error("no MPEG-4 encoder");
  impl_->context = avcodec_alloc_context3(codec);
  AVCodecContext* c = impl_->context;
  c->width = width;
  c->height = height;
  c->time_base = {1, 30};
  c->framerate = {30, 1};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->gop_size = 600;  // I pictures only where a test asks for them
  c->max_b_frames = 0;
  c->bit_rate = 800000;
  c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_BITEXACT;
  if (avcodec_open2(c, codec, nullptr) < 0) throw std::runtime_error("encoder refused");
  impl_->frame = av_frame_alloc();
  impl_->frame->format = c->pix_fmt;
  impl_->frame->width = width;
  impl_->frame->height = height;
  av_frame_get_buffer(impl_->frame, 32);
  impl_->packet = av_packet_alloc();

  // The encoder's VOL header starts at its video object start code 00 00 01 00.
  const uint8_t* extra = c->extradata;
  for (int i = 0; i + 4 <= c->extradata_size; ++i) {
    if (extra[i] == 0 && extra[i + 1] == 0 && extra[i + 2] == 1 && extra[i + 3] == 0) {
      vol_.assign(extra + i, extra + c->extradata_size);
      vol_[3] = 0x01;
      break;
    }
  }
}

StreamEncoder::~StreamEncoder() = default;

std::vector<uint8_t> StreamEncoder::UserData(int channel, int number) {
  std::vector<uint8_t> user(20, 0);
  user[2] = 1;
  user[3] = 0xB2;
  user[4] = static_cast<uint8_t>(channel);
  user[7] = static_cast<uint8_t>(number);
  const uint8_t date[6] = {126, 12, 8, 16, 35, 33};
  std::memcpy(user.data() + 14, date, 6);
  return user;
}

std::vector<uint8_t> StreamEncoder::Picture(int channel, int number, uint8_t luma) {
  AVFrame* f = impl_->frame;
  av_frame_make_writable(f);
  for (int row = 0; row < f->height; ++row) std::memset(f->data[0] + row * f->linesize[0], luma, f->width);
  for (int row = 0; row < f->height / 2; ++row) {
    std::memset(f->data[1] + row * f->linesize[1], 128, f->width / 2);
    std::memset(f->data[2] + row * f->linesize[2], 128, f->width / 2);
  }
  f->pict_type = number == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  f->pts = impl_->pts++;
  std::vector<uint8_t> out = UserData(channel, number);
  if (avcodec_send_frame(impl_->context, f) < 0) throw std::runtime_error("encode failed");
  while (avcodec_receive_packet(impl_->context, impl_->packet) == 0) {
    out.insert(out.end(), impl_->packet->data, impl_->packet->data + impl_->packet->size);
    av_packet_unref(impl_->packet);
  }
  return out;
}

FakeDvr::FakeDvr() { listen_fd_ = platform::ListenOnLoopback(0, &port_); }

FakeDvr::~FakeDvr() {
  DropClient();
  if (listen_fd_ >= 0) close(listen_fd_);
}

bool FakeDvr::Accept(int timeout_ms) {
  pollfd wait{listen_fd_, POLLIN, 0};
  if (poll(&wait, 1, timeout_ms) <= 0) return false;
  DropClient();
  client_fd_ = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
  return client_fd_ >= 0;
}

void FakeDvr::DropClient() {
  if (client_fd_ >= 0) close(client_fd_);
  client_fd_ = -1;
}

bool FakeDvr::Send(std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(client_fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool FakeDvr::SendPacket(uint32_t code, std::span<const uint8_t> payload) {
  const auto header = protocol::BuildHeader(protocol::PortKind::kStream, static_cast<uint16_t>(payload.size()), code);
  std::vector<uint8_t> packet(header.begin(), header.end());
  packet.insert(packet.end(), payload.begin(), payload.end());
  return Send(packet);
}

std::optional<std::vector<uint8_t>> FakeDvr::ReadSome(int timeout_ms) {
  pollfd wait{client_fd_, POLLIN, 0};
  if (poll(&wait, 1, timeout_ms) <= 0) return std::nullopt;
  std::vector<uint8_t> bytes(4096);
  const ssize_t n = recv(client_fd_, bytes.data(), bytes.size(), 0);
  if (n <= 0) return std::nullopt;
  bytes.resize(static_cast<size_t>(n));
  return bytes;
}

std::optional<std::vector<uint8_t>> FakeDvr::ReadPacket(int timeout_ms) {
  std::vector<uint8_t> packet;
  size_t wanted = protocol::kHeaderSize;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (packet.size() < wanted) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd wait{client_fd_, POLLIN, 0};
    if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
    uint8_t byte;
    if (recv(client_fd_, &byte, 1, 0) != 1) return std::nullopt;
    packet.push_back(byte);
    if (packet.size() == protocol::kHeaderSize) wanted += static_cast<size_t>(packet[6] << 8 | packet[7]);
  }
  return packet;
}

bool FakeDvr::LiveLogon() {
  if (!SendPacket(protocol::stream::REQ_AUTHENTICATION)) return false;
  if (!ReadPacket()) return false;
  const uint8_t accepted[1] = {0};
  if (!SendPacket(protocol::stream::LOGON_RESULT, accepted)) return false;
  return ReadPacket().has_value();
}

void ScriptedTransport::PushPacket(uint32_t code, std::span<const uint8_t> payload) {
  const auto header = protocol::BuildHeader(protocol::PortKind::kStream, static_cast<uint16_t>(payload.size()), code);
  Push(header);
  Push(payload);
}

int32_t ScriptedTransport::Send(std::span<const uint8_t> bytes) {
  sent.insert(sent.end(), bytes.begin(), bytes.end());
  return 0;
}

long ScriptedTransport::Receive(std::span<uint8_t> into) {
  const size_t count = std::min({into.size(), pending.size() - position, max_read});
  std::memcpy(into.data(), pending.data() + position, count);
  position += count;
  return static_cast<long>(count);
}

void ScriptedTransport::Drain(StreamSession& session) {
  while (!drained()) {
    if (!session.ReceiveStep(*this)) return;
  }
}

FileSizeLimit::FileSizeLimit(long long bytes) {
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  saved_ = limit.rlim_cur;
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(saved_);
  setrlimit(RLIMIT_FSIZE, &limit);
}

std::vector<std::vector<uint8_t>> RecordedPictures(std::span<const uint8_t> rmp) {
  std::vector<std::vector<uint8_t>> pictures;
  for (size_t i = 24; i < rmp.size(); ++i) {
    if (i + 4 <= rmp.size() && rmp[i] == 0 && rmp[i + 1] == 0 && rmp[i + 2] == 1 && rmp[i + 3] == 0xB2) {
      pictures.emplace_back();
    }
    if (!pictures.empty()) pictures.back().push_back(rmp[i]);
  }
  return pictures;
}

namespace {

class CountingSink : public IFrameSink {
 public:
  int32_t DrawPicture(int, const PlanarPicture&, std::string_view) override {
    ++pictures;
    return 0;
  }
  int pictures = 0;
};

}  // namespace

int DecodableRecordedPictures(std::span<const uint8_t> rmp) {
  if (rmp.size() < 24) return 0;
  CountingSink sink;
  DecoderChannel decoder;
  decoder.Bind(0);
  decoder.SetFrameSink(&sink);
  if (decoder.Open(rmp.subspan(5, kVolHeaderSize)) == 0 || decoder.Start() == 0) return 0;
  for (const auto& picture : RecordedPictures(rmp)) decoder.DecodeAndDraw(picture);
  return sink.pictures;
}

void EnsureApplication() {
  if (QCoreApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "vistrel_engine_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
  }
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  EnsureApplication();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void UseVideoFolder(const std::string& dir, const std::string& video_folder) {
  std::filesystem::create_directories(dir);
  setenv("KAVIRO_REGISTRY", (dir + "/registry.db").c_str(), 1);
  auto key = platform::RegistryKey::Create(platform::settings::kVideoPathKey);
  if (key) key->WriteString(platform::settings::kSavePathValue, video_folder);
}

}  // namespace vistrel::test
