#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include "client/shell/operator_dialogs.h"
#include "client/shell/skin_artwork.h"
#include "client/shell/skinned_widgets.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

class OperatorDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
  COperatorDialogs dialogs_;
};

std::vector<QMessageBox*> VisibleBoxes() {
  std::vector<QMessageBox*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) boxes.push_back(box);
  }
  return boxes;
}

// WCAG contrast ratio of two colours.
double Contrast(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a) + 0.05;
  const double lb = luminance(b) + 0.05;
  return la > lb ? la / lb : lb / la;
}

TEST_F(OperatorDialogsTest, OwnerlessBoxesLeaveTheWindowUsableAndDoNotHideEachOther) {
  std::vector<std::thread> alarms;
  for (int i = 0; i < 3; ++i) {
    alarms.emplace_back([this] { dialogs_.ShowOwnerlessMessageBox("alarm", "Sensor Alarm Out", BoxIcon::kWarning); });
  }
  ASSERT_TRUE(testing::PumpUntil([this] { return dialogs_.OpenOwnerlessBoxCount() == 3; }));
  // No box is modal: the main window's buttons still work.
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  std::vector<QMessageBox*> boxes = VisibleBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  std::sort(boxes.begin(), boxes.end(), [](QMessageBox* a, QMessageBox* b) { return a->y() < b->y(); });
  // Each box steps down and right from the one before, its caption clear.
  for (size_t i = 1; i < boxes.size(); ++i) {
    const QPoint step = boxes[i]->pos() - boxes[i - 1]->pos();
    EXPECT_GE(step.x(), 20) << i;
    EXPECT_GE(step.y(), 20) << i;
  }
  dialogs_.DismissOwnerlessBoxes();
  for (std::thread& alarm : alarms) alarm.join();
}

TEST_F(OperatorDialogsTest, ABoxOpenedFromASkinnedDialogStaysLegible) {
  CSkinnedDialog dialog(nullptr, skin::res::kSetupBackground, QSize(597, 535), "Kaviro - Setup");
  dialog.show();
  double text_contrast = 0;
  double button_contrast = 0;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    const QImage face = box->grab().toImage();
    const QLabel* label = box->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(label, nullptr);
    text_contrast = Contrast(label->palette().color(label->foregroundRole()), face.pixelColor(2, 2));
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    ASSERT_NE(ok, nullptr);
    const QImage button = ok->grab().toImage();
    // Left of the caption, inside the border.
    button_contrast = Contrast(ok->palette().color(ok->foregroundRole()), button.pixelColor(4, button.height() / 2));
    box->done(QMessageBox::Ok);
  });
  dialogs_.ShowMessageBox(&dialog, "Please, The IP Address to confirm.", BoxIcon::kError);
  EXPECT_GE(text_contrast, 4.5);
  EXPECT_GE(button_contrast, 4.5);
}

TEST_F(OperatorDialogsTest, EachDoorAnswersWithItsOwnHooksOnly) {
  COperatorDialogs other;
  testing::BoxRecorder mine(dialogs_, BoxAnswer::kCancel);
  testing::BoxRecorder theirs(other, BoxAnswer::kOk);
  EXPECT_EQ(other.ShowMessageBox(nullptr, "from the other window", BoxIcon::kError), BoxAnswer::kOk);
  std::thread alarm([this] {
    EXPECT_EQ(dialogs_.ShowOwnerlessMessageBox("alarm", "Sensor Alarm Out", BoxIcon::kWarning), BoxAnswer::kCancel);
  });
  alarm.join();
  EXPECT_EQ(theirs.texts(), std::vector<std::string>{"from the other window"});
  ASSERT_EQ(mine.count(), 1u);
  EXPECT_EQ(mine.boxes()[0].caption, "Sensor Alarm Out");
  EXPECT_EQ(dialogs_.OpenOwnerlessBoxCount(), 0);
}

}  // namespace
}  // namespace shell
