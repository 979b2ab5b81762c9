// CFileDownloadDialog: "Kaviro - File Download". It shows the recorded
// file's date, hour and range, lets the operator narrow the range to minutes
// and seconds, and runs the file download session it owns, showing the
// file name, the progress bar, "KB / KB" and "Kbps". Notification 0 disables
// the range and Start; notification 1 enables them and closes the dialog.
// Closing the dialog stops the session; what came so far stays in the file.
//
// Threads: the user-interface thread. The session's worker calls the
// IFileDownloadUi methods, which hand their work to this thread and wait
// (given up once the session stops the worker). While such work runs (a
// message box), a close is put off until it has returned, so the session is
// never stopped under a worker that waits for this thread.
#pragma once

#include <functional>
#include <memory>

#include "client/sessions/file_download_record.h"
#include "client/sessions/file_download_session.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/skinned_widgets.h"

class QComboBox;
class QLabel;
class QProgressBar;

namespace shell {

class CHoverButton;

class CFileDownloadDialog : public CSkinnedDialog, public sessions::IFileDownloadUi {
 public:
  static constexpr int kWidth = 460;
  static constexpr int kHeight = 260;

  // `disconnect_search` is the search viewer's disconnect command, for a DVR
  // whose administrator took it over.
  CFileDownloadDialog(QWidget* parent, COperatorDialogs& dialogs, const sessions::FileDownloadRecord& record,
                      std::function<void()> disconnect_search = {});
  ~CFileDownloadDialog() override;

  void OnStart();
  void OnCancel();

  // IFileDownloadUi (any thread).
  void DownloadStarted() override;
  void DownloadEnded(sessions::DownloadOutcome outcome) override;
  void SetProgressRange(long maximum) override;
  void ShowProgress(const std::string& size_text, const std::string& rate_text, long position) override;
  void ShowMessage(const std::string& text, sessions::MessageIcon icon) override;
  void DisconnectSearchViewer() override;

  QLabel* date_label() const { return date_; }
  QLabel* hour_label() const { return hour_; }
  QComboBox* start_minute() const { return start_minute_; }
  QComboBox* start_second() const { return start_second_; }
  QComboBox* end_minute() const { return end_minute_; }
  QComboBox* end_second() const { return end_second_; }
  CHoverButton* start_button() const { return start_; }
  QProgressBar* progress() const { return progress_; }
  QLabel* size_label() const { return size_; }
  QLabel* rate_label() const { return rate_; }
  QLabel* file_label() const { return file_; }
  sessions::CFileDownloadSession& session() { return *session_; }
  std::optional<sessions::DownloadOutcome> outcome() const { return outcome_; }

  void done(int result) override;

 private:
  void FillSeconds(QComboBox* seconds, int minute, bool is_start);
  void UpdateStart();
  void EnableRange(bool enabled);
  sessions::FileDownloadRecord Chosen() const;
  // Runs `work` on this thread for the session's worker; a close asked for
  // meanwhile is carried out once it has returned.
  void OnUiThread(const std::function<void()>& work);
  void StopSession();

  COperatorDialogs& dialogs_;
  const sessions::FileDownloadRecord record_;
  std::function<void()> disconnect_search_;
  QLabel* date_;
  QLabel* hour_;
  QComboBox* start_minute_;
  QComboBox* start_second_;
  QComboBox* end_minute_;
  QComboBox* end_second_;
  CHoverButton* start_;
  CHoverButton* cancel_;
  QProgressBar* progress_;
  QLabel* size_;
  QLabel* rate_;
  QLabel* file_;
  std::optional<sessions::DownloadOutcome> outcome_;
  int handovers_ = 0;                  // work of the worker running on this thread
  std::optional<int> pending_result_;  // a close put off until it returned
  std::unique_ptr<sessions::CFileDownloadSession> session_;
};

}  // namespace shell
