// The recorder of one stream channel: while recording is on, each picture
// packet of the channel is appended to an .rmp file ("LIVE" or "PLAY", the
// 19-byte VOL header, then the pictures from the first I picture on) and the
// byte size of every completed group of pictures to an .rmg file (7-byte
// records 01 B2 <channel> <size, u32 little-endian>).
//
// A write that fails (disk full) is cut back to the last whole picture or
// record, traced, and ends this channel's recording; the files keep what was
// written before, and failure() says which file and why.
//
// A recorder opened before the stream's VOL packet keeps the header's VOL
// bytes zero until TakeVol writes them; no picture is recorded before that,
// so every picture in a file can be decoded with the header in front of it.
//
// Threads: none of its own. The stream session serialises Open/Close (owner
// thread) against WritePicture (receive thread) with its recorder lock.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>

namespace vistrel {

inline constexpr size_t kVolHeaderSize = 19;
using VolHeader = std::array<uint8_t, kVolHeaderSize>;

// The folder of a recording started at `now`: the configured video folder,
// then "YYYYMMDDhhmmss/". Nothing when the key cannot be opened or names no folder.
std::optional<std::string> RecordFolderName(const std::tm& now);

// Why a recording could not start or stopped: the file or folder concerned
// (empty when no video folder is configured) and the system's error number
// (0 when there was nothing to record).
struct RecordingFailure {
  std::string path;
  int error = 0;

  // "<path>: <the system's text for the error>", for boxes and logs.
  std::string Text() const;
};

// Makes the folder of a new recording: `folder` ("YYYYMMDDhhmmss/"), or when
// a recording started in the same second already holds it, the same name
// with "_2", "_3"... so that nothing already written is touched. Returns the
// folder made (ending with "/"), or the failure.
std::optional<std::string> MakeRecordFolder(const std::string& folder, RecordingFailure* failure);

class Mpeg4Recorder {
 public:
  Mpeg4Recorder() = default;
  ~Mpeg4Recorder() { Close(); }
  Mpeg4Recorder(const Mpeg4Recorder&) = delete;
  Mpeg4Recorder& operator=(const Mpeg4Recorder&) = delete;

  // Creates "0%02d.rmp" and "0%02d.rmg" for 0-based `channel` in `folder`
  // (which ends with "/") and writes the .rmp header, with the VOL when there
  // is one yet. False, with a trace line, when a file cannot be made; what was
  // made stays as it got.
  bool Open(int channel, const std::optional<VolHeader>& vol, const std::string& folder, bool live);
  // The stream's VOL, for a recorder opened before it came: written into the
  // header, and pictures are recorded from the next I picture on. Nothing
  // when closed or when the header has its VOL already. False on a failed write.
  bool TakeVol(const VolHeader& vol);
  void Close();
  // The whole packet payload of one picture. 1 when it was written, or held
  // back until the channel's first I picture, or when the recorder is closed;
  // 0 on failure.
  int WritePicture(std::span<const uint8_t> payload);

  bool is_open() const { return rmp_fd_ >= 0; }
  // Why the last Open or write failed; empty after a successful Open.
  const std::optional<RecordingFailure>& failure() const { return failure_; }
  const std::string& rmp_path() const { return rmp_path_; }
  const std::string& rmg_path() const { return rmg_path_; }

 private:
  // Appends all bytes or restores the file to its size before; false on failure.
  static bool Append(int fd, off_t* size, std::span<const uint8_t> bytes);
  void Failed(const std::string& path);
  void WriteFailed(const std::string& path);

  int rmp_fd_ = -1;
  int rmg_fd_ = -1;
  off_t rmp_size_ = 0;
  off_t rmg_size_ = 0;
  uint32_t group_bytes_ = 0;
  VolHeader vol_{};
  bool has_vol_ = false;
  int channel_ = 0;
  bool started_ = false;
  std::optional<RecordingFailure> failure_;
  std::string rmp_path_;
  std::string rmg_path_;
};

}  // namespace vistrel
