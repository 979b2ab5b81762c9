#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>

#include <cstdlib>
#include <filesystem>

#include "client/media/engine/removable_disk.h"
#include "client/media/engine/testing/media_test_support.h"
#include "client/media/local_player_ctl.h"
#include "client/media/removable_player_ctl.h"
#include "tools/dvremu/disk_image.h"

namespace media {
namespace {

namespace fs = std::filesystem;

bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < timeout_ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

using EventList = std::vector<std::pair<int, int>>;

// The control's events as they are raised.
struct Recorded {
  explicit Recorded(CMediaPlayerCtl& control) {
    QObject::connect(&control, &CMediaPlayerCtl::PlayerEvent,
                     [this](int kind, int value) { events.emplace_back(kind, value); });
    QObject::connect(&control, &CMediaPlayerCtl::PositionEvent, [this](int second) { positions.push_back(second); });
  }
  EventList events;
  std::vector<int> positions;
};

bool ShowsVideo(CMediaPlayerCtl& control) {
  const QImage image = control.CaptureVideo();
  // The channel pictures are coloured; the background is grey.
  for (int y = 0; y < image.height(); y += 7) {
    for (int x = 0; x < image.width(); x += 7) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - c.green()) > 40 || std::abs(c.green() - c.blue()) > 40) return true;
    }
  }
  return false;
}

class Players : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test::TestFolder(); }
  void TearDown() override {
    unsetenv("KAVIRO_DISKS");
    fs::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(Players, LocalPlayerOpensPlaysAndLaysOutByItsDispatchTable) {
  auto bytes = test::RecordFileBytes(3);
  const std::string amg = dir_ + "/202612091405.amg";
  test::WriteFile(amg, bytes);
  CLocalPlayerCtl control;
  Recorded seen(control);
  EXPECT_EQ(control.size(), QSize(694, 521));

  EXPECT_EQ(control.Invoke(1, {42}), 0) << "a path is text";
  EXPECT_EQ(control.Invoke(1, {QString::fromStdString(dir_ + "/missing.amg")}), 0);
  EXPECT_EQ(seen.events, (EventList{{0, 0}, {0, 0}}));
  seen.events.clear();
  ASSERT_EQ(control.Invoke(1, {QString::fromStdString(amg)}), 1);
  EXPECT_EQ(seen.events, (EventList{{0, 1}, {15, 244}}));
  EXPECT_TRUE(PumpUntil([&] { return ShowsVideo(control); }));

  EXPECT_EQ(control.Invoke(2, {}), 0) << "no method 2 on the local player";
  EXPECT_EQ(control.Invoke(11, {12}), 0);
  EXPECT_EQ(control.Invoke(11, {1}), 1);
  EXPECT_EQ(control.channel_selection(), 1);
  EXPECT_EQ(control.Invoke(11, {kQuadHigh}), 1);

  EXPECT_EQ(control.Invoke(9, {}), 1);  // frame forward
  EXPECT_EQ(control.playback().frame(), 1u);
  EXPECT_EQ(control.Invoke(10, {}), 1);  // frame back
  EXPECT_EQ(control.playback().frame(), 0u);
  EXPECT_EQ(control.Invoke(14, {16}), 1);
  EXPECT_EQ(control.Invoke(3, {}), 1);
  EXPECT_EQ(control.playback().mode(), PlayMode::kForward);
  EXPECT_TRUE(PumpUntil([&] { return control.playback().frame() > 20u; }));
  EXPECT_EQ(control.Invoke(7, {}), 1);
  EXPECT_EQ(control.playback().mode(), PlayMode::kStopped);
  EXPECT_EQ(control.Invoke(12, {}), 1);
  EXPECT_FALSE(control.playback().is_open());
  EXPECT_EQ(control.Invoke(8, {}), 0) << "nothing to record after a reset";
}

TEST_F(Players, RemovablePlayerPlaysTheDescriptorsSectorsAndReportsPositions) {
  dvremu::Recordings recordings;
  std::tm now{};
  now.tm_year = 126;
  now.tm_mon = 11;
  now.tm_mday = 9;
  now.tm_hour = 18;
  recordings.Generate(3, now, 1, test::Video());
  const std::string image = dir_ + "/dvr.img";
  std::string error;
  ASSERT_TRUE(dvremu::WriteDiskImage(image, test::Video(), recordings, 4, &error)) << error;
  setenv("KAVIRO_DISKS", image.c_str(), 1);
  IndexTable table;
  CRemovableDisk disk;
  disk.AttachIndexTable(&table);
  ASSERT_TRUE(disk.OpenAndList());
  OpenDescriptor descriptor{.year = disk.Year(0) - 2000,
                            .month = disk.Month(0),
                            .day = disk.Day(0),
                            .hour = disk.Hour(0),
                            .start_sector = static_cast<uint32_t>(disk.StartAddress(0)),
                            .size_sectors = static_cast<uint32_t>(disk.Size(0)),
                            .ntsc = disk.VideoMode(0) == 1};
  const auto bytes = BuildOpenDescriptor(descriptor);
  const QByteArray variant(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  const auto read = ReadOpenDescriptor(bytes);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->size_sectors, descriptor.size_sectors);

  CRemovablePlayerCtl control;
  Recorded seen(control);
  EXPECT_EQ(control.Invoke(1, {variant.left(18)}), 0) << "a short descriptor";
  OpenDescriptor beyond = descriptor;
  beyond.start_sector = 1u << 30;
  const auto far = BuildOpenDescriptor(beyond);
  EXPECT_EQ(control.Invoke(1, {QByteArray(reinterpret_cast<const char*>(far.data()), 19)}), 0);
  ASSERT_EQ(control.Invoke(1, {variant}), 1);
  EXPECT_EQ(seen.events, (EventList{{0, 0}, {0, 0}, {0, 1}}));
  const int start = recordings.files().front().start_in_hour_s();
  ASSERT_TRUE(PumpUntil([&] { return !seen.positions.empty(); }));
  EXPECT_EQ(seen.positions.front(), start);

  EXPECT_EQ(control.Invoke(12, {start + 2}), 1);  // jump
  ASSERT_TRUE(PumpUntil([&] { return !seen.positions.empty() && seen.positions.back() == start + 2; }));
  EXPECT_EQ(control.Invoke(7, {}), 1);  // frame back on this control
  EXPECT_EQ(control.playback().mode(), PlayMode::kFrameBack);
  EXPECT_EQ(control.Invoke(13, {kAllEight}), 1);
  EXPECT_EQ(control.Invoke(14, {8}), 1);

  // Opened at a minute: the playback stands at the group of that minute.
  const int minute = start / 60;
  ASSERT_EQ(control.Invoke(2, {variant, minute}), 1);
  EXPECT_EQ(control.playback().frame(), 0u);
  EXPECT_EQ(control.Invoke(2, {variant, 60}), 0);
  EXPECT_EQ(control.Invoke(11, {}), 1);
  EXPECT_FALSE(control.playback().is_open());
}

}  // namespace
}  // namespace media
