// kaviroctl's local media commands end to end: disk images the emulator
// writes, record files, recordings made from the emulator's stream, and MP4
// files that FFmpeg's own tools read back.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/ctl_commands.h"
#include "client/media/engine/local_recording.h"
#include "client/media/engine/media_playback.h"
#include "client/media/engine/testing/media_test_support.h"
#include "tools/dvremu/disk_image.h"
#include "tools/dvremu/dvr_emulator.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace kaviroctl {
namespace {

namespace fs = std::filesystem;

// The output of a shell command, or nothing when it fails.
std::optional<std::string> Output(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  return pclose(pipe) == 0 ? std::optional(text) : std::nullopt;
}

class MediaCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    vistrel::test::EnsureApplication();
    dir_ = media::test::TestFolder();
    unsetenv("KAVIRO_DISKS");
    unsetenv("KAVIRO_CDROMS");
  }
  void TearDown() override {
    unsetenv("KAVIRO_DISKS");
    unsetenv("KAVIRO_CDROMS");
    fs::remove_all(dir_);
  }
  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    return RunCommand(args, out_, err_);
  }
  std::vector<QImage> Pictures(const std::string& folder, int channels) {
    std::vector<QImage> images;
    for (int channel = 1; channel <= channels; ++channel) {
      char name[24];
      std::snprintf(name, sizeof name, "ch%02d.png", channel);
      images.emplace_back(QString::fromStdString(folder + "/" + name));
      EXPECT_EQ(images.back().size(), QSize(352, 240)) << name;
    }
    for (size_t a = 0; a < images.size(); ++a) {
      for (size_t b = a + 1; b < images.size(); ++b) EXPECT_NE(images[a], images[b]) << a << " " << b;
    }
    return images;
  }
  std::string Amg() {
    auto bytes = media::test::RecordFileBytes(3);
    for (uint8_t b : {42, 0, 0, 0, 1}) bytes.push_back(b);
    const std::string path = dir_ + "/202612091405.amg";
    media::test::WriteFile(path, bytes);
    return path;
  }

  std::string dir_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(MediaCommands, DiskImageFromTheEmulatorIsListedAndPlayed) {
  dvremu::Recordings recordings;
  std::tm now{};
  now.tm_year = 126;
  now.tm_mon = 11;
  now.tm_mday = 9;
  now.tm_hour = 18;
  recordings.Generate(7, now, 2, media::test::Video());
  const std::string image = dir_ + "/dvr.img";
  std::string error;
  ASSERT_TRUE(dvremu::WriteDiskImage(image, media::test::Video(), recordings, 2, &error)) << error;

  ASSERT_EQ(Run({"disk", "--image", image}), 0) << err_.str();
  std::istringstream lines(out_.str());
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "File Index\tFile Name\tYear\tMonth\tDay\tHour\tEvent\tStart Address\tSize(Sector)\tVideo Mode");
  int rows = 0;
  while (std::getline(lines, line)) ++rows;
  EXPECT_EQ(rows, static_cast<int>(recordings.files().size()));

  const auto& file = recordings.files().back();
  ASSERT_EQ(Run({"disk", "--play", std::to_string(file.index), "--image", image, "--out", dir_ + "/disk"}), 0)
      << err_.str();
  Pictures(dir_ + "/disk", 4);
  EXPECT_EQ(Run({"disk", "--play", "9999", "--image", image, "--out", dir_ + "/none"}),
            static_cast<int>(Outcome::kFailed));

  EXPECT_EQ(Run({"disk", "--image", dir_ + "/missing.img"}), static_cast<int>(Outcome::kNoDisk));
  EXPECT_EQ(err_.str(), "kaviroctl: Can not find Removable hard disk drive !!!\n");
  EXPECT_EQ(Run({"disk", "--play", "1"}), static_cast<int>(Outcome::kUsage)) << "--play needs --out";
}

