// The window at 150 %, in a process of its own: the scale is taken before
// the application object exists, as the program takes it.
#include <QComboBox>
#include <QImage>
#include <QStandardItemModel>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "client/shell/bitmap_slider.h"
#include "client/shell/hover_button.h"
#include "client/shell/lower_panels.h"
#include "client/shell/main_window.h"
#include "client/shell/setup_dialog.h"
#include "client/shell/skin_artwork.h"
#include "client/shell/testing/shell_test_support.h"
#include "client/shell/window_scale.h"

namespace shell {
namespace {

using enum ControlId;

class ScaledWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    registry_ = new testing::ScratchRegistry;
    unsetenv("QT_SCALE_FACTOR");
    ASSERT_EQ(WriteWindowScale(150), 0);
    ApplyWindowScale();
    testing::App();
  }
  static void TearDownTestSuite() {
    delete registry_;
    registry_ = nullptr;
  }
  void SetUp() override {
    window_ = std::make_unique<CMainWindow>();
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  // The window's picture in device pixels, as the screen gets it.
  QImage Screen() const { return window_->grab().toImage(); }
  // A widget's rectangle in the window's device pixels.
  static QRect DeviceRect(const QWidget& widget, const QWidget& window) {
    const QRect logical(widget.mapTo(&window, QPoint(0, 0)), widget.size());
    return QRect(logical.topLeft() * 1.5, logical.size() * 1.5);
  }

  static testing::ScratchRegistry* registry_;
  std::unique_ptr<CMainWindow> window_;
};

testing::ScratchRegistry* ScaledWindowTest::registry_ = nullptr;

TEST_F(ScaledWindowTest, TheWholeWindowIsHalfAgainAsLargeAndSharp) {
  EXPECT_DOUBLE_EQ(window_->devicePixelRatioF(), 1.5);
  // Laid out in the same units, drawn with 1.5 device pixels each.
  EXPECT_EQ(window_->size(), QSize(1024, 768));
  EXPECT_EQ(Screen().size(), QSize(1536, 1152));
  // The artwork is drawn at the device size, not stretched from 100 %.
  const QPixmap frame = skin::Pixmap(skin::res::kMainBackground);
  EXPECT_EQ(frame.size(), QSize(1536, 1152));
  EXPECT_EQ(frame.deviceIndependentSize().toSize(), QSize(1024, 768));
  const QPixmap face = skin::Pixmap(skin::FacesOfControl(ToInt(kLiveMode)).normal);
  const CHoverButton* live = window_->button(kLiveMode);
  EXPECT_EQ(face.size(), live->size() * 1.5);

  // The button shows its face pixel for pixel where the scaled window puts it.
  const QImage screen = Screen();
  const QRect at = DeviceRect(*live, *window_);
  // (Inside its rim: a button at a half device pixel shares the rim pixels.)
  const QRect inside = QRect(QPoint(0, 0), face.size()).adjusted(1, 1, -1, -1);
  EXPECT_EQ(screen.copy(at).copy(inside).convertToFormat(QImage::Format_RGB32),
            face.toImage().copy(inside).convertToFormat(QImage::Format_RGB32));
}

TEST_F(ScaledWindowTest, HitAreasScaleWithTheirButtons) {
  window_->OnCommand(kLiveMode);
  window_->OnCommand(kChannels);
  for (ControlId id : {kLayout4Ch, kSearchMode, kTurnOff}) {
    CHoverButton* button = window_->button(id);
    ASSERT_TRUE(button->isVisible());
    const QRect device = DeviceRect(*button, *window_);
    // A device pixel maps back to the window unit under it.
    const auto under = [this](QPoint pixel) { return window_->childAt((QPointF(pixel) / 1.5).toPoint()); };
    for (QPoint pixel : {device.topLeft() + QPoint(1, 1), device.center(), device.bottomRight() - QPoint(1, 1)}) {
      EXPECT_EQ(under(pixel), button) << ToInt(id);
    }
    EXPECT_NE(under(device.topRight() + QPoint(3, 0)), button) << ToInt(id);
  }
  // And the click there reaches the button's command.
  CHoverButton* layout = window_->button(kLayout4Ch);
  QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                    layout->mapTo(window_.get(), layout->rect().center()));
  EXPECT_EQ(window_->latched(kLayout1Ch), kLayout4Ch);
}

TEST_F(ScaledWindowTest, TheSliderKeepsItsTrackAndThumbAtTheScale) {
  window_->OnCommand(kSearchMode);
  CBitmapSlider* slider = window_->slider();
  EXPECT_EQ(slider->size(), QSize(688, 12));
  slider->setEnabled(true);
  slider->SetPos(1800);
  const QImage picture = slider->grab().toImage();
  EXPECT_EQ(picture.size(), QSize(1032, 18));
  // The thumb sits at the middle of the track in device pixels too.
  const int thumb_centre = qRound(slider->CentreOf(1800) * 1.5);
  EXPECT_NE(picture.pixelColor(thumb_centre, 9), picture.pixelColor(thumb_centre - 60, 9));
}

TEST_F(ScaledWindowTest, TheSetupDialogOffersTheStepsAndShowsTheStoredOne) {
  COperatorDialogs dialogs;
  CSetupDialog dialog(nullptr, dialogs, {});
  ASSERT_EQ(dialog.scale_combo()->count(), 4);
  EXPECT_EQ(dialog.scale_combo()->currentText(), "150 %");
  // The test screen (800 x 600 device pixels) has room for no larger window
  // than 100 %, which stays offered, as does the stored step.
  const auto* model = qobject_cast<QStandardItemModel*>(dialog.scale_combo()->model());
  ASSERT_NE(model, nullptr);
  EXPECT_TRUE(model->item(0)->isEnabled());
  EXPECT_FALSE(model->item(1)->isEnabled());
  EXPECT_TRUE(model->item(2)->isEnabled());
  EXPECT_FALSE(model->item(3)->isEnabled());
  dialog.scale_combo()->setCurrentIndex(1);
  dialog.OnOk();
  EXPECT_EQ(ReadWindowScale(), 125);
  ASSERT_EQ(WriteWindowScale(150), 0);
}

}  // namespace
}  // namespace shell
