#include "client/sessions/testing/download_test_support.h"

#include "client/sessions/owner_call.h"
#include "client/sessions/testing/session_test_support.h"

namespace sessions::testing {
namespace {

bool OnUiThread(const std::function<void()>& work) { return CallOnOwnerThread(&Application(), work); }

}  // namespace

void RecordingDownloadUi::DownloadStarted() {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    ++started_;
  });
}

void RecordingDownloadUi::DownloadEnded(DownloadOutcome outcome) {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    outcome_ = outcome;
  });
}

void RecordingDownloadUi::SetProgressRange(long maximum) {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    range_ = maximum;
  });
}

void RecordingDownloadUi::ShowProgress(const std::string& size_text, const std::string&, long) {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    size_texts_.push_back(size_text);
  });
}

void RecordingDownloadUi::ShowMessage(const std::string& text, MessageIcon) {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    messages_.push_back(text);
  });
}

void RecordingDownloadUi::DisconnectSearchViewer() {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    ++search_disconnects_;
  });
}

void RecordingDownloadUi::Clear() {
  std::lock_guard guard(lock_);
  started_ = 0;
  outcome_.reset();
  range_ = -1;
  size_texts_.clear();
  messages_.clear();
  search_disconnects_ = 0;
}

int RecordingDownloadUi::started() const {
  std::lock_guard guard(lock_);
  return started_;
}

std::optional<DownloadOutcome> RecordingDownloadUi::outcome() const {
  std::lock_guard guard(lock_);
  return outcome_;
}

long RecordingDownloadUi::range() const {
  std::lock_guard guard(lock_);
  return range_;
}

std::vector<std::string> RecordingDownloadUi::size_texts() const {
  std::lock_guard guard(lock_);
  return size_texts_;
}

std::vector<std::string> RecordingDownloadUi::messages() const {
  std::lock_guard guard(lock_);
  return messages_;
}

int RecordingDownloadUi::search_disconnects() const {
  std::lock_guard guard(lock_);
  return search_disconnects_;
}

}  // namespace sessions::testing
