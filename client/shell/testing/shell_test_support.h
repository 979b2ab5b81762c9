// Test support for the shell: the QApplication, a private configuration
// store per test, and answers in the operator's place that record what the
// operator would have seen.
#pragma once

#include <QApplication>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "client/shell/operator_dialogs.h"

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

// Answers every message box of the doors it is given with `answer` and keeps
// what was shown. The record is shared with the doors' hooks, so either may
// go first; a door keeps answering with it for the rest of its life.
class BoxRecorder {
 public:
  explicit BoxRecorder(BoxAnswer answer = BoxAnswer::kOk);
  explicit BoxRecorder(COperatorDialogs& dialogs, BoxAnswer answer = BoxAnswer::kOk);
  void Answer(COperatorDialogs& dialogs);

  std::vector<BoxRequest> boxes() const;
  std::vector<std::string> texts() const;
  size_t count() const;

 private:
  struct Record {
    std::mutex lock;
    std::vector<BoxRequest> boxes;  // guarded by lock
  };
  BoxAnswer answer_;
  std::shared_ptr<Record> record_ = std::make_shared<Record>();
};

}  // namespace shell::testing
