// Arbitrary bytes from a DVR's file download port, through the download
// session's own socket, reassembly and dispatch, into a local file. The
// session must end the connection or go on, never crash or write past a
// buffer, and the file may hold no more than the bytes that came.
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "client/sessions/file_download_session.h"
#include "platform/tcp_socket.h"

namespace {

class QuietUi : public sessions::IFileDownloadUi {
 public:
  void DownloadStarted() override {}
  void DownloadEnded(sessions::DownloadOutcome) override {}
  void SetProgressRange(long) override {}
  void ShowProgress(const std::string&, const std::string&, long) override {}
  void ShowMessage(const std::string&, sessions::MessageIcon) override {}
  void DisconnectSearchViewer() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint16_t port = 0;
  static const int listener = platform::ListenOnLoopback(0, &port);
  static const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                                  "/fuzz_file_download_" + std::to_string(getpid()) + ".amg";
  if (listener < 0) return 0;

  QuietUi ui;
  sessions::CFileDownloadSession session(ui);
  sessions::FileDownloadRecord record;
  record.user_name = "admin";
  record.password = "1234";
  record.address = "127.0.0.1";
  record.port = port;
  record.local_path = path;
  unlink(path.c_str());
  if (session.Start(record) != 0) return 0;
  const int peer = accept(listener, nullptr, nullptr);
  if (peer < 0) return 0;
  for (size_t sent = 0; sent < size;) {
    const ssize_t n = send(peer, data + sent, size - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  shutdown(peer, SHUT_WR);
  // Drain what the session sends until it hangs up, so it never blocks.
  uint8_t sink[4096];
  while (recv(peer, sink, sizeof sink, 0) > 0) {
  }
  close(peer);
  session.Stop();
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 &&
      static_cast<size_t>(info.st_size) > size + sessions::CFileDownloadSession::kTrailerSize) {
    __builtin_trap();
  }
  unlink(path.c_str());
  return 0;
}
