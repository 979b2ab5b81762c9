#include "client/shell/testing/window_fixture.h"

#include "client/shell/buzzer.h"
#include "client/shell/event_log.h"

namespace shell::testing {

void WindowFixture::SetUp() {
  App();
  SetAudioOutputOverride(false);
  SetToneHook([](int, int) {});
  window_ = std::make_unique<CMainWindow>();
  boxes_.Answer(window_->dialogs());
  window_->show();
}

void WindowFixture::TearDown() {
  window_->alarms().DismissAll();
  window_.reset();
  JoinBeepThreads();
  SetToneHook({});
  SetAudioOutputOverride(std::nullopt);
}

bool WindowFixture::HasLogLine(const std::string& text) const {
  std::string log = "\n";
  for (const auto& line : window_->event_log()->Lines()) log += line.text.toStdString() + "\n";
  return log.find("\n" + text + "\n") != std::string::npos;
}

std::optional<BoxRequest> WindowFixture::BoxWith(const std::string& part, size_t from) const {
  const auto boxes = boxes_.boxes();
  for (size_t i = from; i < boxes.size(); ++i) {
    if (boxes[i].text.find(part) != std::string::npos) return boxes[i];
  }
  return std::nullopt;
}

}  // namespace shell::testing
