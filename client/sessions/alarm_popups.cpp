#include "client/sessions/alarm_popups.h"

#include <chrono>

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

AlarmBox AlarmPopups::MakeBox(int id, int dvr_number, AlarmKind kind, int number) {
  AlarmBox box;
  box.id = id;
  box.dvr_number = dvr_number;
  box.kind = kind;
  box.number = number;
  const bool sensor = kind == AlarmKind::kSensor;
  box.caption = sensor ? "Sensor Alarm Out" : "Motion Alarm Out";
  box.text = platform::FormatString(sensor ? kSensorBoxText : kMotionBoxText, dvr_number, number);
  return box;
}

void AlarmPopups::Raise(int dvr_number, AlarmKind kind, int number, std::function<void()> release) {
  int id = 0;
  {
    std::lock_guard guard(state_->lock);
    if (state_->closed) return;
    id = state_->next_id++;
    ++state_->open;
  }
  // The alarm travels to its thread by value: a second alarm arriving before
  // the first box is up must not change what the first box says.
  AlarmBox box = MakeBox(id, dvr_number, kind, number);
  auto answered = std::make_shared<std::atomic<bool>>(false);
  std::lock_guard threads(threads_lock_);
  std::erase_if(threads_, [](BoxThread& finished) {
    if (!finished.answered->load()) return false;
    finished.thread.join();
    return true;
  });
  threads_.push_back({std::thread(Run, state_, &ui_, std::move(box), std::move(release), answered), answered});
}

int AlarmPopups::open_boxes() const {
  std::lock_guard guard(state_->lock);
  return state_->open;
}

void AlarmPopups::Run(std::shared_ptr<State> state, ISessionUi* ui, AlarmBox box,
                      std::function<void()> release, std::shared_ptr<std::atomic<bool>> answered) {
  ui->StartBuzzer(box.id);
  Trace("%s", box.text.c_str());
  ui->ShowAlarm(box);
  // Answered: from here the thread ends promptly, so it can be joined.
  answered->store(true);
  {
    std::lock_guard guard(state->lock);
    if (!state->closed && release) release();
  }
  ui->StopBuzzer(box.id);
  std::lock_guard guard(state->lock);
  --state->open;
  state->idle.notify_all();
}

}  // namespace sessions
