// Test support for the shell: the QApplication, a private configuration
// store per test, and answering hooks that record what the operator saw.
#pragma once

#include <QApplication>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "client/shell/message_box.h"

namespace shell::testing {

// The process's QApplication (offscreen), created on first use.
QApplication& App();

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(5));

// A fresh configuration store in a temporary file, with the keys installed;
// removed again when the object goes.
class ScratchRegistry {
 public:
  ScratchRegistry();
  ~ScratchRegistry();

 private:
  std::string path_;
};

// Answers every message box with `answer` and keeps what was shown.
class BoxRecorder {
 public:
  explicit BoxRecorder(BoxAnswer answer = BoxAnswer::kOk);
  ~BoxRecorder();
  std::vector<BoxRequest> boxes() const;
  std::vector<std::string> texts() const;
  size_t count() const;

 private:
  mutable std::mutex lock_;
  std::vector<BoxRequest> boxes_;
};

}  // namespace shell::testing
