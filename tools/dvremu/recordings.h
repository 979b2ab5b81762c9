// The recordings the emulated DVR pretends to hold: a few months of days with
// several files each, generated deterministically from a seed, and the bytes
// of a record file (the format every part of the project shares, described
// in README.md) produced on demand from the encoded picture loops.
//
// Generate() runs once before any reader; afterwards Recordings is read-only.
// A RecordFileStream belongs to the one connection that reads it.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/dvremu/video_source.h"

namespace dvremu {

struct RecordFile {
  uint32_t index = 0;
  int year = 0;  // full year
  int month = 0;
  int day = 0;
  int hour = 0;
  int start_minute = 0;
  int start_second = 0;
  int duration_s = 0;            // what can be played, also for the file still recording
  bool still_recording = false;  // listed with its end equal to its start
  char events[4] = {'_', '_', '_', '_'};
  uint32_t size_mb = 0;

  int start_in_hour_s() const { return start_minute * 60 + start_second; }
  int end_in_hour_s() const { return still_recording ? start_in_hour_s() : start_in_hour_s() + duration_s; }
  // The local time of the file's start plus `offset_s` seconds.
  std::tm TimeAt(int64_t offset_s) const;
};

class Recordings {
 public:
  // Files for `days` days up to and including the day of `now`; the last file
  // of that day is still being recorded.
  void Generate(uint32_t seed, const std::tm& now, int days, const VideoSource& video);

  // Bit i set: day i + 1 of that month has files.
  uint32_t MonthMask(int year, int month) const;
  std::vector<const RecordFile*> Day(int year, int month, int day) const;
  const RecordFile* Find(uint32_t index) const;
  const std::vector<RecordFile>& files() const { return files_; }

 private:
  std::vector<RecordFile> files_;  // in time order
};

// The 20-byte file record of a day list.
std::vector<uint8_t> BuildFileRecord(const RecordFile& file);

// A stretch of a file in frames, from a group start, for download and playback.
struct Stretch {
  int64_t first_frame = 0;
  int64_t end_frame = 0;  // one past the last
};
// The stretch between two times within the file's hour (minute, second);
// an end of 0:00 means the end of the file. Empty when nothing is left.
Stretch StretchOf(const RecordFile& file, int fps, int start_minute, int start_second, int end_minute, int end_second);

// The file and stretch that a REQ_PLAYBACK or REQ_FILEDOWNLOAD payload asks
// for (sub-code, file index, month, day, year, hour, start and end minute and
// second); nothing when the payload is short, the file unknown or the
// stretch empty.
struct StretchRequest {
  const RecordFile* file;
  Stretch stretch;
};
std::optional<StretchRequest> FindRequestedStretch(const Recordings& recordings, int fps,
                                                   std::span<const uint8_t> payload);

// The bytes of a record file: the VOL packet, then per frame one picture
// packet per channel, each a stream-port packet as it went over the wire.
class RecordFileStream {
 public:
  RecordFileStream(const VideoSource& video, const RecordFile& file, Stretch stretch);

  uint64_t total_size() const { return total_size_; }
  uint64_t produced() const { return produced_; }
  bool done() const { return produced_ >= total_size_; }
  // Copies up to `max` next bytes into `out` (replacing its contents).
  void Read(size_t max, std::vector<uint8_t>* out);
  // The 64-byte information block sent before the data.
  std::vector<uint8_t> InformationBlock() const;

 private:
  void NextPacket();

  const VideoSource& video_;
  const RecordFile& file_;
  Stretch stretch_;
  uint64_t total_size_ = 0;
  uint64_t produced_ = 0;
  int64_t frame_ = 0;
  int channel_ = 0;  // 0 = the VOL packet is next
  std::vector<uint8_t> pending_;
  size_t pending_offset_ = 0;
  std::vector<uint8_t> scratch_;
};

}  // namespace dvremu
