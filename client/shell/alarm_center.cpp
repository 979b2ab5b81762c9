#include "client/shell/alarm_center.h"

#include "client/shell/message_box.h"
#include "client/shell/ui_thread.h"
#include "platform/trace.h"

namespace shell {

CAlarmCenter::~CAlarmCenter() { DismissAll(); }

bool CAlarmCenter::ShowAlarm(const std::string& caption, const std::string& text) {
  Trace("%s", text.c_str());
  open_.fetch_add(1);
  const BoxAnswer answer = ShowOwnerlessMessageBox(text, caption, BoxIcon::kWarning);
  open_.fetch_sub(1);
  return answer == BoxAnswer::kOk;
}

void CAlarmCenter::StartBuzzer(int alarm_id) {
  auto buzzer = std::make_unique<CBuzzer>();
  buzzer->Start(true);
  std::lock_guard guard(lock_);
  buzzers_[alarm_id] = std::move(buzzer);
}

void CAlarmCenter::StopBuzzer(int alarm_id) {
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

void CAlarmCenter::DismissAll() {
  RunOnUiThread([] { DismissOwnerlessBoxes(); });
}

int CAlarmCenter::buzzer_count() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(buzzers_.size());
}

}  // namespace shell
