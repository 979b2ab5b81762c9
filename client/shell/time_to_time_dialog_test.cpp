#include "client/shell/time_to_time_dialog.h"

#include <QComboBox>

#include <gtest/gtest.h>

#include "client/shell/operator_dialogs.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

// 2026-12-09, 10:15:20 to 10:20:40, as the search viewer gives a file's range.
constexpr CTimeToTimeDialog::Range kRow{0x12, 0x09, 0x26, 0x10, 0x15, 0x20, 0x20, 0x40};

QStringList Items(const QComboBox& combo) {
  QStringList items;
  for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
  return items;
}

class TimeToTimeDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
  COperatorDialogs dialogs_;
};

TEST_F(TimeToTimeDialogTest, ShowsTheFilesRangeAndOffersTheMinutesAfterItsStart) {
  CTimeToTimeDialog dialog(nullptr, kRow);
  EXPECT_EQ(dialog.windowTitle(), "Kaviro - Time to time playback");
  EXPECT_EQ(dialog.size(), QSize(597, 245));
  EXPECT_EQ(dialog.date_label()->text(), "2026/12/09");
  EXPECT_EQ(dialog.hour_label()->text(), "10");
  EXPECT_EQ(dialog.second_hour_label()->text(), "10");
  EXPECT_EQ(dialog.end_minute_label()->text(), "20");
  for (CColourLabel* label :
       {dialog.date_label(), dialog.hour_label(), dialog.second_hour_label(), dialog.end_minute_label()}) {
    EXPECT_EQ(label->colour(), QColor(206, 206, 206)) << label->text().toStdString();
  }
  EXPECT_EQ(dialog.date_label()->geometry(), QRect(278, 72, 100, 20));
  EXPECT_EQ(dialog.minutes()->geometry(), QRect(270, 129, 50, 20));
  // The start minute itself is where a plain file selection starts already.
  EXPECT_EQ(Items(*dialog.minutes()), QStringList({"16", "17", "18", "19", "20"}));
  EXPECT_EQ(dialog.minutes()->currentText(), "16");
}

TEST_F(TimeToTimeDialogTest, PlaybackGivesTheChosenMinuteAsBcdAndCancelGivesNothing) {
  dialogs_.SetDialogHook([](QDialog& shown) {
    auto& dialog = dynamic_cast<CTimeToTimeDialog&>(shown);
    dialog.minutes()->setCurrentIndex(dialog.minutes()->findText("19"));
    dialog.PressPlayback();
    return dialog.result();
  });
  EXPECT_EQ(AskStartMinute(dialogs_, nullptr, kRow), std::optional<int>(19));

  dialogs_.SetDialogHook([](QDialog& shown) {
    shown.reject();
    return shown.result();
  });
  EXPECT_EQ(AskStartMinute(dialogs_, nullptr, kRow), std::nullopt);

  EXPECT_EQ(CTimeToTimeDialog::StartMinuteByte("07"), std::optional<uint8_t>(0x07));
  EXPECT_EQ(CTimeToTimeDialog::StartMinuteByte(""), std::nullopt);
  EXPECT_EQ(CTimeToTimeDialog::StartMinuteByte("5"), std::nullopt);
  EXPECT_EQ(CTimeToTimeDialog::StartMinuteByte("a1"), std::nullopt);
}

TEST_F(TimeToTimeDialogTest, OnlyMinutesFromWhichSomethingIsLeftToPlayAreOffered) {
  // 10:15:00 to 10:15:50: no minute after the start; Playback cannot end the
  // dialog with an empty choice that would become a bogus start minute.
  CTimeToTimeDialog dialog(nullptr, {0x12, 0x09, 0x26, 0x10, 0x15, 0x00, 0x15, 0x50});
  EXPECT_EQ(dialog.minutes()->count(), 0);
  dialog.PressPlayback();
  EXPECT_NE(dialog.result(), CTimeToTimeDialog::kPlayback);
  EXPECT_TRUE(dialog.chosen().empty());

  // 10:15:40 to 10:20:10: from 10:20:40 nothing would be left to play.
  CTimeToTimeDialog late(nullptr, {0x12, 0x09, 0x26, 0x10, 0x15, 0x40, 0x20, 0x10});
  EXPECT_EQ(Items(*late.minutes()), QStringList({"16", "17", "18", "19"}));

  // A corrupt end minute does not run the list past the hour.
  CTimeToTimeDialog bad(nullptr, {0x12, 0x09, 0x26, 0x10, 0x55, 0x00, 0xFF, 0x00});
  EXPECT_EQ(Items(*bad.minutes()), QStringList({"56", "57", "58", "59"}));
}

}  // namespace
}  // namespace shell
