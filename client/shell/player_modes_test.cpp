// Modes 3 and 4 through the real main window: the local player on a file
// chosen in its browser, the removable player on a disk image the emulator
// wrote, their buttons, events and failure paths.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QTreeView>

#include <cstdlib>
#include <filesystem>

#include "client/media/engine/testing/media_test_support.h"
#include "client/shell/bitmap_slider.h"
#include "client/shell/event_log.h"
#include "client/shell/hover_button.h"
#include "client/shell/local_player.h"
#include "client/shell/removable_player.h"
#include "client/shell/search_widgets.h"
#include "client/shell/select_device_dialog.h"
#include "client/shell/testing/window_fixture.h"
#include "client/shell/time_to_time_dialog.h"
#include "platform/registry.h"
#include "platform/settings_keys.h"
#include "platform/trace.h"
#include "tools/dvremu/disk_image.h"

namespace shell {
namespace {

using enum ControlId;
namespace fs = std::filesystem;

bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < timeout_ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

class PlayerModes : public testing::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    dir_ = media::test::TestFolder();
  }
  void TearDown() override {
    window_->SetMode(ViewerMode::kIdle);
    window_->SetViewer(ViewerMode::kLocalPlayer, nullptr);
    window_->SetViewer(ViewerMode::kRemovablePlayer, nullptr);
    local_.reset();
    removable_.reset();
    unsetenv("KAVIRO_DISKS");
    unsetenv("KAVIRO_CDROMS");
    WindowFixture::TearDown();
    fs::remove_all(dir_);
  }
  void AnswerSelectDevice(int answer) {
    window_->dialogs().SetDialogHook([answer](QDialog& dialog) {
      if (dynamic_cast<CSelectDeviceDialog*>(&dialog) != nullptr) return answer;
      if (auto* time = dynamic_cast<CTimeToTimeDialog*>(&dialog)) {
        time->minutes()->setCurrentIndex(0);
        time->PressPlayback();
        return CTimeToTimeDialog::kPlayback;
      }
      return 0;
    });
  }
  // With $KAVIRO_PLAYER_SCREENSHOTS set, the window as it stands, into that folder.
  void SaveShot(const char* name) {
    const char* folder = std::getenv("KAVIRO_PLAYER_SCREENSHOTS");
    if (folder == nullptr) return;
    PumpUntil([] { return false; }, 1500);
    QImage image = window_->screen()->grabWindow(window_->winId()).toImage();
    if (image.isNull()) image = window_->grab().toImage();
    const std::string path = std::string(folder) + "/" + name;
    EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG")) << path;
  }
  std::string WriteAmg(const std::string& folder) {
    fs::create_directories(folder);
    const std::string path = folder + "/202612091405.amg";
    media::test::WriteFile(path, media::test::RecordFileBytes(3));
    return path;
  }

  std::string dir_;
  std::unique_ptr<CLocalPlayer> local_;
  std::unique_ptr<CRemovablePlayer> removable_;
};

