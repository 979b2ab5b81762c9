// Test support for the file download session: a dialog stand-in that
// records what the operator would have seen, handed to the application's
// thread as the shell's dialog does, so a worker's call is recorded only
// while the test pumps events, and not at all once its socket is stopping.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "client/sessions/file_download_session.h"

namespace sessions::testing {

class RecordingDownloadUi : public IFileDownloadUi {
 public:
  void DownloadStarted() override;
  void DownloadEnded(DownloadOutcome outcome) override;
  void SetProgressRange(long maximum) override;
  void ShowProgress(const std::string& size_text, const std::string& rate_text, long position) override;
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  void DisconnectSearchViewer() override;

  // Forgets everything, for the next download of a test.
  void Clear();
  int started() const;
  std::optional<DownloadOutcome> outcome() const;
  long range() const;
  std::vector<std::string> size_texts() const;
  std::vector<std::string> messages() const;
  int search_disconnects() const;

 private:
  mutable std::mutex lock_;
  int started_ = 0;
  std::optional<DownloadOutcome> outcome_;
  long range_ = -1;
  std::vector<std::string> size_texts_;
  std::vector<std::string> messages_;
  int search_disconnects_ = 0;
};

}  // namespace sessions::testing
