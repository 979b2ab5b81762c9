// Opens what the players play: a downloaded record file (.amg, with its
// 5-byte trailer), our own recording (.rmp with its .rmg; the other channels
// recorded with it, 000.rmp to 015.rmp in the same folder, play along), or a
// file's sectors on a DVR disk (the record file format, zero-padded).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "client/media/engine/byte_source.h"
#include "client/media/engine/recorded_media.h"

namespace media {

struct LoadedRecording {
  RecordedMedia media;
  std::vector<std::unique_ptr<IByteSource>> sources;
  int pictures_per_second = 30;
};

// By the extension, exactly ".amg" or ".rmp"; false with a reason.
bool LoadLocalFile(const std::string& path, LoadedRecording* out, std::string* error);

// The file at `start_sector` of `size_sectors` on the disk at `disk_path`;
// `ntsc` false plays at PAL's 25 pictures a second.
bool LoadDiskFile(const std::string& disk_path, uint32_t start_sector, uint32_t size_sectors, bool ntsc,
                  LoadedRecording* out, std::string* error);

// 25 or 30: the pictures a recorded second of one channel holds.
int EstimatePicturesPerSecond(const RecordedMedia& media);

}  // namespace media
