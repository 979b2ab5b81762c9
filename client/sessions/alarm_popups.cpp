#include "client/sessions/alarm_popups.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/string_table.h"
#include "platform/trace.h"

namespace sessions {
namespace {

constexpr int kSensorBoxText = 148;
constexpr int kMotionBoxText = 149;

}  // namespace

AlarmPopups::AlarmPopups(ISessionUi& ui) : ui_(ui), state_(std::make_shared<State>()) {}

AlarmPopups::~AlarmPopups() {
  {
    std::lock_guard guard(state_->lock);
    state_->closed = true;
  }
  // A box left up keeps its thread; it no longer reaches the session.
  const auto deadline = platform::BoundedWorker::Clock::now() + std::chrono::milliseconds(kJoinTimeoutMs);
  std::lock_guard threads(threads_lock_);
  for (platform::BoundedWorker& box : threads_) box.JoinUntil(deadline);
}

AlarmBox AlarmPopups::MakeBox(int id, int dvr_number, AlarmKind kind, int number, int repeats) {
  AlarmBox box;
  box.id = id;
  box.dvr_number = dvr_number;
  box.kind = kind;
  box.number = number;
  box.repeats = repeats;
  const bool sensor = kind == AlarmKind::kSensor;
  box.caption = sensor ? "Sensor Alarm Out" : "Motion Alarm Out";
  box.text = platform::FormatString(sensor ? kSensorBoxText : kMotionBoxText, dvr_number, number);
  if (repeats > 0) {
    box.text += "\nRaised again " + std::to_string(repeats) + (repeats == 1 ? " time" : " times") +
                " while this box was open.\n";
  }
  return box;
}

void AlarmPopups::Raise(int dvr_number, AlarmKind kind, int number, std::function<void()> release) {
  const AlarmKey key{dvr_number, kind, number};
  std::lock_guard threads(threads_lock_);
  std::erase_if(threads_, [](platform::BoundedWorker& box) {
    return box.finished() && box.JoinWithin(std::chrono::milliseconds(0));
  });
  // The alarm travels to its thread by value: a second alarm arriving before
  // the first box is up must not change what the first box says.
  AlarmBox box;
  {
    std::lock_guard guard(state_->lock);
    if (state_->closed) return;
    if (const auto it = state_->pending.find(key); it != state_->pending.end()) {
      Pending& pending = it->second;
      ++pending.repeats;
      ui_.UpdateAlarm(MakeBox(pending.id, dvr_number, kind, number, pending.repeats));
      return;
    }
    box = MakeBox(state_->next_id++, dvr_number, kind, number);
    state_->pending[key] = Pending{box.id, 0};
    ++state_->open;
  }
  platform::BoundedWorker thread;
  if (!thread.Start([state = state_, ui = &ui_, box, release = std::move(release)] { Run(state, ui, box, release); })) {
    // The alert line is in the event log already; only the box is lost.
    Trace("Alarm box of DVR-%d not shown: %s", dvr_number, std::strerror(EAGAIN));
    std::lock_guard guard(state_->lock);
    state_->pending.erase(key);
    --state_->open;
    return;
  }
  threads_.push_back(std::move(thread));
}

int AlarmPopups::open_boxes() const {
  std::lock_guard guard(state_->lock);
  return state_->open;
}

void AlarmPopups::Run(const std::shared_ptr<State>& state, ISessionUi* ui, const AlarmBox& box,
                      const std::function<void()>& release) {
  ui->StartBuzzer(box.id);
  Trace("%s", box.text.c_str());
  const bool acknowledged = ui->ShowAlarm(box);
  {
    std::lock_guard guard(state->lock);
    // The next alarm of this number opens a box of its own.
    state->pending.erase(AlarmKey{box.dvr_number, box.kind, box.number});
    // Only OK releases the alarm out; a box closed otherwise leaves it on.
    if (acknowledged && !state->closed && release) release();
  }
  ui->StopBuzzer(box.id);
  std::lock_guard guard(state->lock);
  --state->open;
}

}  // namespace sessions
