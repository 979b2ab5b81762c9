#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStandardItemModel>

#include <gtest/gtest.h>

#include "client/shell/settings_keys.h"
#include "client/shell/setup_dialog.h"
#include "client/shell/testing/shell_test_support.h"
#include "client/shell/window_scale.h"
#include "platform/registry.h"

namespace shell {
namespace {

std::string Value(const char* key, const char* name) {
  return platform::RegistryKey::Open(key)->ReadString(name).value_or("<none>");
}

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    platform::RegistryKey::Open(kLocalSettingKey)->WriteString(kModemValue, "USB Modem");
    platform::RegistryKey::Open(kLocalSettingKey)->WriteString(kBuzzerPathValue, "/tmp/alarm.wav");
  }
  testing::ScratchRegistry registry_;
  COperatorDialogs dialogs_;
};

TEST_F(SetupDialogTest, OkWithoutChangesRewritesTheSameValues) {
  const std::string video = Value(kVideoPathKey, kSavePathValue);
  const std::string image = Value(kImagePathKey, kSavePathValue);
  CSetupDialog dialog(nullptr, dialogs_, {"ttyS0 Modem", "USB Modem", "usb modem"});
  EXPECT_EQ(dialog.windowTitle(), "Kaviro - Setup");
  EXPECT_EQ(dialog.modem_combo()->currentText(), "USB Modem");  // exact comparison
  dialog.OnOk();
  EXPECT_EQ(Value(kLocalSettingKey, kModemValue), "USB Modem");
  EXPECT_EQ(Value(kVideoPathKey, kSavePathValue), video);
  EXPECT_EQ(Value(kImagePathKey, kSavePathValue), image);
  EXPECT_EQ(Value(kLocalSettingKey, kBuzzerPathValue), "/tmp/alarm.wav");
}

TEST_F(SetupDialogTest, TheScaleReadsAsOneHundredWhenAbsentAndStaysAbsentUntilChanged) {
  CSetupDialog dialog(nullptr, dialogs_, {});
  EXPECT_EQ(dialog.scale_combo()->currentText(), "100 %");
  // The test screen is 800 x 600: no larger window would fit on it.
  const auto* model = qobject_cast<QStandardItemModel*>(dialog.scale_combo()->model());
  ASSERT_NE(model, nullptr);
  EXPECT_FALSE(model->item(2)->isEnabled());
  dialog.OnOk();
  EXPECT_FALSE(platform::RegistryKey::Open(kLocalSettingKey)->ReadNumber(kScaleValue));

  CSetupDialog again(nullptr, dialogs_, {});
  again.scale_combo()->setCurrentIndex(again.scale_combo()->findText("200 %"));
  again.OnOk();
  EXPECT_EQ(ReadWindowScale(), 200);
}

TEST_F(SetupDialogTest, EventLogTimesAreShownUntilTurnedOffAndCancelKeepsTheChoice) {
  const auto key = platform::RegistryKey::Open(kLocalSettingKey);
  {
    CSetupDialog dialog(nullptr, dialogs_, {});
    EXPECT_TRUE(dialog.log_times_check()->isChecked());  // no value stored yet
    dialog.log_times_check()->setChecked(false);
    dialog.OnOk();
  }
  EXPECT_EQ(key->ReadNumber(kEventLogTimeValue), 0u);
  {
    CSetupDialog dialog(nullptr, dialogs_, {});
    EXPECT_FALSE(dialog.log_times_check()->isChecked());
    dialog.log_times_check()->setChecked(true);
    dialog.reject();
  }
  EXPECT_EQ(key->ReadNumber(kEventLogTimeValue), 0u);
}

TEST_F(SetupDialogTest, NoModemsLeavesTheModemAndClearedEditsStoreEmptyTexts) {
  CSetupDialog dialog(nullptr, dialogs_, {});
  EXPECT_EQ(dialog.modem_combo()->count(), 0);
  dialog.image_edit()->clear();
  dialog.OnOk();
  EXPECT_EQ(Value(kLocalSettingKey, kModemValue), "USB Modem");
  EXPECT_EQ(Value(kImagePathKey, kSavePathValue), "");
}

TEST_F(SetupDialogTest, UnknownStoredModemSelectsTheFirst) {
  platform::RegistryKey::Open(kLocalSettingKey)->WriteString(kModemValue, "gone");
  CSetupDialog dialog(nullptr, dialogs_, {"first", "second"});
  EXPECT_EQ(dialog.modem_combo()->currentIndex(), 0);
}

TEST_F(SetupDialogTest, WaveFileMustEndInLowerCaseWav) {
  CSetupDialog dialog(nullptr, dialogs_, {});
  std::string answer = "/sounds/ALARM.WAV";
  dialogs_.SetChooserHook([&](const std::string&) { return std::optional<std::string>(answer); });
  dialog.OnBrowseWave();
  EXPECT_EQ(dialog.wave_edit()->text(), "/tmp/alarm.wav");
  answer = "/sounds/alarm.wav";
  dialog.OnBrowseWave();
  EXPECT_EQ(dialog.wave_edit()->text(), "/sounds/alarm.wav");
}

TEST_F(SetupDialogTest, FolderBrowserAppendsASeparatorAndCancelChangesNothing) {
  CSetupDialog dialog(nullptr, dialogs_, {});
  std::string title;
  dialogs_.SetChooserHook([&](const std::string& asked) {
    title = asked;
    return std::optional<std::string>("/srv/video");
  });
  dialog.OnBrowseVideo();
  EXPECT_EQ(title, "Video record file save folder path !!!");
  EXPECT_EQ(dialog.video_edit()->text(), "/srv/video/");
  dialogs_.SetChooserHook([](const std::string&) { return std::optional<std::string>(); });
  dialog.OnBrowseImage();
  EXPECT_NE(dialog.image_edit()->text(), "");
}

TEST_F(SetupDialogTest, CancelWritesNothing) {
  CSetupDialog dialog(nullptr, dialogs_, {"x"});
  dialog.wave_edit()->setText("/changed.wav");
  dialog.reject();
  EXPECT_EQ(Value(kLocalSettingKey, kBuzzerPathValue), "/tmp/alarm.wav");
}

}  // namespace
}  // namespace shell