TEST_F(PlayerModes, LocalPlayerPlaysTheFileChosenInItsBrowser) {
  local_ = std::make_unique<CLocalPlayer>(*window_);
  window_->SetViewer(ViewerMode::kLocalPlayer, local_.get());
  const std::string folder = dir_ + "/clips";
  const std::string amg = WriteAmg(folder);
  media::test::WriteFile(folder + "/notes.AMG", {1});
  media::test::WriteFile(folder + "/000.rmpx", {1});
  fs::create_directories(folder + "/older");

  window_->OnCommand(kLocalMode);
  EXPECT_EQ(window_->windowTitle(), "Kaviro - Local Mpeg Player");
  EXPECT_EQ(local_->control()->geometry(), QRect(112, 20, 694, 521));
  EXPECT_TRUE(local_->control()->isVisible());
  EXPECT_TRUE(local_->browser()->isVisible());
  EXPECT_FALSE(window_->calendar()->isVisible());

  window_->OnCommand(kFileSelect);
  ASSERT_TRUE(BoxWith("To select a record file"));

  local_->browser()->ShowFolder(QString::fromStdString(folder));
  QTreeWidget* list = local_->browser()->list();
  ASSERT_EQ(list->topLevelItemCount(), 2) << "the folder and the .amg only";
  EXPECT_EQ(list->topLevelItem(0)->text(0), "older");
  EXPECT_EQ(list->topLevelItem(1)->text(1), "2026-12-09");
  EXPECT_EQ(list->topLevelItem(1)->text(2), "14:05");
  EXPECT_EQ(list->topLevelItem(1)->text(3), "0MB");
  list->topLevelItem(1)->setSelected(true);
  EXPECT_EQ(local_->browser()->chosen_path().toStdString(), amg);

  window_->OnCommand(kFileSelect);
  ASSERT_TRUE(local_->ready());
  EXPECT_EQ(local_->channel_count(), 4);
  EXPECT_EQ(local_->channel_selection(), media::kQuadLow) << "a 4-channel file shows in 4CH";
  EXPECT_TRUE(window_->IsButtonEnabled(CameraButton(3)));
  EXPECT_FALSE(window_->IsButtonEnabled(CameraButton(4)));
  EXPECT_FALSE(window_->IsButtonEnabled(kRecord));

  // Channel buttons of a 4-channel file: 5 (count + 1) keeps the layout, 7 shows channel 1.
  window_->OnCommand(CameraButton(4));
  EXPECT_EQ(local_->channel_selection(), media::kQuadLow);
  window_->OnCommand(CameraButton(6));
  EXPECT_EQ(local_->channel_selection(), 1);
  EXPECT_TRUE(HasLogLine("[EVENT] Ch.1 1X1 Align Mode"));
  window_->OnCommand(kLayout8Ch);
  EXPECT_EQ(local_->channel_selection(), 1) << "8CH does nothing for a 4-channel file";

  // Speed and record only in forward x1; record not in fast forward.
  window_->OnCommand(kSpeedUp);
  EXPECT_EQ(local_->speed_index(), 3);
  window_->OnCommand(kFastForward);
  EXPECT_TRUE(HasLogLine("[EVENT] Fast Forward play"));
  window_->OnCommand(kRecord);
  EXPECT_FALSE(local_->recording());
  window_->OnCommand(kPlay);
  EXPECT_EQ(local_->play_mode(), HostPlayMode::kForward);
  window_->OnCommand(kSpeedUp);
  EXPECT_EQ(local_->speed_index(), 4);
  EXPECT_TRUE(HasLogLine("[EVENT] Play Speed x2"));
  window_->OnCommand(kSpeedUp);
  EXPECT_EQ(local_->speed_index(), 4) << "no speed above x2";
  for (int i = 0; i < 5; ++i) window_->OnCommand(kSpeedDown);
  EXPECT_EQ(local_->speed_index(), 0);
  EXPECT_TRUE(HasLogLine("[EVENT] Play Speed x1/8"));
  // The picture names the players' own steps, not the search mode's x1 .. x16.
  EXPECT_EQ(window_->speed_picture()->index(), 0);
  EXPECT_TRUE(window_->speed_picture()->player_speeds());
  EXPECT_EQ(local_->control()->playback().mode(), media::PlayMode::kForward);

  // Rotation steps the single channel and stops on a layout button.
  platform::TraceCapture traces;
  window_->OnCommand(kRotation);
  EXPECT_TRUE(local_->rotating());
  EXPECT_TRUE(traces.Contains("[LOCAL PLAYER] Channel Rotation Start..."));
  local_->RotationTick();
  EXPECT_EQ(local_->channel_selection(), 2);
  window_->OnCommand(kLayout4Ch);
  EXPECT_FALSE(local_->rotating());
  window_->OnCommand(kRotation);
  local_->RotationTick();
  EXPECT_TRUE(traces.Contains("[LOCAL PLAYER] Rotation Quad channel 9"));

  window_->OnCommand(kPlay);
  SaveShot("kaviro-local-player.png");
  window_->OnCommand(kStop);
  EXPECT_FALSE(local_->rotating());
  EXPECT_EQ(local_->play_mode(), HostPlayMode::kStopped);

  window_->OnCommand(kClose);
  EXPECT_FALSE(local_->control()->isVisible());
  EXPECT_FALSE(local_->browser()->isVisible());
  EXPECT_FALSE(local_->control()->playback().is_open()) << "leaving resets the control";
  EXPECT_EQ(local_->channel_count(), 0);
}

