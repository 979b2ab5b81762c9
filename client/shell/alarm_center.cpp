#include "client/shell/alarm_center.h"

#include <QMessageBox>

#include "client/shell/operator_dialogs.h"
#include "client/shell/ui_thread.h"

namespace shell {

CAlarmCenter::~CAlarmCenter() { DismissAll(); }

bool CAlarmCenter::ShowAlarm(int alarm_id, const std::string& caption, const std::string& text) {
  {
    std::lock_guard guard(lock_);
    // An update may have come first; it is the newer text.
    if (auto [box, fresh] = boxes_.try_emplace(alarm_id); fresh) box->second.text = text;
  }
  open_.fetch_add(1);
  TellPending();
  const BoxAnswer answer = dialogs_.ShowOwnerlessMessageBox(
      text, caption, BoxIcon::kWarning,
      [this, alarm_id](QMessageBox& box) {
        {
          std::lock_guard guard(lock_);
          boxes_[alarm_id].open = &box;
        }
        ShowText(alarm_id);
      },
      [this, alarm_id] { Silence(alarm_id); });
  open_.fetch_sub(1);
  TellPending();
  std::lock_guard guard(lock_);
  boxes_.erase(alarm_id);
  return answer == BoxAnswer::kOk;
}

void CAlarmCenter::UpdateAlarm(int alarm_id, const std::string& text) {
  {
    std::lock_guard guard(lock_);
    boxes_[alarm_id].text = text;
  }
  QMetaObject::invokeMethod(
      &updates_, [this, alarm_id] { ShowText(alarm_id); }, Qt::QueuedConnection);
}

// User-interface thread.
void CAlarmCenter::ShowText(int alarm_id) {
  QPointer<QMessageBox> box;
  QString text;
  {
    std::lock_guard guard(lock_);
    const auto it = boxes_.find(alarm_id);
    if (it == boxes_.end()) return;
    box = it->second.open;
    text = QString::fromStdString(it->second.text);
  }
  if (box && box->text() != text) box->setText(text);
}

void CAlarmCenter::StartBuzzer(int alarm_id) {
  auto buzzer = std::make_unique<CBuzzer>();
  buzzer->Start(true);
  std::lock_guard guard(lock_);
  buzzers_[alarm_id] = std::move(buzzer);
}

void CAlarmCenter::StopBuzzer(int alarm_id) {
  {
    std::lock_guard guard(lock_);
    boxes_.erase(alarm_id);
  }
  Silence(alarm_id);
}

void CAlarmCenter::Silence(int alarm_id) {
  std::unique_ptr<CBuzzer> buzzer;
  {
    std::lock_guard guard(lock_);
    const auto it = buzzers_.find(alarm_id);
    if (it == buzzers_.end()) return;
    buzzer = std::move(it->second);
    buzzers_.erase(it);
  }
  // Stops every wave of the process, as acknowledging one alarm always did.
  buzzer->Stop();
}

// Queued, so that the alarm threads never wait for the user-interface thread
// here; the listener reads the count as it stands when it runs.
void CAlarmCenter::TellPending() {
  QMetaObject::invokeMethod(
      &updates_,
      [this] {
        if (pending_listener_) pending_listener_(open_.load());
      },
      Qt::QueuedConnection);
}

void CAlarmCenter::DismissAll() {
  RunOnUiThread([this] { dialogs_.DismissOwnerlessBoxes(); });
}

int CAlarmCenter::buzzer_count() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(buzzers_.size());
}

}  // namespace shell