TEST_F(MediaCommands, BackupCdImageShowsItsRecordingAndPlays) {
  dvremu::Recordings recordings;
  std::tm now{};
  now.tm_year = 126;
  now.tm_mon = 11;
  now.tm_mday = 9;
  now.tm_hour = 18;
  recordings.Generate(7, now, 1, media::test::Video());
  const std::string image = dir_ + "/backup.iso";
  std::string error;
  ASSERT_TRUE(dvremu::WriteCdImage(image, media::test::Video(), recordings, 2, &error)) << error;
  const auto& file = recordings.files().front();

  ASSERT_EQ(Run({"cd", "--image", image}), 0) << err_.str();
  char expected[96];
  const int end = file.start_in_hour_s() + 2;
  std::snprintf(expected, sizeof expected, "time %02d:%02d:%02d-%02d:%02d:%02d\nsize 0MB\ndate %04d-%02d-%02d\n",
                file.hour, file.start_minute, file.start_second, file.hour, end / 60, end % 60, file.year, file.month,
                file.day);
  EXPECT_EQ(out_.str(), expected);

  // The data from block 1 is a record file the players decode.
  media::LoadedRecording loaded;
  std::ifstream header(image, std::ios::binary);
  std::vector<uint8_t> block(2048);
  header.read(reinterpret_cast<char*>(block.data()), 2048);
  const uint32_t sectors = block[15] | block[16] << 8 | block[17] << 16 | static_cast<uint32_t>(block[18]) << 24;
  ASSERT_TRUE(media::LoadDiskFile(image, 4, sectors, true, &loaded, &error)) << error;
  EXPECT_FALSE(loaded.media.pictures.empty());

  // A data CD: no header in block 0.
  media::test::WriteFile(dir_ + "/data.iso", std::vector<uint8_t>(4096, 'x'));
  EXPECT_EQ(Run({"cd", "--image", dir_ + "/data.iso"}), static_cast<int>(Outcome::kNoDisk));
  EXPECT_EQ(err_.str(),
            "kaviroctl: [CDROM-Player] No match Veldmark backup CD!\nkaviroctl: Can not find Backup CD !!!\n");
  EXPECT_EQ(Run({"cd", "--out", dir_}), static_cast<int>(Outcome::kUsage));
}

TEST_F(MediaCommands, PlayFileWritesTheFirstPictureOfEachChannel) {
  ASSERT_EQ(Run({"play-file", Amg(), "--out", dir_ + "/amg"}), 0) << err_.str();
  Pictures(dir_ + "/amg", 4);
  media::test::WriteFile(dir_ + "/notes.txt", {1, 2, 3});
  EXPECT_EQ(Run({"play-file", dir_ + "/notes.txt", "--out", dir_ + "/x"}), static_cast<int>(Outcome::kFailed));
  media::test::WriteFile(dir_ + "/broken.amg", {'T', 'O', 'L', 'V', 'A', 2, 0xFF, 0xFF});
  EXPECT_EQ(Run({"play-file", dir_ + "/broken.amg", "--out", dir_ + "/x"}), static_cast<int>(Outcome::kFailed));
  EXPECT_EQ(Run({"play-file", "--out", dir_}), static_cast<int>(Outcome::kUsage));
}

// Recorded from the emulator's stream, then played: the first pictures are
// the stream's, and reverse and frame-back show what forward play showed.
TEST_F(MediaCommands, RecordingFromTheEmulatorPlaysInTheLocalPlayer) {
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  auto dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr);
  const std::string port = std::to_string(dvr->command_port());
  ASSERT_EQ(Run({"snapshot", "--password", "1234", "--port", port, "--out", dir_ + "/live"}), 0) << err_.str();
  ASSERT_EQ(Run({"record", "--password", "1234", "--port", port, "--seconds", "3", "--out", dir_ + "/rec"}), 0)
      << err_.str();
  dvr->Stop();
  std::string rmp;
  for (const auto& entry : fs::recursive_directory_iterator(dir_ + "/rec")) {
    if (entry.path().filename() == "000.rmp") rmp = entry.path().string();
  }
  ASSERT_FALSE(rmp.empty());

  ASSERT_EQ(Run({"play-file", rmp, "--out", dir_ + "/played"}), 0) << err_.str();
  const auto played = Pictures(dir_ + "/played", 4);
  const auto live = Pictures(dir_ + "/live", 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(played[i], live[i]) << "channel " << i + 1;

  struct Sums final : vistrel::IFrameSink {
    int32_t DrawPicture(int slot, const vistrel::PlanarPicture& picture, std::string_view) override {
      uint64_t sum = 0;
      for (int row = 0; row < picture.height; ++row) {
        for (int x = 0; x < picture.width; ++x) sum = sum * 31 + picture.y[row * picture.y_pitch + x];
      }
      last[slot] = sum;
      return 0;
    }
    std::map<int, uint64_t> last;
  } sums;
  vistrel::SteadyPlaybackClock clock;
  media::MediaPlayback playback(clock, &sums);
  media::LoadedRecording loaded;
  std::string error;
  ASSERT_TRUE(media::LoadLocalFile(rmp, &loaded, &error)) << error;
  ASSERT_GE(loaded.media.frame_count(), 45u);
  ASSERT_TRUE(playback.Open(std::move(loaded.media), std::move(loaded.sources), 30));
  std::map<size_t, uint64_t> forward;
  for (size_t frame = 0; frame < 45; ++frame) {
    playback.SetMode(media::PlayMode::kFrameForward);
    forward[frame] = sums.last[1];
  }
  for (size_t frame = 43; frame >= 25; --frame) {
    playback.SetMode(media::PlayMode::kFrameBack);
    ASSERT_EQ(playback.frame(), frame);
    EXPECT_EQ(sums.last[1], forward[frame]) << "frame " << frame;
  }
  playback.SetMode(media::PlayMode::kReverse);
  EXPECT_EQ(playback.RunDue(), 1);
  EXPECT_EQ(playback.frame(), 0u);
  EXPECT_EQ(sums.last[1], forward[0]);
}