TEST_F(PlayerModes, LocalPlayerShowsAnAlertForAFileThatDoesNotPlay) {
  local_ = std::make_unique<CLocalPlayer>(*window_);
  window_->SetViewer(ViewerMode::kLocalPlayer, local_.get());
  const std::string folder = dir_ + "/bad";
  fs::create_directories(folder);
  media::test::WriteFile(folder + "/202612091405.amg", {'T', 'O', 'L', 'V', 'A'});
  window_->OnCommand(kLocalMode);
  local_->browser()->ShowFolder(QString::fromStdString(folder));
  local_->browser()->list()->topLevelItem(0)->setSelected(true);
  platform::TraceCapture traces;
  window_->OnCommand(kFileSelect);
  EXPECT_FALSE(local_->ready());
  EXPECT_TRUE(traces.Contains("[LOCAL PLAYER] File open error !!!"));
  ASSERT_TRUE(HasLogLine("[ALERT] The selected file is not playing."));
  const auto lines = window_->event_log()->Lines();
  EXPECT_EQ(lines.back().colour, QColor(255, 0, 0)) << "in red";
}

// Recording what is played: only in forward x1; a recording the control
// cannot start leaves the button released.
TEST_F(PlayerModes, LocalPlayerRecordsOnlyWhatItCanWrite) {
  local_ = std::make_unique<CLocalPlayer>(*window_);
  window_->SetViewer(ViewerMode::kLocalPlayer, local_.get());
  const std::string amg = WriteAmg(dir_ + "/clips");
  window_->OnCommand(kLocalMode);
  local_->browser()->ShowFolder(QString::fromStdString(dir_ + "/clips"));
  local_->browser()->list()->topLevelItem(0)->setSelected(true);
  window_->OnCommand(kFileSelect);
  ASSERT_TRUE(local_->ready());
  window_->OnCommand(kPlay);

  auto video_key = platform::RegistryKey::Create(platform::settings::kVideoPathKey);
  ASSERT_TRUE(video_key);
  video_key->WriteString(platform::settings::kSavePathValue, "/proc/no-such-folder");
  platform::TraceCapture traces;
  window_->OnCommand(kRecord);
  EXPECT_FALSE(local_->recording());
  EXPECT_TRUE(traces.Contains("[LOCAL PLAYER] Recording error !!!"));
  EXPECT_FALSE(window_->button(kRecord)->latched());

  video_key->WriteString(platform::settings::kSavePathValue, dir_ + "/video");
  window_->OnCommand(kRecord);
  ASSERT_TRUE(local_->recording());
  EXPECT_TRUE(traces.Contains("[LOCAL PLAYER] File Recording Start..."));
  EXPECT_TRUE(HasLogLine("[EVENT] File Recording Start..."));
  const auto marks = [&] { return local_->control()->video_layout().recording; };
  EXPECT_TRUE(marks()[0] && marks()[15]) << "every cell carries the REC mark";
  EXPECT_FALSE(window_->IsButtonEnabled(kFastForward));
  window_->OnCommand(kFastForward);
  EXPECT_EQ(local_->play_mode(), HostPlayMode::kForward) << "recording allows no other direction";
  window_->OnCommand(kStop);
  EXPECT_FALSE(local_->recording());
  EXPECT_TRUE(HasLogLine("[EVENT] File Recording Stop..."));
  EXPECT_FALSE(marks()[0]);
  EXPECT_TRUE(window_->IsButtonEnabled(kFastForward));
  int recorded = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir_ + "/video"))
    recorded += entry.path().extension() == ".rmp";
  EXPECT_EQ(recorded, 4);
}

