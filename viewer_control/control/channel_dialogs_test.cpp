// The two channel dialogs acting on a decoder channel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QSlider>

#include "viewer_control/control/adjust_color_dialog.h"
#include "viewer_control/control/channel_setting_dialog.h"
#include "viewer_control/control/post_processor.h"
#include "viewer_control/engine/decoder_channel.h"

namespace vistrel {
namespace {

// The application comes from gui_test_environment.cpp.
void EnsureGuiApplication() { ASSERT_NE(QApplication::instance(), nullptr); }

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    channel.Bind(4);
  }
  DecoderChannel channel;
};

TEST(GammaMapping, PositionsAndValues) {
  EXPECT_DOUBLE_EQ(GammaFromPosition(0), 1.0);
  EXPECT_NEAR(GammaFromPosition(127), 10.0, 1e-9);
  EXPECT_NEAR(GammaFromPosition(-128), 0.0984, 1e-3);
  EXPECT_EQ(PositionFromGamma(1.0), 0);
  EXPECT_EQ(PositionFromGamma(10.0), 127);
  EXPECT_EQ(PositionFromGamma(GammaFromPosition(50)), 50);
  EXPECT_EQ(PositionFromGamma(GammaFromPosition(-50)), -49);  // integer part, toward zero
  EXPECT_EQ(PositionFromGamma(0.0), 0);
}

TEST_F(DialogTest, AdjustColourAppliesEveryMoveAndResets) {
  AdjustColorDialog dialog(channel, nullptr);
  EXPECT_EQ(dialog.value_label(AdjustColorDialog::kGamma)->text(), "1.00");
  EXPECT_EQ(dialog.value_label(AdjustColorDialog::kTint)->text(), "0");
  dialog.bar(AdjustColorDialog::kGamma)->setValue(127);
  EXPECT_EQ(dialog.value_label(AdjustColorDialog::kGamma)->text(), "10.00");
  EXPECT_NEAR(channel.colour().gamma, 10.0, 1e-9);
  dialog.bar(AdjustColorDialog::kBrightness)->setValue(-20);
  dialog.bar(AdjustColorDialog::kSaturation)->setValue(64);
  EXPECT_EQ(channel.colour().brightness, -20);
  EXPECT_EQ(channel.colour().saturation, 64);
  EXPECT_NEAR(channel.colour().gamma, 10.0, 1e-9);  // all five go together
  EXPECT_EQ(dialog.value_label(AdjustColorDialog::kBrightness)->text(), "-20");

  dialog.Reset();
  EXPECT_TRUE(channel.colour().neutral());
  EXPECT_EQ(dialog.value_label(AdjustColorDialog::kGamma)->text(), "1.00");
  EXPECT_EQ(dialog.value_label(AdjustColorDialog::kSaturation)->text(), "0");
  EXPECT_EQ(dialog.bar(AdjustColorDialog::kSaturation)->value(), 0);
}

TEST_F(DialogTest, CancelRestoresTheColoursTheDialogOpenedWith) {
  ColourSettings before;
  before.gamma = GammaFromPosition(30);
  before.contrast = 12;
  before.tint = -7;
  channel.SetColour(before);
  AdjustColorDialog dialog(channel, nullptr);
  EXPECT_EQ(dialog.bar(AdjustColorDialog::kGamma)->value(), 30);
  EXPECT_EQ(dialog.bar(AdjustColorDialog::kContrast)->value(), 12);
  dialog.bar(AdjustColorDialog::kContrast)->setValue(100);
  dialog.bar(AdjustColorDialog::kTint)->setValue(50);
  EXPECT_EQ(channel.colour().contrast, 100);
  dialog.reject();
  EXPECT_EQ(channel.colour().contrast, 12);
  EXPECT_EQ(channel.colour().tint, -7);
  EXPECT_DOUBLE_EQ(channel.colour().gamma, before.gamma);
}

TEST_F(DialogTest, ChannelSettingShowsAndStoresPostProcessingFlags) {
  channel.SetPostProcessing(kDeblockY | kDeringUV);
  {
    ChannelSettingDialog dialog(channel, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Channel 5 Setting...");
    EXPECT_EQ(dialog.resolution_text(), "0 x 0");
    EXPECT_TRUE(dialog.box(0)->isChecked());
    EXPECT_FALSE(dialog.box(1)->isChecked());
    EXPECT_TRUE(dialog.box(3)->isChecked());
    dialog.box(1)->setChecked(true);
    dialog.box(3)->setChecked(false);
    dialog.reject();
    EXPECT_EQ(channel.post_processing(), kDeblockY | kDeringUV);
  }
  ChannelSettingDialog dialog(channel, nullptr);
  dialog.box(1)->setChecked(true);
  dialog.box(0)->setChecked(false);
  dialog.accept();
  EXPECT_EQ(channel.post_processing(), kDeblockUV | kDeringUV);
}

}  // namespace
}  // namespace vistrel
