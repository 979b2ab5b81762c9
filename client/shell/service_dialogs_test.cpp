// The status, log and light dialogs on their own, without a DVR: what each
// shows of the data handed to it, and what a light click asks for.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <vector>

#include "client/shell/dvr_status_dialog.h"
#include "client/shell/light_dialog.h"
#include "client/shell/log_viewer_dialog.h"
#include "client/shell/skin_artwork.h"
#include "client/shell/skinned_widgets.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

class ServiceDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
};

sessions::DvrStatusBlock SampleStatus() {
  sessions::DvrStatusBlock status;
  status.version = "2.01.03";
  status.model = "DVR-8CH";
  status.capacity_gb = 0x0050;
  status.first_disk_gb = 0x0010;
  status.first_disk_total_gb = 0x0050;
  status.second_disk_gb = 3;
  status.second_disk_total_gb = 250;
  status.text6 = "Overwrite";
  status.text7 = "PAL";
  status.address = "10.0.0.7";
  status.service_address = {192, 168, 1, 20};
  status.email = "desk@example.com";
  status.flag = 0;
  status.dvr_id = "NORTH-GATE";
  status.call_number = "5551234";
  return status;
}

TEST_F(ServiceDialogsTest, TheStatusDialogShowsTheBlockInItsFormatsAndEachArrivalOverwritesEdits) {
  CDvrStatusDialog dialog(nullptr, nullptr, 0);
  EXPECT_EQ(dialog.windowTitle(), "Kaviro - Remote DVR Status & Calling Service");
  EXPECT_EQ(dialog.size(), QSize(597, 595));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kVersion)->text(), "0.00.00");
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kModel)->text(), "NONE");
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kAddress)->text(), "000.000.000.000");
  EXPECT_EQ(static_cast<CColourLabel*>(dialog.field(CDvrStatusDialog::kLanguage))->colour(), QColor(206, 206, 206));

  sessions::DvrStatusBlock status = SampleStatus();
  dialog.ShowStatus(status);
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kVersion)->text(), "2.01.03");
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kCapacity)->text(), "80 GB");
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kFirstDisk)->text(), "16GB/80GB");
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kSecondDisk)->text(), "3GB/250GB");
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kText6)->text(), "Overwrite");
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kText7)->text(), "PAL");
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kAddress)->text(), "10.0.0.7");
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kService)->text(), "OFF");
  EXPECT_EQ(dialog.service_address()->text(), "192.168.1.20");
  EXPECT_EQ(dialog.email()->text(), "desk@example.com");

  // The operator's unsaved edit goes when the next status comes.
  dialog.email()->setText("typed@example.com");
  status.flag = 0x80;
  dialog.ShowStatus(status);
  EXPECT_EQ(dialog.field(CDvrStatusDialog::kService)->text(), "ON");
  EXPECT_EQ(dialog.email()->text(), "desk@example.com");
}

TEST_F(ServiceDialogsTest, TheEditedSettingTakesTheAddressFieldAsFourNumbers) {
  CDvrStatusDialog dialog(nullptr, nullptr, 0);
  dialog.service_address()->setText("10.20.30.40");
  dialog.email()->clear();
  dialog.dvr_id()->clear();
  dialog.call_number()->clear();
  sessions::ServiceSettingBlock setting = dialog.EditedSetting();
  EXPECT_EQ(setting.address, (std::array<uint8_t, 4>{10, 20, 30, 40}));
  EXPECT_EQ(sessions::BuildSettingBlock(setting).size(), 8u);
  // Half-typed or out-of-range numbers count as 0, as the address control had them.
  dialog.service_address()->setText("10.999.");
  EXPECT_EQ(dialog.EditedSetting().address, (std::array<uint8_t, 4>{10, 0, 0, 0}));
  // Without a session the button sends nothing and nothing breaks.
  dialog.OnSetEmail();
}

sessions::DvrLogPage Page(uint32_t count, std::vector<sessions::DvrLogRecord> records) {
  sessions::DvrLogPage page;
  page.page_count = count;
  page.declared_records = static_cast<uint8_t>(records.size());
  page.records = std::move(records);
  return page;
}

QString Cell(QTreeWidget* list, int row, int column) { return list->topLevelItem(row)->text(column); }

