// A minimal client for the end-to-end tests of the DVR emulator: connects to
// one of its ports, sends packets with the project's packet code and reads
// packets back with the project's reassembler, every wait bounded.
//
// One test thread uses an instance.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/result_codes.h"
#include "protocol/packet_sender.h"
#include "protocol/reassembler.h"
#include "protocol/stream_codes.h"

namespace dvremu_test {

using namespace std::chrono_literals;

struct Packet {
  uint32_t code = 0;
  std::vector<uint8_t> payload;
};

class TestClient : public protocol::PacketChannel {
 public:
  explicit TestClient(protocol::PortKind kind) : kind_(kind), reassembler_(protocol::stream::kMaxPayload) {}
  ~TestClient() override {
    if (fd_ >= 0) close(fd_);
  }

  bool Connect(uint16_t port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }

  int SendBytes(std::span<const uint8_t> bytes) override {
    while (!bytes.empty()) {
      const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return E_FAIL;
      bytes = bytes.subspan(static_cast<size_t>(sent));
    }
    return 0;
  }
  int Send(uint32_t code, std::vector<uint8_t> payload = {}) {
    return protocol::SendPacket(*this, kind_, code, payload);
  }
  // Logs on with AUTH_DATA (the same code on every port) after the DVR's request.
  std::optional<Packet> LogOn(const std::string& user, const std::string& password) {
    if (!WaitFor(0x5101)) return std::nullopt;
    std::vector<uint8_t> payload(user.begin(), user.end());
    payload.push_back(0);
    payload.insert(payload.end(), password.begin(), password.end());
    payload.push_back(0);
    Send(0x0101, payload);
    return WaitFor(0x5102);
  }

  // The next whole packet, or nothing after `timeout` or when the DVR closed.
  std::optional<Packet> Receive(std::chrono::milliseconds timeout = 3000ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd entry{fd_, POLLIN, 0};
      if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
      const auto wanted = reassembler_.Wanted();
      const ssize_t count = recv(fd_, wanted.data(), wanted.size(), 0);
      if (count <= 0) {
        closed_ = true;
        return std::nullopt;
      }
      received_bytes_ += static_cast<size_t>(count);
      const auto step = reassembler_.Received(static_cast<size_t>(count));
      if (step == protocol::Reassembler::Step::kResync) ++resyncs_;
      if (step == protocol::Reassembler::Step::kOversize) {
        oversize_ = true;
        return std::nullopt;
      }
      if (step == protocol::Reassembler::Step::kPacket) {
        const auto view = reassembler_.Packet();
        Packet packet{view.code(), {view.payload().begin(), view.payload().end()}};
        reassembler_.Reset();
        return packet;
      }
    }
  }
  std::optional<Packet> WaitFor(uint32_t code, std::chrono::milliseconds timeout = 3000ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      auto packet =
          Receive(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
      if (!packet) return std::nullopt;
      if (packet->code == code) return packet;
    }
    return std::nullopt;
  }
  // Raw bytes as they come, for faults that are not whole packets.
  std::vector<uint8_t> ReceiveRaw(size_t max, std::chrono::milliseconds timeout) {
    std::vector<uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < max) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd entry{fd_, POLLIN, 0};
      if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
      uint8_t buffer[4096];
      const ssize_t count = recv(fd_, buffer, std::min(sizeof buffer, max - bytes.size()), 0);
      if (count <= 0) {
        closed_ = true;
        last_errno_ = count < 0 ? errno : 0;
        break;
      }
      bytes.insert(bytes.end(), buffer, buffer + count);
    }
    return bytes;
  }

  bool closed() const { return closed_; }
  int last_errno() const { return last_errno_; }
  int resyncs() const { return resyncs_; }
  bool oversize() const { return oversize_; }
  int fd() const { return fd_; }

 private:
  protocol::PortKind kind_;
  protocol::Reassembler reassembler_;
  int fd_ = -1;
  bool closed_ = false;
  bool oversize_ = false;
  int resyncs_ = 0;
  int last_errno_ = 0;
  size_t received_bytes_ = 0;
};

}  // namespace dvremu_test
