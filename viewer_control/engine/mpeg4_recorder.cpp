#include "viewer_control/engine/mpeg4_recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/registry.h"
#include "platform/settings_keys.h"
#include "platform/trace.h"
#include "viewer_control/engine/picture_user_data.h"

namespace vistrel {
namespace {

constexpr size_t kPictureNumberOffset = 7;
constexpr int kChannelLimit = 16;
constexpr off_t kMarkSize = 5;
// Recordings that may start in one second: one per session of every program
// recording into the same folder, with room to spare.
constexpr int kFoldersPerSecond = 99;

// Writes every byte at `offset`. False with errno set when it cannot; `done`
// tells how many bytes were written.
bool WriteAt(int fd, off_t offset, std::span<const uint8_t> bytes, size_t* done) {
  *done = 0;
  while (*done < bytes.size()) {
    const ssize_t n = pwrite(fd, bytes.data() + *done, bytes.size() - *done, offset + static_cast<off_t>(*done));
    if (n > 0) {
      *done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      if (n == 0) errno = ENOSPC;
      return false;
    }
  }
  return true;
}

}  // namespace

std::string RecordingFailure::Text() const {
  if (path.empty()) return "no video folder is set";
  if (error == 0) return path + ": no channel to record";
  return path + ": " + std::generic_category().message(error);
}

std::optional<std::string> MakeRecordFolder(const std::string& folder, RecordingFailure* failure) {
  std::string base = folder;
  while (!base.empty() && base.back() == '/') base.pop_back();
  const std::filesystem::path parent = std::filesystem::path(base).parent_path();
  std::error_code error;
  if (!parent.empty()) std::filesystem::create_directories(parent, error);
  if (error) {
    *failure = {parent.string() + "/", error.value()};
    return std::nullopt;
  }
  for (int number = 1; number <= kFoldersPerSecond; ++number) {
    const std::string name = number == 1 ? base : base + "_" + std::to_string(number);
    // mkdir fails for a folder that exists, also when another program made it just now.
    if (mkdir(name.c_str(), 0777) == 0) return name + "/";
    if (errno != EEXIST) {
      *failure = {name + "/", errno};
      return std::nullopt;
    }
  }
  *failure = {base + "/", EEXIST};
  return std::nullopt;
}

std::optional<std::string> RecordFolderName(const std::tm& now) {
  auto key = platform::RegistryKey::Open(platform::settings::kVideoPathKey);
  if (!key) return std::nullopt;
  std::string folder = key->ReadString(platform::settings::kSavePathValue).value_or("");
  // An empty path would put recordings wherever the program happens to run.
  if (folder.empty()) return std::nullopt;
  if (folder.back() != '/') folder += '/';
  char name[32];
  std::snprintf(name, sizeof name, "%04d%02d%02d%02d%02d%02d/", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                now.tm_hour, now.tm_min, now.tm_sec);
  return folder + name;
}

bool Mpeg4Recorder::Open(int channel, const std::optional<VolHeader>& vol, const std::string& folder, bool live) {
  Close();
  failure_.reset();
  if (folder.empty() || channel < 0 || channel >= kChannelLimit) return false;
  channel_ = channel;
  has_vol_ = vol.has_value();
  vol_ = vol.value_or(VolHeader{});
  char name[16];
  std::snprintf(name, sizeof name, "0%02d", channel);
  rmp_path_ = folder + name + ".rmp";
  rmg_path_ = folder + name + ".rmg";

  // The folder is new; a file that is there all the same is never written over.
  const int fd = open(rmp_path_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) {
    Failed(rmp_path_);
    Trace("[MPEG4 RECORDER] Channel: %d, RMP file create failed !!!", channel + 1);
    Close();
    return false;
  }
  rmp_fd_ = fd;
  rmp_size_ = 0;
  static constexpr uint8_t kLive[kMarkSize] = {'L', 'I', 'V', 'E', 0};
  static constexpr uint8_t kPlay[kMarkSize] = {'P', 'L', 'A', 'Y', 0};
  Append(rmp_fd_, &rmp_size_, live ? kLive : kPlay);
  if (rmp_size_ != kMarkSize || !Append(rmp_fd_, &rmp_size_, vol_)) {
    Failed(rmp_path_);
    Trace("[MPEG4 RECORDER] Channel: %d, RMP file mpeg4 vol header write failed !!!", channel + 1);
    Close();
    return false;
  }
  rmg_fd_ = open(rmg_path_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
  if (rmg_fd_ < 0) {
    Failed(rmg_path_);
    Trace("[MPEG4 RECORDER] Channel: %d, RMG file create failed !!!", channel + 1);
    Close();
    return false;
  }
  rmg_size_ = 0;
  return true;
}

bool Mpeg4Recorder::TakeVol(const VolHeader& vol) {
  if (rmp_fd_ < 0 || rmg_fd_ < 0 || has_vol_) return true;
  size_t done = 0;
  if (!WriteAt(rmp_fd_, kMarkSize, vol, &done)) {
    WriteFailed(rmp_path_);
    return false;
  }
  vol_ = vol;
  has_vol_ = true;
  return true;
}

void Mpeg4Recorder::Close() {
  if (rmp_fd_ >= 0) close(rmp_fd_);
  if (rmg_fd_ >= 0) close(rmg_fd_);
  rmp_fd_ = -1;
  rmg_fd_ = -1;
  rmp_size_ = 0;
  rmg_size_ = 0;
  group_bytes_ = 0;
  started_ = false;
  vol_ = {};
  has_vol_ = false;
  rmp_path_.clear();
  rmg_path_.clear();
}

bool Mpeg4Recorder::Append(int fd, off_t* size, std::span<const uint8_t> bytes) {
  size_t done = 0;
  if (WriteAt(fd, *size, bytes, &done)) {
    *size += static_cast<off_t>(done);
    return true;
  }
  const int error = errno;
  // A part of a picture is no picture: take it back off the end.
  if (done > 0 && ftruncate(fd, *size) != 0) {
    Trace("[MPEG4 RECORDER] file truncate failed, errno %d", errno);
  }
  errno = error;
  return false;
}

void Mpeg4Recorder::Failed(const std::string& path) { failure_ = RecordingFailure{path, errno}; }

void Mpeg4Recorder::WriteFailed(const std::string& path) {
  Failed(path);
  Trace("[MPEG4 RECORDER] MPEG4 Frame write error !!!");
  Close();
}

int Mpeg4Recorder::WritePicture(std::span<const uint8_t> payload) {
  // Before the VOL a picture could not be decoded from the file.
  if (rmp_fd_ < 0 || rmg_fd_ < 0 || !has_vol_) return 1;
  const size_t start = FindUserData(payload);
  if (start == payload.size() || payload.size() - start <= kPictureNumberOffset) {
    Trace("[MPEG4 RECORDER] Ch.%d Can't find MPEG-4 VOL (Video Object Layer) at Network packet.", channel_ + 1);
    return 0;
  }
  const std::span<const uint8_t> picture = payload.subspan(start);
  if (picture[kPictureNumberOffset] == 0) {
    Trace("[MPEG4 RECORDER] Ch.%d I frame Gop Size = %d, frame num = %d", channel_, static_cast<int>(group_bytes_), 0);
    if (group_bytes_ != 0) {
      const uint8_t record[7] = {0x01,
                                 0xB2,
                                 static_cast<uint8_t>(channel_),
                                 static_cast<uint8_t>(group_bytes_),
                                 static_cast<uint8_t>(group_bytes_ >> 8),
                                 static_cast<uint8_t>(group_bytes_ >> 16),
                                 static_cast<uint8_t>(group_bytes_ >> 24)};
      if (!Append(rmg_fd_, &rmg_size_, record)) {
        WriteFailed(rmg_path_);
        return 0;
      }
    }
    group_bytes_ = 0;
    started_ = true;
  }
  if (!started_) return 1;
  if (!Append(rmp_fd_, &rmp_size_, picture)) {
    WriteFailed(rmp_path_);
    return 0;
  }
  group_bytes_ += static_cast<uint32_t>(picture.size());
  return 1;
}

}  // namespace vistrel
