// CDvrStatusDialog: "Kaviro - Remote DVR Status & Calling Service". It asks
// the selected DVR's live session for the status when it first shows,
// refills every field each time a status arrives (unsaved edits included),
// and hands the edited calling service setting back to the session, which
// refuses anyone but "admin".
//
// Threads: user-interface thread only; statuses reach it through
// CShellSessionUi, which finds it by its title.
#pragma once

#include <map>

#include "client/sessions/dvr_services.h"
#include "client/shell/skinned_widgets.h"

class QLineEdit;

namespace shell {

class CColourLabel;
class CHoverButton;

class CDvrStatusDialog : public CSkinnedDialog {
 public:
  static constexpr int kTitleId = 156;
  // The display fields, by control ID.
  static constexpr int kVersion = 1157, kLanguage = 1158, kModel = 1159, kAddress = 1047, kCapacity = 1162,
                       kFirstDisk = 1165, kSecondDisk = 1166, kText6 = 1167, kText7 = 1168, kService = 1169;

  // `services` may be null: the dialog then keeps its initial texts and
  // "Set E-Mail" does nothing.
  CDvrStatusDialog(QWidget* parent, sessions::DvrServices* services, int slot);

  // UM_DVR_STATUS: every field from the block.
  void ShowStatus(const sessions::DvrStatusBlock& status);
  // "Set E-Mail": the edited setting to the session.
  void OnSetEmail();
  // The setting as the fields hold it now.
  sessions::ServiceSettingBlock EditedSetting() const;

  QLabel* field(int id) const { return fields_.at(id); }
  QLineEdit* service_address() const { return service_address_; }
  QLineEdit* email() const { return email_; }
  QLineEdit* dvr_id() const { return dvr_id_; }
  QLineEdit* call_number() const { return call_number_; }
  CHoverButton* set_email_button() const { return set_email_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  sessions::DvrServices* services_;
  const int slot_;
  bool requested_ = false;
  std::map<int, QLabel*> fields_;
  QLineEdit* service_address_;
  QLineEdit* email_;
  QLineEdit* dvr_id_;
  QLineEdit* call_number_;
  CHoverButton* set_email_;
};

}  // namespace shell
