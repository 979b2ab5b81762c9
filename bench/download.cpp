// The file download session's speed: a 64 MB stretch served by the emulated
// DVR over the loopback, through the session's socket, reassembly, dispatch
// and file writes; against it, a plain socket read of the same bytes from the
// same emulator in this run (logon and requests sent by hand, nothing kept).
// Prints MB/s of both, and last "ratio <session time / plain read time>".
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "client/sessions/file_download_session.h"
#include "protocol/command_codes.h"
#include "protocol/packet_header.h"
#include "protocol/payload.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/file_port.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kWantedBytes = 64ull << 20;

class BenchUi : public sessions::IFileDownloadUi {
 public:
  void DownloadStarted() override {}
  void DownloadEnded(sessions::DownloadOutcome outcome) override {
    complete = outcome == sessions::DownloadOutcome::kComplete;
    ended = true;
  }
  void SetProgressRange(long) override {}
  void ShowProgress(const std::string&, const std::string&, long) override {}
  void ShowMessage(const std::string& text, sessions::MessageIcon) override {
    std::fprintf(stderr, "download: %s\n", text.c_str());
  }
  void DisconnectSearchViewer() override {}
  std::atomic<bool> ended{false};
  std::atomic<bool> complete{false};
};

bool SendPacket(int fd, uint32_t code, const std::vector<uint8_t>& payload) {
  const auto header = protocol::BuildHeader(protocol::PortKind::kFile, static_cast<uint16_t>(payload.size()), code);
  std::vector<uint8_t> bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// Receives exactly `count` bytes into `into` (or discards them).
bool ReceiveExactly(int fd, uint8_t* into, size_t count) {
  while (count > 0) {
    const ssize_t n = recv(fd, into, count, 0);
    if (n <= 0) return false;
    into += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

// One whole packet; its code and payload.
bool ReceivePacket(int fd, uint32_t* code, std::vector<uint8_t>* payload) {
  protocol::HeaderBytes header;
  if (!ReceiveExactly(fd, header.data(), header.size())) return false;
  *code = protocol::HeaderCode(header);
  payload->resize(protocol::HeaderPayloadLength(header));
  return ReceiveExactly(fd, payload->data(), payload->size());
}

// The plain read: the same exchange by hand, then the data read in large
// pieces and counted, never parsed beyond what ends it; with `copy`, each
// piece also written to that file, to tell the disk's share from the rest.
double PlainRead(uint16_t port, const std::vector<uint8_t>& request, uint64_t total, const std::string& copy = {}) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const auto started = Clock::now();
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
  uint32_t code = 0;
  std::vector<uint8_t> payload;
  protocol::PayloadWriter auth;
  auth.cstring("admin").cstring("1234");
  if (!ReceivePacket(fd, &code, &payload) || !SendPacket(fd, protocol::file_cmd::AUTH_DATA, auth.bytes()) ||
      !ReceivePacket(fd, &code, &payload) || !SendPacket(fd, protocol::file_cmd::REQ_FILEDOWNLOAD, request) ||
      !ReceivePacket(fd, &code, &payload) || !SendPacket(fd, protocol::file_cmd::REQ_FILEINFO, {0x21}) ||
      !ReceivePacket(fd, &code, &payload) || !SendPacket(fd, protocol::file_cmd::REQ_FILEDATA, {0x22})) {
    close(fd);
    return -1;
  }
  const uint64_t chunk = dvremu::FileConnection::kChunkSize;
  const uint64_t wire = total + protocol::kHeaderSize * ((total + chunk - 1) / chunk) + protocol::kHeaderSize + 1;
  std::vector<uint8_t> buffer(1 << 20);
  const int out = copy.empty() ? -1 : open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  uint64_t got = 0;
  while (got < wire) {
    const ssize_t n = recv(fd, buffer.data(), std::min<uint64_t>(buffer.size(), wire - got), 0);
    if (n <= 0) break;
    if (out >= 0 && write(out, buffer.data(), static_cast<size_t>(n)) != n) break;
    got += static_cast<uint64_t>(n);
  }
  if (out >= 0) close(out);
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  close(fd);
  return got == wire ? seconds : -1;
}

}  // namespace

int main() {
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  options.unpaced = true;
  options.channels = 16;
  options.width = 704;
  options.height = 480;
  auto dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
  if (!dvr) {
    std::fprintf(stderr, "cannot start the emulator\n");
    return 1;
  }
  // The longest finished file, cut to the seconds that make 64 MB.
  const dvremu::RecordFile* file = nullptr;
  for (const dvremu::RecordFile& candidate : dvr->recordings().files()) {
    if (!candidate.still_recording && (file == nullptr || candidate.duration_s > file->duration_s)) file = &candidate;
  }
  const uint64_t whole =
      dvremu::RecordFileStream(dvr->video(), *file, dvremu::StretchOf(*file, options.fps, 0, 0, 0, 0)).total_size();
  const uint64_t per_second = std::max<uint64_t>(1, whole / static_cast<uint64_t>(file->duration_s));
  const int seconds = static_cast<int>(std::min<uint64_t>(file->duration_s, kWantedBytes / per_second + 1));
  const int start = file->start_in_hour_s();
  const int end = start + seconds;

  using protocol::BcdFromNumber;
  sessions::FileDownloadRecord record;
  record.user_name = "admin";
  record.password = "1234";
  record.month = BcdFromNumber(file->month);
  record.day = BcdFromNumber(file->day);
  record.year = BcdFromNumber(file->year % 100);
  record.hour = BcdFromNumber(file->hour);
  record.start_minute = BcdFromNumber(start / 60);
  record.start_second = BcdFromNumber(start % 60);
  record.end_minute = BcdFromNumber(end / 60);
  record.end_second = BcdFromNumber(end % 60);
  record.address = "127.0.0.1";
  record.port = dvr->file_port();
  record.file_index = file->index;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kaviro-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  record.local_path = (folder / "download.amg").string();
  const uint64_t total =
      dvremu::RecordFileStream(dvr->video(), *file,
                               dvremu::StretchOf(*file, options.fps, start / 60, start % 60, end / 60, end % 60))
          .total_size();

  protocol::PayloadWriter request;
  request.u8(protocol::sub::kFileDownload).u32le(record.file_index);
  for (uint8_t byte : {record.month, record.day, record.year, record.hour, record.start_minute, record.start_second,
                       record.end_minute, record.end_second}) {
    request.u8(byte);
  }

  // Alternated, best of fifteen each, so neither side has the warmer machine.
  double session_best = 1e9;
  double plain_best = 1e9;
  double written_best = 1e9;
  for (int round = 0; round < 15; ++round) {
    const double plain = PlainRead(dvr->file_port(), request.bytes(), total);
    if (plain < 0) {
      std::fprintf(stderr, "the plain read failed\n");
      return 1;
    }
    plain_best = std::min(plain_best, plain);
    const double written = PlainRead(dvr->file_port(), request.bytes(), total, (folder / "plain.bin").string());
    if (written > 0) written_best = std::min(written_best, written);

    BenchUi ui;
    sessions::CFileDownloadSession session(ui);
    std::filesystem::remove(record.local_path);
    const auto started = Clock::now();
    if (session.Start(record) != 0) return 1;
    while (!ui.ended) std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double took = std::chrono::duration<double>(Clock::now() - started).count();
    session.Stop();
    if (!ui.complete || std::filesystem::file_size(record.local_path) != total + 5) {
      std::fprintf(stderr, "the session's download was not complete\n");
      return 1;
    }
    session_best = std::min(session_best, took);
  }
  std::filesystem::remove_all(folder);
  dvr->Stop();
  const double mb = static_cast<double>(total) / (1 << 20);
  std::printf("stretch: %.1f MB (%d s of %d channels, %dx%d)\n", mb, seconds, options.channels, options.width,
              options.height);
  std::printf("session:    %.3f s  %.0f MB/s\n", session_best, mb / session_best);
  std::printf("plain read: %.3f s  %.0f MB/s\n", plain_best, mb / plain_best);
  std::printf("plain read and write: %.3f s  %.0f MB/s (session / this: %.2f)\n", written_best, mb / written_best,
              session_best / written_best);
  std::printf("ratio %.2f\n", session_best / plain_best);
  return 0;
}
