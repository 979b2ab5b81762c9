#include "client/shell/file_download_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "client/shell/hover_button.h"
#include "client/shell/settings_keys.h"
#include "client/shell/testing/shell_test_support.h"
#include "platform/registry.h"
#include "protocol/payload.h"
#include "tools/dvremu/dvr_emulator.h"

namespace shell {
namespace {

using namespace std::chrono_literals;

QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

QStringList Range(int from, int to) {
  QStringList items;
  for (int i = from; i <= to; ++i) items << QString::asprintf("%02d", i);
  return items;
}

class FileDownloadDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    char pattern[] = "/tmp/kaviro-dialog-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    platform::RegistryKey::Open(kVideoPathKey)->WriteString(kSavePathValue, folder_ + "/video/");
    // A file of 10:15:20-10:18:05 on 2004-03-09.
    record_.year = 0x04;
    record_.month = 0x03;
    record_.day = 0x09;
    record_.hour = 0x10;
    record_.start_minute = 0x15;
    record_.start_second = 0x20;
    record_.end_minute = 0x18;
    record_.end_second = 0x05;
  }
  void TearDown() override {
    if (dvr_) dvr_->Stop();
    std::filesystem::remove_all(folder_);
  }

  testing::ScratchRegistry registry_;
  COperatorDialogs dialogs_;
  testing::BoxRecorder boxes_{dialogs_};
  sessions::FileDownloadRecord record_;
  std::string folder_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
};

TEST_F(FileDownloadDialogTest, ListsFollowTheFileAndAnEmptyRangeCannotStart) {
  CFileDownloadDialog dialog(nullptr, dialogs_, record_);
  EXPECT_EQ(dialog.windowTitle(), "Kaviro - File Download");
  EXPECT_EQ(dialog.size(), QSize(CFileDownloadDialog::kWidth, CFileDownloadDialog::kHeight));
  EXPECT_EQ(dialog.date_label()->text(), "2004/03/09");
  EXPECT_EQ(dialog.hour_label()->text(), "10");
  EXPECT_EQ(dialog.rate_label()->text(), "0 Kbps");
  EXPECT_EQ(Items(dialog.start_minute()), Range(15, 18));
  EXPECT_EQ(Items(dialog.end_minute()), Range(15, 18));
  // The first minute starts at the file's start second, the last ends at its end second.
  EXPECT_EQ(Items(dialog.start_second()), Range(20, 59));
  EXPECT_EQ(dialog.end_minute()->currentText(), "18");
  EXPECT_EQ(Items(dialog.end_second()), Range(0, 5));
  EXPECT_EQ(dialog.end_second()->currentText(), "05");
  dialog.start_minute()->setCurrentText("16");
  EXPECT_EQ(Items(dialog.start_second()), Range(0, 59));
  EXPECT_TRUE(dialog.start_button()->isEnabled());

  // 16:30 to 16:30 is no range; 16:30 to 16:31 is.
  dialog.start_second()->setCurrentText("30");
  dialog.end_minute()->setCurrentText("16");
  dialog.end_second()->setCurrentText("30");
  EXPECT_FALSE(dialog.start_button()->isEnabled());
  dialog.end_second()->setCurrentText("31");
  EXPECT_TRUE(dialog.start_button()->isEnabled());
  dialog.end_minute()->setCurrentText("15");  // before the start
  EXPECT_FALSE(dialog.start_button()->isEnabled());
}

TEST_F(FileDownloadDialogTest, RealDownloadShowsProgressAndClosesAtTheEnd) {
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  dvr_ = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr_);
  const dvremu::RecordFile* file = nullptr;
  for (const dvremu::RecordFile& candidate : dvr_->recordings().files()) {
    if (!candidate.still_recording && (file == nullptr || candidate.duration_s < file->duration_s)) file = &candidate;
  }
  ASSERT_NE(file, nullptr);
  using protocol::BcdFromNumber;
  sessions::FileDownloadRecord record;
  record.user_name = "admin";
  record.password = "1234";
  record.year = BcdFromNumber(file->year % 100);
  record.month = BcdFromNumber(file->month);
  record.day = BcdFromNumber(file->day);
  record.hour = BcdFromNumber(file->hour);
  const int end = file->start_in_hour_s() + file->duration_s;
  record.start_minute = BcdFromNumber(file->start_minute);
  record.start_second = BcdFromNumber(file->start_second);
  record.end_minute = BcdFromNumber(end / 60);
  record.end_second = BcdFromNumber(end % 60);
  record.address = "127.0.0.1";
  record.port = dvr_->file_port();
  record.file_index = file->index;

  CFileDownloadDialog dialog(nullptr, dialogs_, record);
  dialog.show();
  ASSERT_TRUE(dialog.start_button()->isEnabled());
  QTest::mouseClick(dialog.start_button(), Qt::LeftButton);
  EXPECT_TRUE(dialog.file_label()->text().startsWith(QString::fromStdString(folder_ + "/video/20")));
  EXPECT_TRUE(dialog.file_label()->text().endsWith(".amg"));
  ASSERT_TRUE(testing::PumpUntil([&] { return !dialog.isVisible(); }, 30s));
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.outcome(), sessions::DownloadOutcome::kComplete);
  EXPECT_EQ(boxes_.count(), 0u);
  EXPECT_TRUE(dialog.size_label()->text().endsWith(" KB")) << dialog.size_label()->text().toStdString();
  EXPECT_TRUE(dialog.rate_label()->text().endsWith(" Kbps"));
  EXPECT_GT(dialog.progress()->maximum(), 0);
  EXPECT_TRUE(dialog.start_minute()->isEnabled());
  // Every byte the DVR served, and the trailer.
  const dvremu::RecordFileStream served(
      dvr_->video(), *file,
      dvremu::StretchOf(*file, options.fps, file->start_minute, file->start_second, end / 60, end % 60));
  EXPECT_EQ(std::filesystem::file_size(dialog.file_label()->text().toStdString()),
            served.total_size() + sessions::CFileDownloadSession::kTrailerSize);
}

TEST_F(FileDownloadDialogTest, ConnectFailureShowsTheSocketErrorAndCloses) {
  record_.address = "127.0.0.1";
  record_.port = 1;  // nothing listens there
  CFileDownloadDialog dialog(nullptr, dialogs_, record_);
  dialog.show();
  QTest::mouseClick(dialog.start_button(), Qt::LeftButton);
  ASSERT_TRUE(testing::PumpUntil([&] { return !dialog.isVisible(); }, 10s));
  EXPECT_EQ(dialog.outcome(), sessions::DownloadOutcome::kConnectFailed);
  ASSERT_EQ(boxes_.count(), 1u);
  EXPECT_NE(boxes_.texts()[0].find("The attempt to connect was forcefully rejected."), std::string::npos);
  EXPECT_TRUE(dialog.start_button()->isEnabled());
}

}  // namespace
}  // namespace shell