TEST_F(ServiceDialogsTest, TheLogViewerShowsPagesIgnoresAnEmptyCountAndClearsOnFailure) {
  CLogViewerDialog dialog(nullptr, nullptr, 0);
  EXPECT_EQ(dialog.windowTitle(), "Kaviro - Logfile Viewer");
  EXPECT_EQ(dialog.size(), QSize(750, 383));
  EXPECT_EQ(dialog.page_label()->text(), "0 / 0");
  EXPECT_EQ(dialog.list()->headerItem()->text(0), "Date");
  EXPECT_EQ(dialog.list()->columnWidth(0), 126);
  EXPECT_EQ(dialog.list()->columnWidth(1), 195);
  EXPECT_EQ(dialog.calendar()->geometry(), QRect(204, 115, 167, 158));

  sessions::DvrLogRecord login{0x09, 0x05, 0x30, 0x0111, {5, 0, 168, 192}};
  sessions::DvrLogRecord unknown{0x23, 0x59, 0x59, 0x0011, {255, 0, 0, 0}};
  sessions::DvrLogRecord backup{0x00, 0x00, 0x01, 0x0309, {}};
  dialog.ShowPage(Page(3, {login, unknown, backup}));
  EXPECT_EQ(dialog.page_label()->text(), "1 / 3");
  ASSERT_EQ(dialog.list()->topLevelItemCount(), 3);
  EXPECT_EQ(Cell(dialog.list(), 0, 0), "09 : 05 : 30");
  EXPECT_EQ(Cell(dialog.list(), 0, 1), "Login:192.168.0.5 (user)");
  EXPECT_EQ(Cell(dialog.list(), 1, 1), "Login:Unknown address (admin)");
  EXPECT_EQ(Cell(dialog.list(), 2, 1), "Record Stop(Backup)\t");

  // A page that says the day has no pages changes nothing.
  dialog.ShowPage(Page(0, {backup}));
  EXPECT_EQ(dialog.page_label()->text(), "1 / 3");
  EXPECT_EQ(dialog.list()->topLevelItemCount(), 3);

  // Paging moves the page number at once; Back stops at 1, Next at the count.
  dialog.OnBack();
  EXPECT_EQ(dialog.pager().current_page(), 1);
  dialog.OnNext();
  dialog.OnNext();
  dialog.OnNext();
  EXPECT_EQ(dialog.pager().current_page(), 3);

  // A failed answer leaves no earlier page on screen, and paging rests.
  dialog.ShowFailure();
  EXPECT_EQ(dialog.page_label()->text(), "0 / 0");
  ASSERT_EQ(dialog.list()->topLevelItemCount(), 1);
  EXPECT_EQ(Cell(dialog.list(), 0, 1), "No have log list");
  dialog.OnBack();
  dialog.OnNext();
  EXPECT_EQ(dialog.pager().current_page(), 3);
}

// The boxes of 0xF5 and 0x2F and a single click are checked against the
// emulator; here the cases it does not produce.
TEST_F(ServiceDialogsTest, TheLightDialogIgnoresAbsentLightsAndSendsEachClickFromTheLastByte) {
  int requests = 0;
  std::vector<uint8_t> sent;
  CLightDialog dialog(nullptr, {[&] { return ++requests, 0; },
                                [&](uint8_t status) {
                                  sent.push_back(status);
                                  return 0;
                                }});
  EXPECT_EQ(dialog.windowTitle(), "Kaviro - Light Control");
  dialog.show();
  dialog.show();
  EXPECT_EQ(requests, 1);  // asked once, when first shown
  // The on-bit of light 3 goes unshown: light 3 does not exist.
  dialog.ShowState(0x35);
  for (int light = 1; light <= 4; ++light) {
    EXPECT_EQ(dialog.box(light)->isEnabled(), light <= 2) << light;
    EXPECT_EQ(dialog.box(light)->isChecked(), light == 1) << light;
  }
  // Icon 545 on a checked box, 544 on the others.
  auto shows = [&](int light, int icon) {
    return dialog.box(light)->icon().pixmap(32, 32).toImage() == skin::Pixmap(icon).toImage();
  };
  EXPECT_TRUE(shows(1, skin::res::kLightOn));
  EXPECT_TRUE(shows(2, skin::res::kLightOff));
  // Two clicks before any answer: the second builds on the first.
  dialog.box(2)->click();
  dialog.box(1)->click();
  EXPECT_EQ(sent, (std::vector<uint8_t>{0x37, 0x36}));
  EXPECT_TRUE(shows(2, skin::res::kLightOn));
  dialog.hide();
}

}  // namespace
}  // namespace shell
