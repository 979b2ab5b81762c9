#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "client/shell/connect_panel.h"
#include "client/shell/hover_button.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

class ConnectPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    AddressBookStore::Write(ListKind::kEthernet, {"lab", "10.1.2.3", 4100, "admin", "pw"});
    AddressBookStore::Write(ListKind::kDomainName, {"local", "localhost", 4200, "op", "secret"});
    AddressBookStore::Write(ListKind::kDomainName, {"nowhere", "no-such-host.invalid", 4300, "op", "x"});
    AddressBookStore::Write(ListKind::kTelephone, {"site", "--1234-5678", 2000, "u", "p"});
    panel_ = std::make_unique<CConnectPanel>(nullptr, dialogs_, QPoint(103, 604));
  }
  testing::ScratchRegistry registry_;
  COperatorDialogs dialogs_;
  std::unique_ptr<CConnectPanel> panel_;
};

TEST_F(ConnectPanelTest, CombosListManualLogonThenEthernetThenDomainNames) {
  QComboBox* ethernet = panel_->ethernet_combo();
  ASSERT_EQ(ethernet->count(), 4);
  EXPECT_EQ(ethernet->itemText(0), "Manual Logon");
  EXPECT_EQ(ethernet->itemText(1), "lab");
  EXPECT_EQ(ethernet->itemData(1).toInt(), 1);
  EXPECT_EQ(ethernet->itemData(2).toInt(), 2);
  EXPECT_EQ(panel_->telephone_combo()->count(), 2);
  EXPECT_TRUE(panel_->ethernet_selected());
  EXPECT_FALSE(panel_->telephone_connect()->isEnabled());
  EXPECT_FALSE(panel_->number_edit()->isEnabled());
}

TEST_F(ConnectPanelTest, ManualLogonUsesTheTypedPortAndNoCredentials) {
  panel_->ip_edit()->setText("127.0.0.1");
  panel_->port_edit()->setText("4000");
  const auto request = panel_->EthernetRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->address, "127.0.0.1");
  EXPECT_EQ(request->port, 4000);
  EXPECT_EQ(panel_->manual_port(), 4000);
  EXPECT_FALSE(request->user_name);
  EXPECT_FALSE(request->password);
  EXPECT_TRUE(request->network);
}

TEST_F(ConnectPanelTest, EntriesFillAndLockTheFieldsAndCarryTheirCredentials) {
  panel_->ethernet_combo()->setCurrentIndex(1);
  panel_->OnEthernetCombo(1);
  EXPECT_EQ(panel_->ip_edit()->text(), "10.1.2.3");
  EXPECT_EQ(panel_->port_edit()->text(), "4100");
  EXPECT_FALSE(panel_->ip_edit()->isEnabled());
  auto request = panel_->EthernetRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->port, 4100);
  EXPECT_EQ(request->user_name.value_or(""), "admin");

  panel_->ethernet_combo()->setCurrentIndex(2);
  panel_->OnEthernetCombo(2);
  EXPECT_EQ(panel_->ip_edit()->text(), "127.0.0.1");  // resolved host name
  request = panel_->EthernetRequest();
  EXPECT_EQ(request->address, "127.0.0.1");
  EXPECT_EQ(request->password.value_or(""), "secret");

  panel_->ethernet_combo()->setCurrentIndex(0);
  panel_->OnEthernetCombo(0);
  EXPECT_TRUE(panel_->ip_edit()->isEnabled());
}

TEST_F(ConnectPanelTest, UnresolvableHostShowsTheMessageAndKeepsTheName) {
  testing::BoxRecorder boxes(dialogs_);
  panel_->ethernet_combo()->setCurrentIndex(3);
  panel_->OnEthernetCombo(3);
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(boxes.texts()[0], "Invalid domain name address. can't convert domain name to ip address.");
  EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kError);
  EXPECT_EQ(panel_->ip_edit()->text(), "no-such-host.invalid");
  EXPECT_EQ(panel_->EthernetRequest()->address, "no-such-host.invalid");
}

TEST_F(ConnectPanelTest, TelephoneEntryShowsTheDialStringAndSendsTheStoredNumber) {
  QSignalSpy dials(panel_.get(), &CConnectPanel::DialNumber);
  QSignalSpy requests(panel_.get(), &CConnectPanel::ConnectRequested);
  panel_->ClickHalf(false);
  EXPECT_FALSE(panel_->ethernet_selected());
  // The Ethernet half is now disabled and starts nothing.
  EXPECT_FALSE(panel_->ethernet_connect()->isEnabled());
  EXPECT_FALSE(panel_->EthernetRequest());
  panel_->telephone_combo()->setCurrentIndex(1);
  panel_->OnTelephoneCombo(1);
  EXPECT_EQ(panel_->number_edit()->text(), "12345678");
  panel_->telephone_connect()->click();
  ASSERT_EQ(dials.count(), 1);
  EXPECT_EQ(dials.first().at(0).toString(), "--1234-5678");
  ASSERT_EQ(requests.count(), 1);
  const auto request = requests.first().at(0).value<ConnectionRequest>();
  EXPECT_EQ(request.port, 2000);
  EXPECT_FALSE(request.network);
  EXPECT_EQ(request.address, "--1234-5678");

  // Clicking the active half again changes nothing; Reset goes back to Ethernet.
  panel_->ClickHalf(false);
  EXPECT_EQ(panel_->telephone_combo()->currentIndex(), 1);
  panel_->Reset();
  EXPECT_TRUE(panel_->ethernet_selected());
  EXPECT_EQ(panel_->ethernet_combo()->currentIndex(), 0);
}

TEST_F(ConnectPanelTest, ControlsSitWhereTheWindowLayoutPutsThem) {
  const QPoint origin(103, 604);
  auto place = [&](QWidget* widget) { return widget->geometry().translated(origin); };
  EXPECT_EQ(place(panel_->ip_edit()), QRect(390, 727, 200, 20));
  EXPECT_EQ(place(panel_->port_edit()), QRect(593, 727, 40, 20));
  EXPECT_EQ(place(panel_->number_edit()), QRect(390, 660, 243, 20));
  // The combos keep their places and widths; a closed combo needs the
  // height of a line of text.
  for (auto [combo, y] : {std::pair{panel_->ethernet_combo(), 727}, std::pair{panel_->telephone_combo(), 660}}) {
    EXPECT_EQ(place(combo).topLeft(), QPoint(219, y));
    EXPECT_EQ(combo->width(), 120);
    EXPECT_GE(combo->height(), combo->fontMetrics().height() + 4);
  }
}

TEST_F(ConnectPanelTest, ShowingThePanelAgainFreesTheFieldsAnEntryLocked) {
  panel_->ethernet_combo()->setCurrentIndex(1);
  panel_->OnEthernetCombo(1);
  ASSERT_FALSE(panel_->ip_edit()->isEnabled());
  // The entry's connection ended: fields cleared, panel shown again.
  panel_->ClearFields();
  panel_->Reset();
  EXPECT_EQ(panel_->ethernet_combo()->currentIndex(), 0);
  EXPECT_TRUE(panel_->ip_edit()->isEnabled());
  EXPECT_TRUE(panel_->port_edit()->isEnabled());
  panel_->ip_edit()->setText("10.0.0.9");
  EXPECT_EQ(panel_->EthernetRequest()->address, "10.0.0.9");
  EXPECT_FALSE(panel_->EthernetRequest()->user_name);
}

}  // namespace
}  // namespace shell
