#include "tools/dvremu/recordings.h"

#include "protocol/byte_reader.h"

#include <algorithm>
#include <cstring>
#include <random>

#include "protocol/packet_header.h"
#include "protocol/payload.h"
#include "protocol/stream_codes.h"

namespace dvremu {
namespace {

constexpr size_t kPacketOverhead = protocol::kHeaderSize + kUserDataSize;
constexpr int kSecondsPerDay = 86400;

// Dates are kept as naive local times: timegm/gmtime_r do the calendar
// arithmetic without any time zone getting in the way.
std::tm NaiveTime(int64_t seconds) {
  const time_t value = static_cast<time_t>(seconds);
  std::tm out{};
  gmtime_r(&value, &out);
  return out;
}

int64_t NaiveSeconds(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return static_cast<int64_t>(timegm(&t));
}

char EventLetter(uint32_t draw) {
  static constexpr char kLetters[] = {'C', 'M', 'S', '_'};
  return kLetters[draw % 4];
}

uint64_t BytesPerFrame(const VideoSource& video) {
  uint64_t bytes = 0;
  for (int channel = 1; channel <= video.format().channels; ++channel) {
    bytes += video.loop_bytes(channel) / kGroupLength + kPacketOverhead;
  }
  return bytes;
}

}  // namespace

std::tm RecordFile::TimeAt(int64_t offset_s) const {
  return NaiveTime(NaiveSeconds(year, month, day, hour, start_minute, start_second) + offset_s);
}

void Recordings::Generate(uint32_t seed, const std::tm& now, int days, const VideoSource& video) {
  files_.clear();
  const int64_t today = NaiveSeconds(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, 0, 0, 0);
  const uint64_t bytes_per_second = BytesPerFrame(video) * static_cast<uint64_t>(video.format().fps);
  uint32_t next_index = 1;
  for (int back = days - 1; back >= 0; --back) {
    const std::tm date = NaiveTime(today - static_cast<int64_t>(back) * kSecondsPerDay);
    const bool is_today = back == 0;
    // One generator per day, so that a day's files do not depend on how many
    // days are generated before it.
    std::mt19937 random(seed * 2654435761u + static_cast<uint32_t>(date.tm_year * 400 + date.tm_yday));
    // Yesterday always holds a finished file of two minutes or more, so that
    // a client finds one to play whatever the date.
    const bool is_yesterday = back == 1;
    if (!is_today && random() % 10 >= 7 && !is_yesterday) continue;
    const int last_hour = is_today ? now.tm_hour : 24;
    std::vector<int> hours;
    const int wanted = 2 + static_cast<int>(random() % 4);
    for (int attempt = 0; attempt < 40 && static_cast<int>(hours.size()) < wanted && last_hour > 0; ++attempt) {
      const int hour = static_cast<int>(random() % static_cast<uint32_t>(last_hour));
      if (std::find(hours.begin(), hours.end(), hour) == hours.end()) hours.push_back(hour);
    }
    std::sort(hours.begin(), hours.end());
    auto add = [&](int hour, int minute, int second, int duration, bool recording) {
      RecordFile file;
      file.index = next_index++;
      file.year = date.tm_year + 1900;
      file.month = date.tm_mon + 1;
      file.day = date.tm_mday;
      file.hour = hour;
      file.start_minute = minute;
      file.start_second = second;
      file.duration_s = duration;
      file.still_recording = recording;
      for (char& letter : file.events) letter = EventLetter(random());
      file.events[0] = 'C';
      const uint64_t bytes = bytes_per_second * static_cast<uint64_t>(duration);
      file.size_mb = static_cast<uint32_t>(std::min<uint64_t>(9999, (bytes + (1u << 20) - 1) >> 20));
      files_.push_back(file);
    };
    for (int hour : hours) {
      const int minute = static_cast<int>(random() % 30);
      const int second = static_cast<int>(random() % 60);
      int duration = 60 + static_cast<int>(random() % 660);
      if (is_yesterday && hour == hours.front()) duration = std::max(duration, 120);
      add(hour, minute, second, duration, false);
    }
    if (is_today) {
      // Recording since a little before now, within the current hour.
      const int minute = std::max(0, now.tm_min - 2);
      const int elapsed = (now.tm_min - minute) * 60 + now.tm_sec;
      add(now.tm_hour, minute, 0, std::max(30, elapsed), true);
    }
  }
}

uint32_t Recordings::MonthMask(int year, int month) const {
  uint32_t mask = 0;
  for (const auto& file : files_) {
    if (file.year == year && file.month == month) mask |= 1u << (file.day - 1);
  }
  return mask;
}

std::vector<const RecordFile*> Recordings::Day(int year, int month, int day) const {
  std::vector<const RecordFile*> out;
  for (const auto& file : files_) {
    if (file.year == year && file.month == month && file.day == day) out.push_back(&file);
  }
  return out;
}

const RecordFile* Recordings::Find(uint32_t index) const {
  for (const auto& file : files_) {
    if (file.index == index) return &file;
  }
  return nullptr;
}

std::vector<uint8_t> BuildFileRecord(const RecordFile& file) {
  protocol::PayloadWriter out;
  out.u32le(file.index);
  // Bytes 4-6 are not read by the client; they carry the file's date.
  out.bcd(file.year % 100).bcd(file.month).bcd(file.day);
  out.bcd(file.hour);
  out.bcd(file.start_minute).bcd(file.start_second);
  const int end = file.end_in_hour_s();
  out.bcd(end / 60).bcd(end % 60);
  for (char letter : file.events) out.u8(static_cast<uint8_t>(letter));
  char size[8] = {};
  std::snprintf(size, sizeof size, "%u", std::min<uint32_t>(file.size_mb, 9999));
  for (int i = 0; i < 4; ++i) out.u8(static_cast<uint8_t>(size[i]));
  return out.take();
}

Stretch StretchOf(const RecordFile& file, int fps, int start_minute, int start_second, int end_minute, int end_second) {
  const int64_t file_start = file.start_in_hour_s();
  int64_t from = std::clamp<int64_t>(start_minute * 60 + start_second - file_start, 0, file.duration_s);
  int64_t to = end_minute == 0 && end_second == 0
                   ? file.duration_s
                   : std::clamp<int64_t>(end_minute * 60 + end_second - file_start, 0, file.duration_s);
  Stretch stretch;
  // Start on a group boundary so that the first picture is an I picture.
  stretch.first_frame = from * fps / kGroupLength * kGroupLength;
  stretch.end_frame = to * fps;
  if (stretch.end_frame <= stretch.first_frame) stretch = {};
  return stretch;
}

RecordFileStream::RecordFileStream(const VideoSource& video, const RecordFile& file, Stretch stretch)
    : video_(video), file_(file), stretch_(stretch), frame_(stretch.first_frame) {
  total_size_ = protocol::kHeaderSize + kVolHeaderSize;
  const int64_t frames = stretch.end_frame - stretch.first_frame;
  const int64_t loops = frames / kGroupLength;
  const int64_t rest = frames % kGroupLength;
  for (int channel = 1; channel <= video.format().channels; ++channel) {
    total_size_ += static_cast<uint64_t>(loops) * (video.loop_bytes(channel) + kGroupLength * kPacketOverhead);
    for (int64_t i = 0; i < rest; ++i) {
      total_size_ += video.picture(channel, static_cast<int>(i)).size() + kPacketOverhead;
    }
  }
}

void RecordFileStream::NextPacket() {
  pending_.clear();
  pending_offset_ = 0;
  if (channel_ == 0) {
    const auto& vol = video_.vol_header();
    const auto header =
        protocol::BuildHeader(protocol::PortKind::kStream, kVolHeaderSize, protocol::stream::RECORD_VIDEO_DATA);
    pending_.insert(pending_.end(), header.begin(), header.end());
    pending_.insert(pending_.end(), vol.begin(), vol.end());
    channel_ = 1;
    return;
  }
  if (frame_ >= stretch_.end_frame) return;
  const int fps = video_.format().fps;
  const int number = static_cast<int>(frame_ % kGroupLength);
  BuildPicturePayload(video_, channel_, number, number, file_.TimeAt(frame_ / fps), &scratch_);
  const auto header = protocol::BuildHeader(protocol::PortKind::kStream, static_cast<uint16_t>(scratch_.size()),
                                            protocol::stream::RECORD_VIDEO_DATA);
  pending_.insert(pending_.end(), header.begin(), header.end());
  pending_.insert(pending_.end(), scratch_.begin(), scratch_.end());
  if (++channel_ > video_.format().channels) {
    channel_ = 1;
    ++frame_;
  }
}

void RecordFileStream::Read(size_t max, std::vector<uint8_t>* out) {
  out->clear();
  while (out->size() < max && !done()) {
    if (pending_offset_ >= pending_.size()) {
      NextPacket();
      if (pending_.empty()) break;
    }
    const size_t take = std::min(max - out->size(), pending_.size() - pending_offset_);
    out->insert(out->end(), pending_.begin() + static_cast<long>(pending_offset_),
                pending_.begin() + static_cast<long>(pending_offset_ + take));
    pending_offset_ += take;
    produced_ += take;
  }
}

std::vector<uint8_t> RecordFileStream::InformationBlock() const {
  protocol::PayloadWriter out;
  out.raw(reinterpret_cast<const uint8_t*>("KVRF"), 4);
  out.u32le(file_.index);
  out.u8(static_cast<uint8_t>(video_.format().channels));
  out.u8(static_cast<uint8_t>(video_.format().fps));
  out.u16le(static_cast<uint16_t>(video_.format().width));
  out.u16le(static_cast<uint16_t>(video_.format().height));
  const int fps = video_.format().fps;
  const std::tm first = file_.TimeAt(stretch_.first_frame / fps);
  const std::tm last = file_.TimeAt(stretch_.end_frame / fps);
  out.bcd(first.tm_mon + 1).bcd(first.tm_mday).bcd(first.tm_year % 100).bcd(first.tm_hour);
  out.bcd(first.tm_min).bcd(first.tm_sec).bcd(last.tm_min).bcd(last.tm_sec);
  out.u32le(static_cast<uint32_t>(total_size_));
  const auto& vol = video_.vol_header();
  out.raw(vol.data(), vol.size());
  out.u32le(static_cast<uint32_t>((stretch_.end_frame - stretch_.first_frame) * video_.format().channels));
  out.u8(1);  // byte 49: format version
  std::vector<uint8_t> block = out.take();
  block.resize(64, 0);
  return block;
}

std::optional<StretchRequest> FindRequestedStretch(const Recordings& recordings, int fps,
                                                   std::span<const uint8_t> payload) {
  protocol::ByteReader reader(payload);
  reader.u8();
  const uint32_t index = reader.u32le();
  reader.skip(4);  // month, day, year, hour: the index names the file
  const int start_minute = reader.bcd();
  const int start_second = reader.bcd();
  const int end_minute = reader.bcd();
  const int end_second = reader.bcd();
  const RecordFile* file = reader.ok() ? recordings.Find(index) : nullptr;
  if (file == nullptr) return std::nullopt;
  const Stretch stretch = StretchOf(*file, fps, start_minute, start_second, end_minute, end_second);
  if (stretch.end_frame == 0) return std::nullopt;
  return StretchRequest{file, stretch};
}

}  // namespace dvremu
