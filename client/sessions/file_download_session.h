// CFileDownloadSession: one download of a recorded stretch on the DVR's file
// download port. It logs on with the record's credentials, asks for the
// stretch, learns its size and information block, creates the local file and
// appends every FILE_DATA payload to it, showing progress once a second.
// Whatever way the download ends (complete, cancelled, refused, the DVR gone,
// a failed write, the dialog closed), a file that was created keeps every
// byte received and ends with the 5-byte trailer; only FILEDOWNLOAD_COMPLETE
// with a success result reports the download complete.
//
// Threads: Start, Cancel and Stop run on the user-interface thread (the
// dialog's, or kaviroctl's main thread). Replies are handled on the download
// socket's worker. The IFileDownloadUi calls come from either thread; an
// implementation hands them to its user-interface thread (sessions'
// CallOnOwnerThread), so once Stop asks the worker to end, the worker's
// pending calls are given up and Stop never waits for a worker that waits
// for it.
//
// Locks: file_lock_ guards the output file, the information block and the
// byte counters, which the worker writes and Cancel/Stop finish. It is never
// held across a call of the UI.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <span>
#include <string>

#include "client/sessions/download_socket.h"
#include "client/sessions/file_download_record.h"
#include "client/sessions/session_ui.h"
#include "protocol/download_replies.h"
#include "protocol/reassembler.h"

namespace sessions {

// How a download ended, told with the dialog's notification 1.
enum class DownloadOutcome {
  kComplete = 1,   // FILEDOWNLOAD_COMPLETE with success: every byte is in
  kCancelled,      // the operator cancelled; the bytes so far are kept
  kRefused,        // RESP_FILEDOWNLOAD refused the stretch
  kFailed,         // the DVR reported a failure, sent garbage or went away
  kWriteFailed,    // the local file could not be written
  kConnectFailed,  // the file download port could not be reached
};

// The dialog side of the session.
class IFileDownloadUi {
 public:
  virtual ~IFileDownloadUi() = default;
  // Notification 0: the DVR accepted; range and start controls go disabled.
  virtual void DownloadStarted() = 0;
  // Notification 1: controls enabled again and the dialog closes.
  virtual void DownloadEnded(DownloadOutcome outcome) = 0;
  virtual void SetProgressRange(long maximum) = 0;
  // "%ld KB / %ld KB", "%ld Kbps" and the bar's position.
  virtual void ShowProgress(const std::string& size_text, const std::string& rate_text, long position) = 0;
  // Returns once the operator has closed the box.
  virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
  // The administrator took the DVR over (0x51): the search viewer's
  // disconnect command.
  virtual void DisconnectSearchViewer() = 0;
};

// The progress texts of the dialog.
std::string DownloadSizeText(uint64_t received, uint64_t total);
std::string DownloadRateText(uint64_t bytes_this_second);

// The file download port of a DVR whose command port is `command_port`, or
// over a modem the loopback bridge's file port (2002 unless a tool moved it).
uint16_t FileDownloadPort(uint16_t command_port, bool over_modem);
const char* FileDownloadAddress(const std::string& dvr_address, bool over_modem);

class CFileDownloadSession : public ICommandSocketOwner {
 public:
  static constexpr size_t kTrailerSize = 5;

  explicit CFileDownloadSession(IFileDownloadUi& ui);
  ~CFileDownloadSession() override;
  CFileDownloadSession(const CFileDownloadSession&) = delete;
  CFileDownloadSession& operator=(const CFileDownloadSession&) = delete;

  // 0, or E_FAIL when a connection is already up or the socket cannot open.
  int Start(const FileDownloadRecord& record);
  void Cancel();
  int Stop();

  bool connected() const { return connected_ != 0; }
  uint64_t total_size() const { return total_size_; }
  uint64_t received() const;
  // The local file being written, empty before RESP_FILEINFO.
  std::string file_path() const;
  // What the last download met, for callers that report without a dialog:
  // the logon's result byte (-1 before one came), the reason of a refusal
  // (0: none given) and the Winsock error of a failed connect.
  int logon_result() const { return logon_result_; }
  uint8_t refusal_reason() const { return refusal_reason_; }
  int connect_error() const { return connect_error_; }

  // ICommandSocketOwner, on the worker thread.
  void OnConnect(int error) override;
  void OnReceive() override;
  void OnClose(int error) override;

 private:
  bool Dispatch(const protocol::PacketView& packet);
  void OnLogonResult(std::span<const uint8_t> payload);
  void OnFileDownloadReply(std::span<const uint8_t> payload);
  void OnFileInfo(std::span<const uint8_t> payload);
  void OnFileData(std::span<const uint8_t> payload);
  void OnComplete(std::span<const uint8_t> payload);
  void OnCancelReply(std::span<const uint8_t> payload);
  bool CheckResult(uint8_t result);
  int SendRequest(uint32_t code, std::span<const uint8_t> payload);
  // Appends the trailer and closes the file; false when no file was open.
  bool FinishFile(bool succeeded);
  // The DVR or the bytes failed us mid-way: keep what came, tell the operator.
  void Abandon(DownloadOutcome outcome, const std::string& message);
  void End(DownloadOutcome outcome);
  void ResetState();

  IFileDownloadUi& ui_;
  CDownloadSocket socket_;
  protocol::Reassembler reassembler_;  // worker thread only, reset when stopped
  std::atomic<int> connected_{0};
  std::atomic<bool> ended_{false};  // notification 1 was given for this download
  std::atomic<bool> cancelled_{false};
  FileDownloadRecord record_;  // written by Start before the worker runs

  mutable std::mutex file_lock_;
  int file_ = -1;                                             // guarded by file_lock_
  std::string path_;                                          // guarded by file_lock_
  std::array<uint8_t, protocol::kFileInfoBlockSize> info_{};  // guarded by file_lock_
  uint64_t received_ = 0;                                     // guarded by file_lock_
  uint64_t this_second_ = 0;                                  // guarded by file_lock_
  std::time_t last_second_ = 0;                               // guarded by file_lock_
  std::atomic<uint64_t> total_size_{0};
  std::atomic<int> logon_result_{-1};
  std::atomic<uint8_t> refusal_reason_{0};
  std::atomic<int> connect_error_{0};
};

}  // namespace sessions
