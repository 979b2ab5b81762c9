#include "client/sessions/alarm_popups.h"

#include <chrono>
#include <system_error>

#include "platform/string_table.h"
#include "platform/trace.h"

namespace sessions {
namespace {

constexpr int kSensorBoxText = 148;
constexpr int kMotionBoxText = 149;

}  // namespace

AlarmPopups::AlarmPopups(ISessionUi& ui) : ui_(ui), state_(std::make_shared<State>()) {}

AlarmPopups::~AlarmPopups() {
  std::unique_lock guard(state_->lock);
  state_->closed = true;
  state_->idle.wait_for(guard, std::chrono::milliseconds(kJoinTimeoutMs), [this] { return state_->open == 0; });
  guard.unlock();
  std::lock_guard threads(threads_lock_);
  for (BoxThread& box : threads_) {
    // An unanswered box keeps its thread; it no longer reaches the session.
    if (box.answered->load()) {
      box.thread.join();
    } else {
      box.thread.detach();
    }
  }
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
  std::erase_if(threads_, [](BoxThread& finished) {
    if (!finished.answered->load()) return false;
    finished.thread.join();
    return true;
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
  auto answered = std::make_shared<std::atomic<bool>>(false);
  threads_.reserve(threads_.size() + 1);
  try {
    threads_.push_back({std::thread(Run, state_, &ui_, box, std::move(release), answered), answered});
  } catch (const std::system_error& error) {
    // The alert line is in the event log already; only the box is lost.
    Trace("Alarm box of DVR-%d not shown: %s", dvr_number, error.what());
    std::lock_guard guard(state_->lock);
    state_->pending.erase(key);
    --state_->open;
    state_->idle.notify_all();
  }
}

int AlarmPopups::open_boxes() const {
  std::lock_guard guard(state_->lock);
  return state_->open;
}

void AlarmPopups::Run(std::shared_ptr<State> state, ISessionUi* ui, AlarmBox box,
                      std::function<void()> release, std::shared_ptr<std::atomic<bool>> answered) {
  ui->StartBuzzer(box.id);
  Trace("%s", box.text.c_str());
  const bool acknowledged = ui->ShowAlarm(box);
  // Answered: from here the thread ends promptly, so it can be joined.
  answered->store(true);
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
  state->idle.notify_all();
}

}  // namespace sessions
