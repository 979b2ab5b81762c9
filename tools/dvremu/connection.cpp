#include "tools/dvremu/connection.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/result_codes.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "protocol/stream_codes.h"
#include "tools/dvremu/dvr_emulator.h"

namespace dvremu {
namespace {

// A client that takes nothing for this long is dropped rather than allowed
// to hold a thread forever.
constexpr int kSendTimeoutMs = 5000;

const char* PortName(protocol::PortKind kind) {
  switch (kind) {
    case protocol::PortKind::kCommand:
      return "command";
    case protocol::PortKind::kStream:
      return "stream";
    case protocol::PortKind::kFile:
      return "file";
  }
  return "?";
}

}  // namespace

Connection::Connection(DvrEmulator& dvr, protocol::PortKind kind, int fd, std::string peer, size_t max_payload,
                       int stop_fd)
    : dvr_(dvr), kind_(kind), socket_(fd), peer_(std::move(peer)), reassembler_(max_payload), stop_fd_(stop_fd) {}

Connection::~Connection() { Join(); }

void Connection::Start() {
  thread_ = std::thread([this]() { Run(); });
}

void Connection::Join() {
  if (thread_.joinable()) thread_.join();
}

void Connection::Run() {
  Trace("[DVREMU] %s connection from %s", PortName(kind_), peer_.c_str());
  OnConnected();
  while (!closing_.load()) {
    int timeout_ms = 1000;
    if (const auto due = NextTick()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*due - Clock::now());
      timeout_ms = static_cast<int>(std::clamp<long>(left.count(), 0, 1000));
    }
    pollfd entries[2] = {{socket_.fd(), POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    const int ready = poll(entries, 2, timeout_ms);
    if (ready < 0 && errno != EINTR) break;
    if (entries[1].revents != 0) break;
    if (entries[0].revents != 0) {
      int error = 0;
      const auto wanted = reassembler_.Wanted();
      const long count = socket_.Receive(wanted.data(), wanted.size(), &error);
      if (count < 0) break;
      switch (reassembler_.Received(static_cast<size_t>(count))) {
        case protocol::Reassembler::Step::kPacket:
          OnPacket(reassembler_.Packet());
          reassembler_.Reset();
          break;
        case protocol::Reassembler::Step::kOversize:
          Trace("[DVREMU] %s connection from %s announced %zu payload bytes; dropped", PortName(kind_), peer_.c_str(),
                reassembler_.rejected_length());
          closing_.store(true);
          break;
        case protocol::Reassembler::Step::kResync:
          Trace("[DVREMU] %s connection from %s: bad magic, resynchronising", PortName(kind_), peer_.c_str());
          break;
        case protocol::Reassembler::Step::kNeedMore:
          break;
      }
    }
    if (const auto due = NextTick(); due && *due <= Clock::now() && !closing_.load()) OnTick();
  }
  if (aborting_.load()) {
    ReleaseWithReset();
  } else {
    socket_.Shutdown();
  }
  Trace("[DVREMU] %s connection from %s closed", PortName(kind_), peer_.c_str());
  finished_.store(true);
}

int Connection::SendLocked(std::span<const uint8_t> bytes) {
  if (closing_.load()) return E_FAIL;
  if (bytes.size() >= 2 && stall_ms_.load() > 0) {
    const long pause_ms = stall_ms_.exchange(0);
    const auto first = bytes.first(bytes.size() / 2);
    if (socket_.SendAll(first.data(), first.size(), kSendTimeoutMs) != 0) {
      closing_.store(true);
      socket_.Shutdown();
      return E_FAIL;
    }
    // The pause ends early when the emulator stops.
    pollfd entry{stop_fd_, POLLIN, 0};
    poll(&entry, 1, static_cast<int>(pause_ms));
    bytes = bytes.subspan(first.size());
  }
  if (socket_.SendAll(bytes.data(), bytes.size(), kSendTimeoutMs) != 0) {
    closing_.store(true);
    socket_.Shutdown();
    return E_FAIL;
  }
  return 0;
}

int Connection::SendBytes(std::span<const uint8_t> bytes) { return SendLocked(bytes); }

int Connection::Send(uint32_t code, std::span<const uint8_t> payload) {
  return protocol::SendPacket(*this, kind_, code, payload);
}

int Connection::Reply(uint32_t code, std::span<const uint8_t> payload) {
  const auto forced = dvr_.TakeResultOverride();
  if (!forced || payload.empty()) return Send(code, payload);
  std::vector<uint8_t> changed(payload.begin(), payload.end());
  changed[0] = *forced;
  return Send(code, changed);
}

void Connection::Close() {
  closing_.store(true);
  socket_.Shutdown();
}

void Connection::Abort() {
  std::lock_guard guard(send_lock());
  aborting_.store(true);
  closing_.store(true);
  const int fd = socket_.fd();
  if (fd < 0) return;
  linger option{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
  // Wakes the connection's thread, which sends the reset as it ends; closing
  // here would wait for its poll to let go of the socket.
  shutdown(fd, SHUT_RD);
}

void Connection::ReleaseWithReset() {
  std::lock_guard guard(send_lock());
  const int fd = socket_.fd();
  // Replacing the descriptor closes the socket (with the reset, as its linger
  // time is 0) while the number stays ours until the object goes, so no
  // sender on another thread can write to a descriptor opened meanwhile.
  const int null_fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null_fd >= 0) {
    dup2(null_fd, fd);
    close(null_fd);
  }
}

uint32_t Connection::FaultCode() const {
  switch (kind_) {
    case protocol::PortKind::kCommand:
      return protocol::cmd::RESP_DVR_STATUS;
    case protocol::PortKind::kStream:
      return protocol::stream::LIVE_VIDEO_DATA;
    case protocol::PortKind::kFile:
      return protocol::file_cmd::FILE_DATA;
  }
  return 0;
}

void Connection::SendGarbage(size_t bytes) {
  // Bytes that can never begin "TOLVA", so a receiver that resynchronises on
  // the magic skips all of them.
  std::vector<uint8_t> noise(bytes);
  uint32_t state = garbage_seed_.load();
  for (auto& byte : noise) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(state >> 24);
    if (byte == 'T' || byte == 't') byte = 0x5A;
  }
  garbage_seed_.store(state);
  std::lock_guard guard(send_lock());
  SendLocked(noise);
}

void Connection::SendTruncated() {
  const auto header = protocol::BuildHeader(kind_, 100, FaultCode());
  const std::vector<uint8_t> part(40, 0x00);
  {
    std::lock_guard guard(send_lock());
    if (SendLocked(header) == 0) SendLocked(part);
  }
  Close();
}

void Connection::ArmStall(std::chrono::milliseconds duration) { stall_ms_.store(duration.count()); }

void Connection::SendOversize() {
  const std::vector<uint8_t> payload(protocol::kMaxFramedPayload, 0x00);
  std::lock_guard guard(send_lock());
  const auto header = protocol::BuildHeader(kind_, static_cast<uint16_t>(payload.size()), FaultCode());
  if (SendLocked(header) == 0) SendLocked(payload);
}

}  // namespace dvremu
