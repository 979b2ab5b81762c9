// The DVR status, log file and light dialogs through the window against the
// emulated DVR: what they ask for, what they show of the answers, the
// e-mail setting's round trip and refusal, and the light dialog and preset
// panel closed from outside when the DVR is disconnected. Each dialog is
// also saved as a picture in the build folder.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

#include "client/shell/dvr_status_dialog.h"
#include "client/shell/hover_button.h"
#include "client/shell/light_dialog.h"
#include "client/shell/log_viewer_dialog.h"
#include "client/shell/lower_panels.h"
#include "client/shell/ptz_preset_panel.h"
#include "client/shell/skinned_widgets.h"
#include "client/shell/testing/live_window_fixture.h"
#include "client/shell/wait_indicator.h"
#include "protocol/command_codes.h"

namespace shell {
namespace {

using namespace std::chrono_literals;

class ServiceDialogsEndToEndTest : public testing::LiveWindowTest {
 protected:
  void SetUp() override {
    LiveWindowTest::SetUp();
    window_->OnCommand(ControlId::kLiveMode);
  }

  // Clicks the DVR panel's button and runs `body` while its dialog is up.
  template <class Dialog>
  void WithDialog(ControlId button, const std::function<void(Dialog&)>& body) {
    bool ran = false;
    window_->dialogs().SetDialogHook([&](QDialog& opened) {
      auto* dialog = dynamic_cast<Dialog*>(&opened);
      EXPECT_NE(dialog, nullptr);
      if (dialog == nullptr) return 0;
      opened.show();
      body(*dialog);
      ran = true;
      opened.hide();
      return 0;
    });
    CHoverButton* opener = window_->button(button);
    ASSERT_TRUE(opener->isEnabled() && opener->isVisible());
    opener->click();
    window_->dialogs().SetDialogHook({});
    EXPECT_TRUE(ran);
  }

  // The command packets of `code` the DVR received.
  size_t Received(dvremu::DvrEmulator& dvr, uint32_t code) {
    size_t count = 0;
    for (const auto& command : dvr.ReceivedCommands()) count += command.code == code ? 1 : 0;
    return count;
  }

  // The BYPASS packets of a sub-code ('b' e-mail setting, 'w' lights) the DVR received.
  size_t ReceivedBypass(dvremu::DvrEmulator& dvr, uint8_t sub_code) {
    size_t count = 0;
    for (const auto& command : dvr.ReceivedCommands()) {
      count += command.code == protocol::cmd::BYPASS && command.payload.size() >= 2 && command.payload[1] == sub_code;
    }
    return count;
  }
  // Sends a light status request and waits until the DVR has it: whatever
  // slot 0 sent before is in by then, on the same connection.
  void Flush(dvremu::DvrEmulator& dvr) {
    const size_t before = ReceivedBypass(dvr, 'w');
    ASSERT_EQ(live_->viewer().services().RequestLightStatus(0), 0);
    ASSERT_TRUE(testing::PumpUntil([&] { return ReceivedBypass(dvr, 'w') > before; }));
  }

  static void SavePicture(QWidget& dialog, const char* name) {
    dialog.grab().save(QString(KAVIRO_SCREENSHOT_DIR "/") + name);
  }
};

TEST_F(ServiceDialogsEndToEndTest, TheStatusDialogShowsTheDvrsStatusAndTheSettingMakesItsRoundTrip) {
  auto dvr = StartDvr(4);
  ASSERT_TRUE(dvr);
  ConnectLive(0, *dvr);
  WithDialog<CDvrStatusDialog>(ControlId::kDvrStatus, [&](CDvrStatusDialog& dialog) {
    // The answer needs this thread to be shown, so the indicator is up until then.
    ASSERT_NE(window_->wait().dialog(), nullptr);
    window_->wait().dialog()->Tick();  // the label takes its text on a tick
    EXPECT_EQ(window_->wait().dialog()->shown_text(), "Request DVR Status && E-Mail, Call Service");
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.field(CDvrStatusDialog::kVersion)->text() == "1.20.07"; }));
    EXPECT_EQ(dialog.field(CDvrStatusDialog::kModel)->text(), "DVR-4CH");
    EXPECT_EQ(dialog.field(CDvrStatusDialog::kCapacity)->text(), "160 GB");
    EXPECT_EQ(dialog.field(CDvrStatusDialog::kFirstDisk)->text(), "37GB/80GB");
    EXPECT_EQ(dialog.field(CDvrStatusDialog::kSecondDisk)->text(), "12GB/80GB");
    EXPECT_EQ(dialog.field(CDvrStatusDialog::kService)->text(), "ON");
    EXPECT_EQ(dialog.service_address()->text(), "192.168.0.200");
    EXPECT_EQ(dialog.email()->text(), "dvr@example.com");
    EXPECT_EQ(dialog.dvr_id()->text(), "DVR-01");
    EXPECT_EQ(dialog.call_number()->text(), "0123456789");
    EXPECT_TRUE(testing::PumpUntil([&] { return window_->wait().dialog() == nullptr; }));
    SavePicture(dialog, "dvr-status-dialog.png");