TEST_F(MediaCommands, ExportedClipReadsBackWithItsDurationSizeAndStart) {
  if (!Output("ffprobe -version >/dev/null 2>&1 && echo ok")) GTEST_SKIP() << "ffprobe is not installed";
  setenv("TZ", "UTC", 1);
  tzset();
  const std::string amg = Amg();
  const std::string clip = dir_ + "/clip.mp4";
  ASSERT_EQ(Run({"export", amg, "--out", clip, "--channel", "2"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), clip + ": channel 2, 90 pictures 352x240, 3.000 s from 2026-12-09 14:05:00\n");
  const auto probe = Output(
      "ffprobe -v error -show_entries format=duration:format_tags=creation_time:stream="
      "codec_name,width,height,nb_frames -of default=nw=1 '" +
      clip + "'");
  ASSERT_TRUE(probe);
  EXPECT_NE(probe->find("codec_name=mpeg4"), std::string::npos) << *probe;
  EXPECT_NE(probe->find("width=352\nheight=240"), std::string::npos) << *probe;
  EXPECT_NE(probe->find("nb_frames=90"), std::string::npos) << *probe;
  EXPECT_NE(probe->find("duration=3.000000"), std::string::npos) << *probe;
  EXPECT_NE(probe->find("TAG:creation_time=2026-12-09T14:05:00.000000Z"), std::string::npos) << *probe;

  // Its first picture is the source's, as far as two colour conversions agree.
  ASSERT_EQ(Run({"play-file", amg, "--out", dir_ + "/src"}), 0);
  const QImage source(QString::fromStdString(dir_ + "/src/ch02.png"));
  const auto rgb = Output("ffmpeg -v error -i '" + clip + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
  ASSERT_TRUE(rgb);
  ASSERT_EQ(rgb->size(), 352u * 240 * 3);
  const QImage first = source.convertToFormat(QImage::Format_RGB888);
  double difference = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 352 * 3; ++x) {
      difference += std::abs(first.constScanLine(y)[x] - static_cast<uint8_t>((*rgb)[(y * 352 * 3) + x]));
    }
  }
  EXPECT_LT(difference / (352.0 * 240 * 3), 6.0);

  EXPECT_EQ(Run({"export", amg, "--out", dir_ + "/none.mp4", "--channel", "9"}), static_cast<int>(Outcome::kFailed));
  EXPECT_FALSE(fs::exists(dir_ + "/none.mp4"));
  EXPECT_EQ(Run({"export", "--out", clip}), static_cast<int>(Outcome::kUsage));
}

TEST_F(MediaCommands, AFailedExportIntoADeviceLeavesTheDeviceInPlace) {
  // Every write to /dev/full fails; the unfinished clip is removed only when
  // it is a file of its own, never the device node.
  struct stat before {};
  ASSERT_EQ(stat("/dev/full", &before), 0);
  ASSERT_TRUE(S_ISCHR(before.st_mode));
  EXPECT_EQ(Run({"export", Amg(), "--out", "/dev/full"}), static_cast<int>(Outcome::kFailed));
  struct stat after {};
  ASSERT_EQ(stat("/dev/full", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_rdev, before.st_rdev);
}

}  // namespace
}  // namespace kaviroctl
