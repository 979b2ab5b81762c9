// Test support of the media readers: recordings in every format the players
// read, made from the emulator's encoded pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/dvremu/recordings.h"
#include "tools/dvremu/video_source.h"

namespace media::test {

// Four channels at 352 x 240, 30 pictures a second, encoded once.
const dvremu::VideoSource& Video();
// File 42 of 2026-12-09, 14:05:00, three seconds long.
const dvremu::RecordFile& File();
// A record file of the first `seconds` of File(): the VOL packet, then every
// frame's four pictures.
std::vector<uint8_t> RecordFileBytes(int seconds);
// An .rmp of one stream channel as the recorder writes it, and its .rmg.
void RmpBytes(int channel, int groups, std::vector<uint8_t>* rmp, std::vector<uint8_t>* rmg);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
// A fresh folder under the temporary one, named after the running test.
std::string TestFolder();

}  // namespace media::test
