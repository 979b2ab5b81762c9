#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "client/shell/bitmap_slider.h"
#include "client/shell/hover_button.h"
#include "client/shell/select_device_dialog.h"
#include "client/shell/skin_artwork.h"
#include "client/shell/splash_screen.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

using Face = CHoverButton::Face;

class SkinTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
};

TEST_F(SkinTest, PicturesHaveTheirStatedSizes) {
  EXPECT_EQ(skin::Pixmap(skin::res::kMainBackground).size(), QSize(1024, 768));
  EXPECT_EQ(skin::Pixmap(skin::res::kSetupBackground).size(), QSize(597, 535));
  EXPECT_EQ(skin::Pixmap(skin::res::kAddressBookBackground).size(), QSize(751, 584));
  EXPECT_EQ(skin::Pixmap(skin::res::kPtzPresetBackground).size(), QSize(179, 146));
  EXPECT_EQ(skin::Pixmap(185).size(), QSize(68, 22));           // Connect
  EXPECT_EQ(skin::Pixmap(243).size(), QSize(273, 19));          // Ethernet selector
  EXPECT_EQ(skin::Pixmap(299 + 4 * 15).size(), QSize(30, 31));  // camera 16
  EXPECT_EQ(skin::Pixmap(skin::FacesOfControl(1000).normal).size(), QSize(83, 63));
  EXPECT_EQ(skin::Pixmap(skin::FacesOfControl(1097).hover).size(), QSize(74, 48));
  EXPECT_TRUE(skin::Pixmap(99999).isNull());
}

TEST_F(SkinTest, TheDeviceChoiceHasAHeaderOfItsOwn) {
  CSelectDeviceDialog device(nullptr);
  CAboutBox about(nullptr);
  ASSERT_EQ(device.size(), about.size());
  const QRect header(0, 0, device.width(), 40);
  EXPECT_NE(device.grab(header).toImage(), about.grab(header).toImage());
}

TEST_F(SkinTest, ButtonTakesItsNormalPictureSizeWithoutMoving) {
  CHoverButton button(nullptr, 1049);
  button.move(640, 726);
  button.SetBitmaps(185, 187, 186, 437);
  EXPECT_EQ(button.geometry(), QRect(640, 726, 68, 22));
}

TEST_F(SkinTest, FaceRulesInTheirOrder) {
  CHoverButton with_disabled(nullptr, 1);
  with_disabled.SetBitmaps(185, 187, 186, 437);
  CHoverButton without_disabled(nullptr, 2);
  without_disabled.SetBitmaps(185, 187, 186, 0);

  EXPECT_EQ(with_disabled.CurrentFace(), Face::kNormal);
  // Latched and enabled: the hover face even with the mouse elsewhere.
  with_disabled.SetLatched(true);
  EXPECT_EQ(with_disabled.CurrentFace(), Face::kHover);
  // Latched but disabled: the disabled face when there is one ...
  with_disabled.setEnabled(false);
  EXPECT_EQ(with_disabled.CurrentFace(), Face::kDisabled);
  // ... and the normal face when there is none.
  without_disabled.SetLatched(true);
  without_disabled.setEnabled(false);
  EXPECT_EQ(without_disabled.CurrentFace(), Face::kNormal);

  // Held down beats everything.
  with_disabled.setEnabled(true);
  with_disabled.setDown(true);
  EXPECT_EQ(with_disabled.CurrentFace(), Face::kPressed);
}

TEST_F(SkinTest, HoverFollowsTheMouseAndIsForgottenWhenDisabled) {
  CHoverButton button(nullptr, 1);
  button.SetBitmaps(185, 187, 186, 437);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(&button, &enter);
  EXPECT_TRUE(button.hovering());
  EXPECT_EQ(button.CurrentFace(), Face::kHover);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&button, &leave);
  EXPECT_EQ(button.CurrentFace(), Face::kNormal);
  QApplication::sendEvent(&button, &enter);
  button.setEnabled(false);
  EXPECT_EQ(button.CurrentFace(), Face::kDisabled);
}

TEST_F(SkinTest, TooltipComesFromTheStringTableAndEmptyMeansNone) {
  CHoverButton button(nullptr, 1000);
  button.SetTooltip(231, true);
  EXPECT_EQ(button.toolTip(), "Remote Live Viewer");
  CHoverButton bare(nullptr, 1);
  bare.SetTooltip(99999, true);
  EXPECT_TRUE(bare.toolTip().isEmpty());
}

class SliderTest : public SkinTest {
 protected:
  void SetUp() override {
    SkinTest::SetUp();
    slider_ = std::make_unique<CBitmapSlider>(nullptr, 1186);
    slider_->SetChannelBitmaps(skin::res::kSliderChannel, skin::res::kSliderChannelLit, false, 0, 0, 0);
    slider_->SetThumbBitmaps(skin::res::kSliderThumb, 0, true, CBitmapSlider::kKeyFromPixel, 0, 0);
    slider_->SetRange(0, 3600, false);
  }
  void Mouse(QEvent::Type type, int x) {
    QMouseEvent event(type, QPointF(x, 6), QPointF(x, 6), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slider_.get(), &event);
  }
  std::unique_ptr<CBitmapSlider> slider_;
};

