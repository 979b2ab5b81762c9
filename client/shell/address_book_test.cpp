#include <QCheckBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "client/shell/address_book_dialog.h"
#include "client/shell/address_entry_dialog.h"
#include "client/shell/hover_button.h"
#include "client/shell/testing/shell_test_support.h"
#include "platform/registry.h"
#include "platform/string_table.h"

namespace shell {
namespace {

class AddressBookTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }

  static void FillEthernet(CAddressEntryDialog& dialog, const char* alias, const char* ip, const char* port) {
    dialog.alias_edit()->setText(alias);
    dialog.ip_edit()->setText(ip);
    dialog.port_edit()->setText(port);
    dialog.user_edit()->setText("admin");
    dialog.password_edit()->setText("1234");
    dialog.confirm_edit()->setText("1234");
  }

  testing::ScratchRegistry registry_;
  COperatorDialogs dialogs_;
};

TEST_F(AddressBookTest, EthernetChecksComeInTheirOrder) {
  testing::BoxRecorder boxes(dialogs_);
  CAddressEntryDialog dialog(nullptr, dialogs_, ListKind::kEthernet);
  EXPECT_EQ(dialog.port_edit()->text(), "2000");
  EXPECT_EQ(dialog.Validate(), 130);  // empty address reads as 0.0.0.0
  FillEthernet(dialog, "", "10.0.0.5", "0");
  EXPECT_EQ(dialog.Validate(), 130);  // port 0
  dialog.port_edit()->setText("4000");
  EXPECT_EQ(dialog.Validate(), 126);  // alias
  dialog.alias_edit()->setText("a\\b");
  EXPECT_EQ(dialog.Validate(), 126);  // not a path of keys
  dialog.alias_edit()->setText("dvr");
  dialog.user_edit()->clear();
  EXPECT_EQ(dialog.Validate(), 127);
  dialog.user_edit()->setText("admin");
  dialog.password_edit()->clear();
  EXPECT_EQ(dialog.Validate(), 128);
  dialog.password_edit()->setText("1234");
  dialog.confirm_edit()->setText("1235");
  EXPECT_EQ(dialog.Validate(), 131);
  dialog.OnOk();
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, platform::LoadString(131));
  EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kError);
  EXPECT_FALSE(AddressBookStore::Read(ListKind::kEthernet, "dvr"));
  // Passwords compare with case.
  dialog.confirm_edit()->setText("1234");
  dialog.OnOk();
  const auto entry = AddressBookStore::Read(ListKind::kEthernet, "dvr");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->ip, "10.0.0.5");
  EXPECT_EQ(entry->port, 4000u);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(AddressBookTest, PortThatIsNotAWholeNumberIsRefusedFirst) {
  testing::BoxRecorder boxes(dialogs_);
  CAddressEntryDialog dialog(nullptr, dialogs_, ListKind::kEthernet);
  FillEthernet(dialog, "dvr", "10.0.0.5", "40x");
  dialog.OnOk();
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(boxes.texts()[0], "Please enter an integer.");
  EXPECT_FALSE(AddressBookStore::Read(ListKind::kEthernet, "dvr"));
}

TEST_F(AddressBookTest, AddressOrPortPastItsRangeIsRefusedNotStoredAsAnother) {
  testing::BoxRecorder boxes(dialogs_);
  CAddressEntryDialog dialog(nullptr, dialogs_, ListKind::kEthernet);
  FillEthernet(dialog, "dvr", "", "");
  // Typed as the operator would: both fields let these stand.
  QTest::keyClicks(dialog.ip_edit(), "300.1.2.3");
  QTest::keyClicks(dialog.port_edit(), "4000");
  ASSERT_EQ(dialog.ip_edit()->text(), "300.1.2.3");
  dialog.OnOk();
  dialog.ip_edit()->clear();
  QTest::keyClicks(dialog.ip_edit(), "10.0.0.5");
  dialog.port_edit()->clear();
  QTest::keyClicks(dialog.port_edit(), "99999");
  ASSERT_EQ(dialog.port_edit()->text(), "99999");
  dialog.OnOk();
  ASSERT_EQ(boxes.count(), 2u);
  for (const BoxRequest& box : boxes.boxes()) {
    EXPECT_EQ(box.text, "Please, The IP Address to confirm.");
    EXPECT_EQ(box.icon, BoxIcon::kError);
  }
  EXPECT_FALSE(AddressBookStore::Read(ListKind::kEthernet, "dvr"));

  // The largest values of each field are kept as typed.
  dialog.ip_edit()->setText("255.255.255.255");
  dialog.port_edit()->setText("65535");
  dialog.OnOk();
  const auto entry = AddressBookStore::Read(ListKind::kEthernet, "dvr");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->ip, "255.255.255.255");
  EXPECT_EQ(entry->port, 65535u);

  CAddressEntryDialog domain(nullptr, dialogs_, ListKind::kDomainName);
  domain.alias_edit()->setText("cloud");
  domain.host_edit()->setText("localhost");
  domain.port_edit()->setText("65536");
  domain.user_edit()->setText("u");
  domain.password_edit()->setText("p");
  domain.confirm_edit()->setText("p");
  EXPECT_EQ(domain.Validate(), 130);
}

