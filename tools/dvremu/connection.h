// One client connection of the emulated DVR, served by a thread of its own:
// the thread reassembles the client's packets, hands each to the port's
// handler and runs the port's timed work (pictures, playback clock, file
// data) between reads. Other threads may send on it and inject faults.
//
// Threads: Start/Join by the emulator; OnPacket/OnTick/OnConnected on the
// connection's thread; SendBytes, Reply, the fault calls and Close from any
// thread. The send lock (PacketChannel) keeps each packet and each fault
// whole on the wire; a stall holds it for its whole duration on purpose.
// The descriptor stays open until the object is destroyed, so a sender on
// another thread never writes to a reused descriptor.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "platform/tcp_socket.h"
#include "protocol/packet_sender.h"
#include "protocol/reassembler.h"

namespace dvremu {

class DvrEmulator;

class Connection : public protocol::PacketChannel {
 public:
  using Clock = std::chrono::steady_clock;

  Connection(DvrEmulator& dvr, protocol::PortKind kind, int fd, std::string peer, size_t max_payload, int stop_fd);
  ~Connection() override;

  void Start();
  void Join();
  bool finished() const { return finished_.load(); }
  protocol::PortKind kind() const { return kind_; }
  const std::string& peer() const { return peer_; }
  bool logged_on() const { return logged_on_.load(); }

  int SendBytes(std::span<const uint8_t> bytes) override;
  int Send(uint32_t code, std::span<const uint8_t> payload = {});
  // A reply whose first byte is a result: a result armed by "next-result"
  // replaces it.
  int Reply(uint32_t code, std::span<const uint8_t> payload);

  // Orderly close (FIN) or abortive close (RST).
  void Close();
  void Abort();
  void SendGarbage(size_t bytes);
  // A packet header and only part of its payload, then the connection closes.
  void SendTruncated();
  // The next packet sent stops after half its header for `duration`, with
  // the connection's other sends held behind it.
  void ArmStall(std::chrono::milliseconds duration);
  // A whole packet of 65,535 payload bytes, more than any command receiver takes.
  void SendOversize();

 protected:
  virtual void OnConnected() {}
  virtual void OnPacket(const protocol::PacketView& packet) = 0;
  // When the next timed work is due; nothing when there is none.
  virtual std::optional<Clock::time_point> NextTick() { return std::nullopt; }
  virtual void OnTick() {}

  DvrEmulator& dvr() { return dvr_; }
  void set_logged_on() { logged_on_.store(true); }
  // The code a filler packet of this port uses for the faults.
  uint32_t FaultCode() const;

 private:
  void Run();
  int SendLocked(std::span<const uint8_t> bytes);
  void ReleaseWithReset();

  DvrEmulator& dvr_;
  const protocol::PortKind kind_;
  platform::TcpSocket socket_;
  const std::string peer_;
  protocol::Reassembler reassembler_;  // connection thread only
  const int stop_fd_;
  std::thread thread_;
  std::atomic<bool> finished_{false};
  std::atomic<bool> closing_{false};
  std::atomic<bool> aborting_{false};
  std::atomic<bool> logged_on_{false};
  std::atomic<uint32_t> garbage_seed_{0x9E3779B9u};
  std::atomic<long> stall_ms_{0};
};

}  // namespace dvremu