    dialog.service_address()->setText("10.1.2.3");
    dialog.email()->setText("night-desk@example.org");
    dialog.dvr_id()->setText("GATE-7");
    dialog.call_number()->clear();
    dialog.set_email_button()->click();
    ASSERT_TRUE(testing::PumpUntil([&] { return BoxWith("Setting is success complete").has_value(); }));
    EXPECT_EQ(BoxWith("Setting is success complete")->text, "E-mail & Call Service Setting is success complete. !!!");
    EXPECT_EQ(BoxWith("Setting is success complete")->icon, BoxIcon::kInformation);
  });
  EXPECT_TRUE(HasLogLine("[EVENT] DVR Status View"));
  EXPECT_TRUE(HasLogLine("[EVENT] DVR Status Setting"));
  EXPECT_EQ(dvr->service_setting().email, "night-desk@example.org");

  // Opened again, the dialog shows the setting as the DVR now reports it.
  WithDialog<CDvrStatusDialog>(ControlId::kDvrStatus, [&](CDvrStatusDialog& dialog) {
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.email()->text() == "night-desk@example.org"; }));
    EXPECT_EQ(dialog.service_address()->text(), "10.1.2.3");
    EXPECT_EQ(dialog.dvr_id()->text(), "GATE-7");
    EXPECT_EQ(dialog.call_number()->text(), "");
  });

  // A status that comes when the dialog is closed finds no window.
  ASSERT_EQ(live_->viewer().services().RequestDvrStatus(0), 0);
  EXPECT_TRUE(testing::PumpUntil([&] { return window_->wait().dialog() == nullptr; }));
}

TEST_F(ServiceDialogsEndToEndTest, OnlyTheUserAdminMaySendTheSetting) {
  dvremu::EmulatorOptions options;
  options.users = {{"Admin", "1234"}};
  auto dvr = StartDvr(options);
  ASSERT_TRUE(dvr);
  ConnectLive(0, *dvr, "Admin");
  WithDialog<CDvrStatusDialog>(ControlId::kDvrStatus, [&](CDvrStatusDialog& dialog) {
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.email()->text() == "dvr@example.com"; }));
    dialog.email()->setText("intruder@example.org");
    dialog.set_email_button()->click();
    const auto refusal = BoxWith("Only the admin");
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text, "Only the admin will be able to use the E-mail and Call service.");
    EXPECT_EQ(refusal->icon, BoxIcon::kWarning);
  });
  Flush(*dvr);
  EXPECT_EQ(ReceivedBypass(*dvr, 'b'), 0u);
  EXPECT_EQ(dvr->service_setting().email, "dvr@example.com");
  EXPECT_FALSE(HasLogLine("[EVENT] DVR Status Setting"));
}