TEST_F(PlayerModes, LocalPlayerExportsAFileOrSaysWhyNot) {
  local_ = std::make_unique<CLocalPlayer>(*window_);
  window_->SetViewer(ViewerMode::kLocalPlayer, local_.get());
  window_->OnCommand(kLocalMode);
  QString clip;
  ASSERT_TRUE(local_->ExportFile(QString::fromStdString(WriteAmg(dir_ + "/x")), &clip));
  EXPECT_GT(fs::file_size(clip.toStdString()), 1000u);
  EXPECT_TRUE(HasLogLine("[EVENT] Exported " + clip.toStdString()));
  media::test::WriteFile(dir_ + "/x/empty.rmp", {'P', 'L', 'A', 'Y'});
  EXPECT_FALSE(local_->ExportFile(QString::fromStdString(dir_ + "/x/empty.rmp"), &clip));
  EXPECT_TRUE(BoxWith("Export failed: "));
  EXPECT_FALSE(fs::exists(clip.toStdString()));
}

TEST_F(PlayerModes, RemovablePlayerListsTheDiskAndPlaysAFile) {
  removable_ = std::make_unique<CRemovablePlayer>(*window_);
  window_->SetViewer(ViewerMode::kRemovablePlayer, removable_.get());
  dvremu::Recordings recordings;
  const QDate today = QDate::currentDate();
  std::tm now{};
  now.tm_year = today.year() - 1900;
  now.tm_mon = today.month() - 1;
  now.tm_mday = today.day();
  now.tm_hour = 23;
  recordings.Generate(5, now, 1, media::test::Video());
  ASSERT_FALSE(recordings.files().empty());
  const std::string image = dir_ + "/dvr.img";
  std::string error;
  ASSERT_TRUE(dvremu::WriteDiskImage(image, media::test::Video(), recordings, 125, &error)) << error;

  // No disk: the box, and the mode is left.
  setenv("KAVIRO_DISKS", (dir_ + "/none.img").c_str(), 1);
  setenv("KAVIRO_CDROMS", (dir_ + "/none.iso").c_str(), 1);
  AnswerSelectDevice(CSelectDeviceDialog::kHardDisk);
  window_->OnCommand(kRemovableMode);
  EXPECT_TRUE(BoxWith("Can not find Removable hard disk drive !!!"));
  EXPECT_EQ(window_->mode(), ViewerMode::kIdle);
  AnswerSelectDevice(CSelectDeviceDialog::kCompactDisk);
  window_->OnCommand(kRemovableMode);
  EXPECT_TRUE(BoxWith("Can not find Backup CD !!!"));
  EXPECT_EQ(window_->mode(), ViewerMode::kIdle);

  setenv("KAVIRO_DISKS", image.c_str(), 1);
  AnswerSelectDevice(CSelectDeviceDialog::kHardDisk);
  window_->OnCommand(kRemovableMode);
  ASSERT_EQ(window_->mode(), ViewerMode::kRemovablePlayer);
  EXPECT_EQ(window_->windowTitle(), "Kaviro - Removable Mpeg player");
  EXPECT_EQ(removable_->disk().RowCount(), static_cast<int>(recordings.files().size()));
  EXPECT_EQ(window_->calendar()->bold_days(), 1u << (today.day() - 1));

  window_->calendar()->setSelectedDate(today);
  window_->OnCommand(kMonthCalendar);
  ASSERT_EQ(window_->file_list()->rows(), static_cast<int>(recordings.files().size()));
  const auto first = window_->file_list()->Row(0);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->file_index, std::to_string(recordings.files().front().index));
  EXPECT_EQ(first->events, "");

  window_->file_list()->SelectRow(0);
  window_->OnCommand(kFileSelect);
  ASSERT_TRUE(removable_->ready());
  const auto& file = recordings.files().front();
  EXPECT_EQ(removable_->jump_low(), file.start_minute * 60 + 60);
  EXPECT_EQ(removable_->channel_selection(), media::kAllEight);
  EXPECT_TRUE(window_->IsButtonEnabled(kPlay));

  window_->OnCommand(kPlay);
  ASSERT_TRUE(PumpUntil([&] { return window_->slider()->pos() > 0; }));
  EXPECT_GE(window_->slider()->pos(), file.start_in_hour_s());
  SaveShot("kaviro-removable-player.png");

  // Jumps strictly inside the range only.
  platform::TraceCapture traces;
  removable_->OnSliderSeek(removable_->jump_low());
  EXPECT_FALSE(traces.Contains("[REMOVABLEPLAYER] Jump position " + std::to_string(removable_->jump_low())));
  const int inside = removable_->jump_low() + 1;
  if (inside < removable_->jump_high()) {
    removable_->OnSliderSeek(inside);
    EXPECT_TRUE(traces.Contains("[REMOVABLEPLAYER] Jump position " + std::to_string(inside)));
  }

  window_->OnCommand(kTimeSelect);
  EXPECT_TRUE(HasLogLine("[EVENT] Time to time Playback"));

  QString clip;
  ASSERT_TRUE(removable_->ExportRow(dir_, &clip));
  EXPECT_GT(fs::file_size(clip.toStdString()), 1000u);
  EXPECT_TRUE(HasLogLine("[EVENT] Exported " + clip.toStdString()));

  window_->OnCommand(kClose);
  EXPECT_EQ(removable_->disk().RowCount(), 0) << "leaving empties the index table";
  EXPECT_FALSE(removable_->control()->playback().is_open());
}