TEST_F(AddressBookTest, TelephoneLengthsAndTheLocalNumberRoundTrip) {
  testing::BoxRecorder boxes(dialogs_);
  CAddressEntryDialog dialog(nullptr, dialogs_, ListKind::kTelephone);
  dialog.alias_edit()->setText("site");
  dialog.user_edit()->setText("u");
  dialog.password_edit()->setText("p");
  dialog.confirm_edit()->setText("p");
  EXPECT_EQ(dialog.Validate(), 132);
  dialog.local_check()->setChecked(true);
  EXPECT_FALSE(dialog.country_edit()->isEnabled());
  EXPECT_FALSE(dialog.area_edit()->isEnabled());
  dialog.major_edit()->setText("1234567");  // seven characters
  dialog.minor_edit()->setText("5678");
  EXPECT_EQ(dialog.Validate(), 134);
  dialog.major_edit()->setText("1234");
  dialog.minor_edit()->setText("567890");  // six characters
  EXPECT_EQ(dialog.Validate(), 135);
  dialog.minor_edit()->setText("5678");
  dialog.OnOk();
  EXPECT_EQ(boxes.count(), 0u);
  EXPECT_EQ(AddressBookStore::Read(ListKind::kTelephone, "site")->ip, "--1234-5678");

  CAddressEntryDialog modify(nullptr, dialogs_, ListKind::kTelephone, "site");
  EXPECT_TRUE(modify.local_check()->isChecked());
  EXPECT_FALSE(modify.country_edit()->isEnabled());
  EXPECT_EQ(modify.major_edit()->text(), "1234");
  EXPECT_EQ(modify.minor_edit()->text(), "5678");
  EXPECT_EQ(DialString("--1234-5678"), "12345678");
}

TEST_F(AddressBookTest, ModifyUnderANewAliasMovesTheEntryAndAFailedCheckKeepsIt) {
  testing::BoxRecorder boxes(dialogs_);
  AddressBookStore::Write(ListKind::kEthernet, {"old", "10.0.0.1", 2000, "admin", "pw"});
  {
    CAddressEntryDialog dialog(nullptr, dialogs_, ListKind::kEthernet, "old");
    EXPECT_EQ(dialog.windowTitle(), "Kaviro - Modify to Address book");
    EXPECT_EQ(dialog.confirm_edit()->text(), "pw");
    dialog.alias_edit()->setText("new");
    dialog.port_edit()->setText("0");
    dialog.OnOk();
    EXPECT_TRUE(AddressBookStore::Read(ListKind::kEthernet, "old"));
    EXPECT_FALSE(AddressBookStore::Read(ListKind::kEthernet, "new"));
    dialog.port_edit()->setText("2001");
    dialog.OnOk();
  }
  EXPECT_FALSE(AddressBookStore::Read(ListKind::kEthernet, "old"));
  const auto moved = AddressBookStore::Read(ListKind::kEthernet, "new");
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->port, 2001u);
  EXPECT_EQ(moved->password, "pw");
}

TEST_F(AddressBookTest, SavingUnderAnExistingAliasOverwritesIt) {
  AddressBookStore::Write(ListKind::kEthernet, {"dvr", "10.0.0.1", 2000, "a", "b"});
  CAddressEntryDialog dialog(nullptr, dialogs_, ListKind::kEthernet);
  FillEthernet(dialog, "dvr", "10.0.0.9", "2000");
  dialog.OnOk();
  EXPECT_EQ(AddressBookStore::Count(ListKind::kEthernet), 1u);
  EXPECT_EQ(AddressBookStore::Read(ListKind::kEthernet, "dvr")->ip, "10.0.0.9");
}

TEST_F(AddressBookTest, ReconnectAutomaticallyIsStoredPerEntryAndOffForEntriesWithoutIt) {
  // An entry as earlier versions stored it: no value for the reconnect.
  {
    const auto key =
        platform::RegistryKey::Create(std::string(AddressBookStore::ListKey(ListKind::kEthernet)) + "\\old");
    ASSERT_TRUE(key);
    key->WriteNumber("Port", 2000);
    key->WriteString("UserName", "admin");
    key->WriteString("Password", "1234");
    key->WriteString("IP", "10.0.0.1");
  }
  const auto old_entry = AddressBookStore::Read(ListKind::kEthernet, "old");
  ASSERT_TRUE(old_entry);
  EXPECT_FALSE(old_entry->auto_reconnect);
  {
    CAddressEntryDialog dialog(nullptr, dialogs_, ListKind::kEthernet, "old");
    ASSERT_NE(dialog.reconnect_check(), nullptr);
    EXPECT_EQ(dialog.reconnect_check()->text(), "Reconnect automatically");
    EXPECT_FALSE(dialog.reconnect_check()->isChecked());
    dialog.reconnect_check()->setChecked(true);
    dialog.OnOk();
  }
  const auto on = AddressBookStore::Read(ListKind::kEthernet, "old");
  ASSERT_TRUE(on);
  EXPECT_TRUE(on->auto_reconnect);
  EXPECT_EQ(platform::RegistryKey::Open(std::string(AddressBookStore::ListKey(ListKind::kEthernet)) + "\\old")
                ->ReadNumber("AutoReconnect"),
            1u);
  {
    CAddressEntryDialog dialog(nullptr, dialogs_, ListKind::kEthernet, "old");
    EXPECT_TRUE(dialog.reconnect_check()->isChecked());
    dialog.reconnect_check()->setChecked(false);
    dialog.OnOk();
  }
  EXPECT_FALSE(AddressBookStore::Read(ListKind::kEthernet, "old")->auto_reconnect);

  // The telephone entry has it too, below its longer form.
  CAddressEntryDialog phone(nullptr, dialogs_, ListKind::kTelephone);
  ASSERT_NE(phone.reconnect_check(), nullptr);
  EXPECT_LT(phone.reconnect_check()->geometry().bottom(), phone.ok_button()->geometry().top());
}

