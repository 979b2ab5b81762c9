// Test helpers: MPEG-4 pictures as a DVR sends them (encoded here with
// libavcodec), a scripted DVR stream port on 127.0.0.1, and an owner thread
// event loop for the engine's events.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "viewer_control/engine/stream_session.h"

namespace vistrel::test {

// Encodes flat pictures of one size. The VOL header is the encoder's, with
// the visual object start code 00 00 01 01 in front as the DVR sends it.
class StreamEncoder {
 public:
  StreamEncoder(int width, int height);
  ~StreamEncoder();

  const std::vector<uint8_t>& vol_packet() const { return vol_; }
  // User data (channel, picture number, date) then the coded picture; number
  // 0 is coded as an I picture. `luma` is the picture's brightness.
  std::vector<uint8_t> Picture(int channel, int number, uint8_t luma = 128);
  static std::vector<uint8_t> UserData(int channel, int number);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::vector<uint8_t> vol_;
};

// The date every test picture carries: 2026-12-08 16:35:33.
inline constexpr const char* kPictureDateText = "2026/12/08  16:35:33";

// A DVR's stream port that a test scripts packet by packet.
class FakeDvr {
 public:
  FakeDvr();
  ~FakeDvr();
  uint16_t port() const { return port_; }
  bool Accept(int timeout_ms = 3000);
  bool Send(std::span<const uint8_t> bytes);
  bool SendPacket(uint32_t code, std::span<const uint8_t> payload = {});
  // One whole packet (header and payload), or nothing on time-out or close.
  std::optional<std::vector<uint8_t>> ReadPacket(int timeout_ms = 3000);
  // Bytes as they arrived in one read.
  std::optional<std::vector<uint8_t>> ReadSome(int timeout_ms = 3000);
  // REQ_AUTHENTICATION, the client's logon, LOGON_RESULT 0, its receive-ready.
  bool LiveLogon();
  void DropClient();

 private:
  int listen_fd_ = -1;
  int client_fd_ = -1;
  uint16_t port_ = 0;
};

// A connection without a socket: the bytes a test pushes are handed out in
// reads of at most `max_read` bytes; what the session sends is kept.
class ScriptedTransport : public IStreamTransport {
 public:
  void Push(std::span<const uint8_t> bytes) { pending.insert(pending.end(), bytes.begin(), bytes.end()); }
  void PushPacket(uint32_t code, std::span<const uint8_t> payload = {});
  bool IsConnected() const override { return connected; }
  bool StopRequested() const override { return false; }
  int32_t Send(std::span<const uint8_t> bytes) override;
  long Receive(std::span<uint8_t> into) override;
  bool drained() const { return position == pending.size(); }
  // Runs the session's receive step until every pushed byte was read.
  void Drain(StreamSession& session);

  std::vector<uint8_t> pending;
  size_t position = 0;
  size_t max_read = 1 << 20;
  std::vector<uint8_t> sent;
  bool connected = true;
};

// A full disk, as far as this process can tell: while it lives, no file
// grows past `bytes` (writes fail with EFBIG; SIGXFSZ is ignored).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(long long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  unsigned long long saved_;
};

// The pictures of an .rmp file after its 24-byte header, one per user-data
// start code (start codes do not occur inside coded data).
std::vector<std::vector<uint8_t>> RecordedPictures(std::span<const uint8_t> rmp);

// How many of a recording's pictures decode with the VOL of its header.
int DecodableRecordedPictures(std::span<const uint8_t> rmp);

// Makes the QCoreApplication the owner thread's event loop needs.
void EnsureApplication();
// Runs the owner thread's event loop until `done` or the time-out.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
// Points the registry at a fresh file under `dir` with the video folder set.
void UseVideoFolder(const std::string& dir, const std::string& video_folder);

}  // namespace vistrel::test
