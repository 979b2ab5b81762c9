#include "client/media/engine/testing/media_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "protocol/payload.h"

namespace media::test {

const dvremu::VideoSource& Video() {
  static const dvremu::VideoSource video = [] {
    dvremu::VideoSource source;
    std::string error;
    if (!source.Encode({352, 240, 30, 4}, "TEST", &error)) ADD_FAILURE() << error;
    return source;
  }();
  return video;
}

const dvremu::RecordFile& File() {
  static const dvremu::RecordFile file = [] {
    dvremu::RecordFile f;
    f.index = 42;
    f.year = 2026;
    f.month = 12;
    f.day = 9;
    f.hour = 14;
    f.start_minute = 5;
    f.duration_s = 3;
    return f;
  }();
  return file;
}

std::vector<uint8_t> RecordFileBytes(int seconds) {
  dvremu::RecordFileStream stream(Video(), File(), {0, seconds * 30});
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> chunk;
  while (!stream.done()) {
    stream.Read(1 << 20, &chunk);
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  }
  return bytes;
}

void RmpBytes(int channel, int groups, std::vector<uint8_t>* rmp, std::vector<uint8_t>* rmg) {
  rmp->assign({'P', 'L', 'A', 'Y', 0});
  rmp->insert(rmp->end(), Video().vol_header().begin(), Video().vol_header().end());
  rmg->clear();
  std::vector<uint8_t> payload;
  uint32_t group_bytes = 0;
  for (int n = 0; n < groups * dvremu::kGroupLength; ++n) {
    const int number = n % dvremu::kGroupLength;
    if (number == 0 && group_bytes != 0) {
      protocol::PayloadWriter record;
      record.u8(0x01).u8(0xB2).u8(static_cast<uint8_t>(channel - 1)).u32le(group_bytes);
      const auto bytes = record.take();
      rmg->insert(rmg->end(), bytes.begin(), bytes.end());
      group_bytes = 0;
    }
    dvremu::BuildPicturePayload(Video(), channel, number, number, File().TimeAt(n / 30), &payload);
    rmp->insert(rmp->end(), payload.begin(), payload.end());
    group_bytes += static_cast<uint32_t>(payload.size());
  }
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string TestFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const auto dir = std::filesystem::temp_directory_path() /
                   ("kaviro_media_" + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" + info->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

}  // namespace media::test
