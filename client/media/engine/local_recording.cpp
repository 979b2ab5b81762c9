#include "client/media/engine/local_recording.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>

#include "client/media/engine/removable_disk.h"
#include "platform/trace.h"

namespace media {
namespace {

namespace fs = std::filesystem;

// An .rmg holds 7 bytes per group: this is hours of groups.
constexpr size_t kMaxGroupIndexBytes = 7 * 1024 * 1024;

bool EndsWith(const std::string& text, const char* suffix) {
  const std::string tail = suffix;
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool LoadRmp(const std::string& path, uint8_t id, RecordedMedia* media,
             std::vector<std::unique_ptr<IByteSource>>* sources, std::string* error) {
  auto source = FileByteSource::Open(path);
  if (!source) {
    *error = path + ": does not open";
    return false;
  }
  std::vector<uint8_t> rmg;
  const std::string rmg_path = path.substr(0, path.size() - 4) + ".rmg";
  if (fs::exists(rmg_path) && !ReadSmallFile(rmg_path, kMaxGroupIndexBytes, &rmg)) {
    Trace("[MEDIA READER] Group index %s not read", rmg_path.c_str());
    rmg.clear();
  }
  if (!ReadRmpFile(*source, rmg, id, media, error)) {
    *error = path + ": " + *error;
    return false;
  }
  sources->push_back(std::move(source));
  return true;
}

}  // namespace

int EstimatePicturesPerSecond(const RecordedMedia& media) {
  // Count the frames of the first second that is whole (the second one seen).
  std::map<int, int> frames_per_second;
  for (size_t frame = 0; frame < media.frame_count() && frames_per_second.size() < 3; ++frame) {
    ++frames_per_second[media.pictures[media.frame_begin(frame)].second_in_hour()];
  }
  if (frames_per_second.size() < 3) return 30;
  const int whole = std::next(frames_per_second.begin())->second;
  return whole <= 27 ? 25 : 30;
}

bool LoadLocalFile(const std::string& path, LoadedRecording* out, std::string* error) {
  *out = LoadedRecording{};
  if (EndsWith(path, ".amg")) {
    auto source = FileByteSource::Open(path);
    if (!source) {
      *error = path + ": does not open";
      return false;
    }
    if (!ReadRecordFile(*source, 0, &out->media, error)) {
      *error = path + ": " + *error;
      return false;
    }
    out->sources.push_back(std::move(source));
    out->pictures_per_second = EstimatePicturesPerSecond(out->media);
    return true;
  }
  if (!EndsWith(path, ".rmp")) {
    *error = path + ": neither an .amg nor an .rmp file";
    return false;
  }
  // 0NN.rmp: the recorder's file of one stream channel; its siblings hold the others.
  const fs::path chosen(path);
  const std::string name = chosen.filename().string();
  std::vector<std::string> paths{path};
  if (name.size() == 7 && name[0] == '0' && std::isdigit(static_cast<unsigned char>(name[1])) &&
      std::isdigit(static_cast<unsigned char>(name[2]))) {
    for (int channel = 0; channel < 16; ++channel) {
      char sibling[16];
      std::snprintf(sibling, sizeof sibling, "0%02d.rmp", channel);
      const fs::path other = chosen.parent_path() / sibling;
      if (other.filename() != chosen.filename() && fs::exists(other)) paths.push_back(other.string());
    }
  }
  std::vector<RecordedMedia> parts;
  for (const std::string& part_path : paths) {
    RecordedMedia part;
    std::string part_error;
    const uint8_t id = static_cast<uint8_t>(out->sources.size());
    if (LoadRmp(part_path, id, &part, &out->sources, &part_error)) {
      parts.push_back(std::move(part));
    } else if (part_path == path) {
      *error = part_error;
      return false;
    } else {
      Trace("[MEDIA READER] %s", part_error.c_str());
    }
  }
  out->media = parts.size() == 1 ? std::move(parts.front()) : MergeChannels(std::move(parts));
  out->pictures_per_second = EstimatePicturesPerSecond(out->media);
  return true;
}

bool LoadDiskFile(const std::string& disk_path, uint32_t start_sector, uint32_t size_sectors, bool ntsc,
                  LoadedRecording* out, std::string* error) {
  *out = LoadedRecording{};
  auto source = OpenDiskStretch(disk_path, start_sector, size_sectors, error);
  if (!source) return false;
  if (!ReadRecordFile(*source, 0, &out->media, error)) return false;
  out->sources.push_back(std::move(source));
  out->pictures_per_second = ntsc ? 30 : 25;
  return true;
}

}  // namespace media