TEST_F(SliderTest, GeometryFollowsTheFormula) {
  ASSERT_EQ(slider_->size(), QSize(688, 12));
  slider_->SetMargins(10, 0, 20, 0);
  // L + (p - min) / (max - min) * (W - R - w - L) + w / 2, truncated.
  EXPECT_EQ(slider_->CentreOf(0), 10 + 6);
  EXPECT_EQ(slider_->CentreOf(3600), 10 + (688 - 20 - 12 - 10) + 6);
  EXPECT_EQ(slider_->CentreOf(1800), static_cast<int>(10 + 0.5 * 646 + 6.0));
  EXPECT_EQ(slider_->PositionOf(slider_->CentreOf(3600)), 3600);
  EXPECT_EQ(slider_->PositionOf(16), 0);
}

TEST_F(SliderTest, ClickFarFromTheThumbJumpsAndClickOnItDoesNot) {
  QSignalSpy seeks(slider_.get(), &CBitmapSlider::Seek);
  slider_->SetPos(1800);
  const int centre = slider_->CentreOf(1800);
  Mouse(QEvent::MouseButtonPress, centre + 3);  // on the thumb
  EXPECT_EQ(slider_->pos(), 1800);
  Mouse(QEvent::MouseButtonRelease, centre + 3);
  ASSERT_TRUE(testing::PumpUntil([&] { return seeks.count() == 1; }));
  EXPECT_EQ(seeks.takeFirst().at(1).toInt(), 1800);

  Mouse(QEvent::MouseButtonPress, 100);                    // on the track, far away
  EXPECT_NEAR(slider_->CentreOf(slider_->pos()), 100, 1);  // positions are whole numbers
  // Nothing is reported while the drag goes on.
  Mouse(QEvent::MouseMove, 200);
  QApplication::processEvents();
  EXPECT_EQ(seeks.count(), 0);
  Mouse(QEvent::MouseButtonRelease, 200);
  ASSERT_TRUE(testing::PumpUntil([&] { return seeks.count() == 1; }));
  EXPECT_EQ(seeks.first().at(0).toInt(), 1186);
}

TEST_F(SliderTest, DraggingPastEitherEndStopsAtTheLimits) {
  QSignalSpy seeks(slider_.get(), &CBitmapSlider::Seek);
  slider_->SetMargins(8, 0, 8, 0);
  slider_->SetPos(1000);
  Mouse(QEvent::MouseButtonPress, slider_->CentreOf(1000));
  Mouse(QEvent::MouseMove, 5000);
  EXPECT_EQ(slider_->CentreOf(slider_->pos()), 688 - 8 - 6);
  Mouse(QEvent::MouseButtonRelease, 5000);
  ASSERT_TRUE(testing::PumpUntil([&] { return seeks.count() == 1; }));
  EXPECT_EQ(seeks.takeFirst().at(1).toInt(), 3600);

  Mouse(QEvent::MouseButtonPress, -300);
  Mouse(QEvent::MouseButtonRelease, -300);
  ASSERT_TRUE(testing::PumpUntil([&] { return seeks.count() == 1; }));
  EXPECT_EQ(seeks.takeFirst().at(1).toInt(), 0);
}

TEST_F(SliderTest, DisabledSliderIgnoresTheMouseAndDisablingEndsADrag) {
  slider_->setEnabled(false);
  Mouse(QEvent::MouseButtonPress, 400);
  EXPECT_FALSE(slider_->dragging());
  EXPECT_EQ(slider_->pos(), 0);
  slider_->setEnabled(true);
  Mouse(QEvent::MouseButtonPress, 400);
  EXPECT_TRUE(slider_->dragging());
  slider_->setEnabled(false);
  EXPECT_FALSE(slider_->dragging());
}

TEST_F(SliderTest, EmptyRangeDoesNotDivideByZero) {
  slider_->SetRange(5, 5, true);
  EXPECT_EQ(slider_->CentreOf(5), 6);
  Mouse(QEvent::MouseButtonPress, 300);
  Mouse(QEvent::MouseButtonRelease, 300);
  EXPECT_EQ(slider_->pos(), 5);
}

TEST_F(SliderTest, VerticalSliderHasItsMinimumAtTheBottom) {
  CBitmapSlider vertical(nullptr, 7, true);
  vertical.resize(12, 200);
  vertical.SetThumbBitmaps(skin::res::kSliderThumb, 0, false, 0, 0, 0);
  vertical.SetRange(0, 100, false);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(6, 199), QPointF(6, 199), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  vertical.SetPos(50);
  QApplication::sendEvent(&vertical, &press);
  EXPECT_EQ(vertical.pos(), 0);
}

}  // namespace
}  // namespace shell