TEST_F(AddressBookTest, DomainNameNeedsAHostAndAPort) {
  CAddressEntryDialog dialog(nullptr, dialogs_, ListKind::kDomainName);
  dialog.alias_edit()->setText("cloud");
  dialog.user_edit()->setText("u");
  dialog.password_edit()->setText("p");
  dialog.confirm_edit()->setText("p");
  EXPECT_EQ(dialog.Validate(), 130);
  dialog.host_edit()->setText("localhost");
  EXPECT_EQ(dialog.Validate(), 0);
}

TEST_F(AddressBookTest, DialogListsRowsAndRefusesModifyAndDeleteWithoutSelection) {
  AddressBookStore::Write(ListKind::kEthernet, {"b-dvr", "10.0.0.2", 0x10000 + 2000, "admin", "secret"});
  AddressBookStore::Write(ListKind::kEthernet, {"a-dvr", "10.0.0.1", 2000, "admin", "secret"});
  AddressBookStore::Write(ListKind::kTelephone, {"phone", "82-2-123-4567", 2000, "u", "p"});
  testing::BoxRecorder boxes(dialogs_);
  CAddressBookDialog dialog(nullptr, dialogs_, ListKind::kEthernet);
  EXPECT_EQ(dialog.windowTitle(), "Kaviro - Address Book");
  QTreeWidget* ethernet = dialog.list(ListKind::kEthernet);
  ASSERT_EQ(ethernet->topLevelItemCount(), 2);
  EXPECT_EQ(ethernet->topLevelItem(0)->text(0), "a-dvr");  // store order
  EXPECT_EQ(ethernet->topLevelItem(1)->text(2), "2000");   // low 16 bits of the port
  EXPECT_EQ(ethernet->topLevelItem(1)->text(4), "*******");
  EXPECT_EQ(dialog.list(ListKind::kTelephone)->columnCount(), 4);
  EXPECT_FALSE(dialog.list(ListKind::kTelephone)->isEnabled());

  dialog.OnModify();
  dialog.OnDelete();
  ASSERT_EQ(boxes.count(), 2u);
  EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kWarning);
  EXPECT_EQ(boxes.boxes()[1].icon, BoxIcon::kNone);
  EXPECT_EQ(boxes.texts()[1], "Please, To select an Alias Name.");
  EXPECT_EQ(AddressBookStore::Count(ListKind::kEthernet), 2u);

  ethernet->topLevelItem(1)->setSelected(true);
  dialog.OnDelete();
  EXPECT_EQ(ethernet->topLevelItemCount(), 1);
  EXPECT_FALSE(AddressBookStore::Read(ListKind::kEthernet, "b-dvr"));

  // Add through the entry dialog, driven as the operator would.
  dialog.SetActive(ListKind::kTelephone);
  EXPECT_TRUE(dialog.list(ListKind::kTelephone)->isEnabled());
  EXPECT_FALSE(ethernet->isEnabled());
  dialogs_.SetDialogHook([](QDialog& opened) {
    auto& entry = static_cast<CAddressEntryDialog&>(opened);
    EXPECT_EQ(entry.kind(), ListKind::kTelephone);
    entry.alias_edit()->setText("second");
    entry.country_edit()->setText("82");
    entry.area_edit()->setText("31");
    entry.major_edit()->setText("555");
    entry.minor_edit()->setText("1234");
    entry.user_edit()->setText("u");
    entry.password_edit()->setText("p");
    entry.confirm_edit()->setText("p");
    entry.OnOk();
    return entry.result();
  });
  dialog.OnAdd();
  EXPECT_EQ(dialog.list(ListKind::kTelephone)->topLevelItemCount(), 2);
  EXPECT_EQ(AddressBookStore::Read(ListKind::kTelephone, "second")->ip, "82-31-555-1234");
}

TEST_F(AddressBookTest, HostNamesResolveToTheirLastIpv4Address) {
  EXPECT_EQ(ResolveLastIpv4("127.0.0.1").value_or(""), "127.0.0.1");
  EXPECT_FALSE(ResolveLastIpv4("no-such-host.invalid"));
  EXPECT_FALSE(ResolveLastIpv4(""));
}

}  // namespace
}  // namespace shell