TEST_F(PlayerModes, RemovablePlayerListsTheBackupCdAndPlaysIt) {
  removable_ = std::make_unique<CRemovablePlayer>(*window_);
  window_->SetViewer(ViewerMode::kRemovablePlayer, removable_.get());
  dvremu::Recordings recordings;
  const QDate today = QDate::currentDate();
  std::tm now{};
  now.tm_year = today.year() - 1900;
  now.tm_mon = today.month() - 1;
  now.tm_mday = today.day();
  now.tm_hour = 23;
  recordings.Generate(5, now, 1, media::test::Video());
  ASSERT_FALSE(recordings.files().empty());
  const std::string image = dir_ + "/backup.iso";
  std::string error;
  ASSERT_TRUE(dvremu::WriteCdImage(image, media::test::Video(), recordings, 125, &error)) << error;
  // A DVR disk for the hard-disk path: the CD must not be read from it.
  setenv("KAVIRO_DISKS", (dir_ + "/none.img").c_str(), 1);
  setenv("KAVIRO_CDROMS", image.c_str(), 1);

  AnswerSelectDevice(CSelectDeviceDialog::kCompactDisk);
  window_->OnCommand(kRemovableMode);
  ASSERT_EQ(window_->mode(), ViewerMode::kRemovablePlayer);
  ASSERT_TRUE(removable_->cd_mode());
  EXPECT_EQ(window_->calendar()->bold_days(), 1u << (today.day() - 1));
  EXPECT_FALSE(window_->button(kTimeSelect)->isVisibleTo(window_.get()));

  window_->calendar()->setSelectedDate(today);
  window_->OnCommand(kMonthCalendar);
  ASSERT_EQ(window_->file_list()->rows(), 1);
  const auto& file = recordings.files().front();
  const auto row = window_->file_list()->Row(0);
  ASSERT_TRUE(row);
  char time_text[32];
  const int end = std::min(3599, file.start_in_hour_s() + std::min(125, file.duration_s));
  std::snprintf(time_text, sizeof time_text, "%02d:%02d:%02d-%02d:%02d:%02d", file.hour, file.start_minute,
                file.start_second, file.hour, end / 60, end % 60);
  EXPECT_EQ(row->time, time_text);

  window_->file_list()->SelectRow(0);
  window_->OnCommand(kFileSelect);
  ASSERT_TRUE(removable_->ready());
  window_->OnCommand(kPlay);
  ASSERT_TRUE(PumpUntil([&] { return window_->slider()->pos() > 0; }));
  EXPECT_GE(window_->slider()->pos(), file.start_in_hour_s());

  window_->OnCommand(kClose);
  EXPECT_FALSE(removable_->cd_mode());
  // The hard disk, chosen next, has its Time Select again.
  const std::string disk = dir_ + "/dvr.img";
  ASSERT_TRUE(dvremu::WriteDiskImage(disk, media::test::Video(), recordings, 1, &error)) << error;
  setenv("KAVIRO_DISKS", disk.c_str(), 1);
  AnswerSelectDevice(CSelectDeviceDialog::kHardDisk);
  window_->OnCommand(kRemovableMode);
  ASSERT_EQ(window_->mode(), ViewerMode::kRemovablePlayer);
  EXPECT_TRUE(window_->button(kTimeSelect)->isVisibleTo(window_.get()));
}

}  // namespace
}  // namespace shell