TEST_F(ServiceDialogsEndToEndTest, TheLogViewerPagesThroughADayAndItsGuardsSendNothing) {
  auto dvr = StartDvr(4);
  ASSERT_TRUE(dvr);
  ConnectLive(0, *dvr);
  const uint32_t request = protocol::cmd::REQ_LOGFILE_BY_DATE;
  WithDialog<CLogViewerDialog>(ControlId::kLogFile, [&](CLogViewerDialog& dialog) {
    ASSERT_NE(window_->wait().dialog(), nullptr);
    window_->wait().dialog()->Tick();
    EXPECT_EQ(window_->wait().dialog()->shown_text(), "Request a select day of Logfile in the DVR.");
    // Today's first page; the emulator's days have 25 to 64 records, 20 a page.
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.page_label()->text().startsWith("1 / "); }));
    const uint32_t pages = dialog.pager().page_count();
    ASSERT_GE(pages, 2u);
    ASSERT_EQ(dialog.list()->topLevelItemCount(), 20);
    EXPECT_EQ(dialog.list()->topLevelItem(0)->text(1), "Power on");
    EXPECT_TRUE(testing::PumpUntil([&] { return window_->wait().dialog() == nullptr; }));
    SavePicture(dialog, "log-viewer-dialog.png");

    const size_t before = Received(*dvr, request);
    dialog.back_button()->click();
    for (uint32_t page = 2; page <= pages; ++page) {
      dialog.next_button()->click();
      EXPECT_EQ(dialog.pager().current_page(), static_cast<int>(page));  // moved with the request
      const QString shown = QString("%1 / %2").arg(page).arg(pages);
      ASSERT_TRUE(testing::PumpUntil([&] { return dialog.page_label()->text() == shown; }));
    }
    EXPECT_GE(dialog.list()->topLevelItemCount(), 1);
    dialog.next_button()->click();
    Flush(*dvr);
    EXPECT_EQ(Received(*dvr, request), before + pages - 1);  // Back on 1 and Next on the last sent nothing

    // A day still to come has no log: one page with the table's text for it.
    dialog.calendar()->setSelectedDate(QDate::currentDate().addDays(2));
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.page_label()->text() == "1 / 1"; }));
    ASSERT_EQ(dialog.list()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.list()->topLevelItem(0)->text(1), "No have log list");

    // A failed answer to another day leaves none of the day before on screen.
    dialog.calendar()->setSelectedDate(QDate::currentDate());
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.list()->topLevelItemCount() == 20; }));
    dvr->ArmNextResult(0x01);
    dialog.calendar()->setSelectedDate(QDate::currentDate().addDays(-1));
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.page_label()->text() == "0 / 0"; }));
    ASSERT_EQ(dialog.list()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.list()->topLevelItem(0)->text(1), "No have log list");
  });
  EXPECT_TRUE(HasLogLine("[EVENT] DVR Logfile View"));
}

TEST_F(ServiceDialogsEndToEndTest, TheLightDialogShowsTheDvrsLightsAndSwitchesOne) {
  auto dvr = StartDvr(4);
  ASSERT_TRUE(dvr);
  ConnectLive(0, *dvr);
  WithDialog<CLightDialog>(ControlId::kLight, [&](CLightDialog& dialog) {
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.status() == 0xF5; }));
    for (int light = 1; light <= 4; ++light) EXPECT_TRUE(dialog.box(light)->isEnabled()) << light;
    EXPECT_TRUE(dialog.box(1)->isChecked());
    EXPECT_FALSE(dialog.box(2)->isChecked());
    EXPECT_TRUE(dialog.box(3)->isChecked());
    SavePicture(dialog, "light-dialog.png");
    dialog.box(1)->click();
    ASSERT_TRUE(testing::PumpUntil([&] { return dvr->lights() == 0xF4; }));
    const auto commands = dvr->ReceivedCommands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back().payload, (std::vector<uint8_t>{'t', 'w', 0x00, 0xF4}));
    EXPECT_FALSE(dialog.box(1)->isChecked());
  });
}

TEST_F(ServiceDialogsEndToEndTest, ADvrWithOneLightEnablesOnlyItsBox) {
  dvremu::EmulatorOptions options;
  options.lights = 0x2F;
  auto dvr = StartDvr(options);
  ASSERT_TRUE(dvr);
  ConnectLive(0, *dvr);
  WithDialog<CLightDialog>(ControlId::kLight, [&](CLightDialog& dialog) {
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.status() == 0x2F; }));
    for (int light = 1; light <= 4; ++light) {
      EXPECT_EQ(dialog.box(light)->isEnabled(), light == 2) << light;
      EXPECT_EQ(dialog.box(light)->isChecked(), light == 2) << light;
    }
  });
}

TEST_F(ServiceDialogsEndToEndTest, DisconnectingCancelsTheLightDialogAndHidesThePresetPanel) {
  auto dvr = StartDvr(4);
  ASSERT_TRUE(dvr);
  ConnectLive(0, *dvr);
  window_->button(ControlId::kPtzPreset)->click();
  ASSERT_TRUE(window_->ptz_preset_panel()->isVisible());
  WithDialog<CLightDialog>(ControlId::kLight, [&](CLightDialog& dialog) {
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.status() == 0xF5; }));
    window_->OnCommand(ControlId::kDisconnect);
    EXPECT_TRUE(testing::PumpUntil([&] { return !dialog.isVisible(); }));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  });
  EXPECT_FALSE(window_->ptz_preset_panel()->isVisible());
  EXPECT_TRUE(testing::PumpUntil([&] { return !live_->viewer().IsActive(0); }));
  // A light state after the close finds no dialog.
  EXPECT_FALSE(live_->ui().DeliverLightState(0xF5));
}

}  // namespace
}  // namespace shell
