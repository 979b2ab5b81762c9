#include "client/shell/testing/shell_test_support.h"

#include <unistd.h>
#include <cstdlib>
#include <thread>

#include "client/shell/settings_keys.h"

namespace shell::testing {

QApplication& App() {
  static int argc = 1;
  static char name[] = "kaviro-test";
  static char* argv[] = {name, nullptr};
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

ScratchRegistry::ScratchRegistry() {
  char pattern[] = "/tmp/kaviro-shell-test-XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd >= 0) close(fd);
  path_ = pattern;
  std::remove(path_.c_str());
  setenv("KAVIRO_REGISTRY", path_.c_str(), 1);
  InstallKeys(true);
}

ScratchRegistry::~ScratchRegistry() {
  std::remove(path_.c_str());
  unsetenv("KAVIRO_REGISTRY");
}

BoxRecorder::BoxRecorder(BoxAnswer answer) : answer_(answer) {}

BoxRecorder::BoxRecorder(COperatorDialogs& dialogs, BoxAnswer answer) : answer_(answer) { Answer(dialogs); }

void BoxRecorder::Answer(COperatorDialogs& dialogs) {
  dialogs.SetBoxHook([record = record_, answer = answer_](const BoxRequest& request) {
    std::lock_guard guard(record->lock);
    record->boxes.push_back(request);
    return answer;
  });
}

std::vector<BoxRequest> BoxRecorder::boxes() const {
  std::lock_guard guard(record_->lock);
  return record_->boxes;
}

std::vector<std::string> BoxRecorder::texts() const {
  std::lock_guard guard(record_->lock);
  std::vector<std::string> texts;
  for (const BoxRequest& box : record_->boxes) texts.push_back(box.text);
  return texts;
}

size_t BoxRecorder::count() const {
  std::lock_guard guard(record_->lock);
  return record_->boxes.size();
}

}  // namespace shell::testing
