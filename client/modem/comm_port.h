// CCommPort: the data stream of a connected modem call. A reader thread
// reassembles whole packets from the line and hands each to the sink on the
// owner thread, waiting as a synchronous window message did; a writer thread
// writes the chunks handed to Write, each a copy of its own.
//
// Threads: Start, Write and the destructor run on the owner thread (the
// thread of `owner`). Stop may run on any thread: off the owner thread it
// only signals the shutdown and leaves the joins to the owner thread, so a
// worker that stops the transport never waits for its own end. The sink is
// called on the owner thread only. What the workers touch lives in a block
// they co-own, so a worker given up after its bounded join touches nothing
// freed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/bounded_worker.h"
#include "platform/close_event.h"
#include "protocol/line_framing.h"
#include "protocol/reassembler.h"

class QObject;

namespace modem {

// Where the transport's packets and its end go (the bridge), on the owner thread.
class ICommPortSink {
 public:
  virtual ~ICommPortSink() = default;
  // One whole packet in line form; the bytes are valid during the call only.
  virtual void OnLinkPacket(std::span<const uint8_t> packet) = 0;
  // The transport stopped, for whatever reason.
  virtual void OnLinkLost() = 0;
};

// The line error bits of a comm event and their names in the trace.
inline constexpr uint32_t kLineErrorOverrunBuffer = 0x1;
inline constexpr uint32_t kLineErrorOverrun = 0x2;
inline constexpr uint32_t kLineErrorParity = 0x4;
inline constexpr uint32_t kLineErrorFrame = 0x8;
// "NULL Error", or "CE_FRAME", "CE_OVERRUN", "CE_RXPARITY" joined by " and ".
std::string DescribeLineErrors(uint32_t bits);

class CCommPort {
 public:
  explicit CCommPort(QObject& owner);
  ~CCommPort();
  CCommPort(const CCommPort&) = delete;
  CCommPort& operator=(const CCommPort&) = delete;

  // Takes over `fd` (a tty, already set up by the dialer) and starts both
  // threads. On failure the descriptor stays the caller's.
  bool Start(int fd, ICommPortSink* sink);
  // Ends both threads (1,000 ms each at most), closes the descriptor and
  // tells the sink. False when not running.
  bool Stop();
  // Queues a copy of `bytes` for the writer. False when no writer runs.
  bool Write(std::span<const uint8_t> bytes);
  bool running() const { return shared_ != nullptr; }

 private:
  struct Shared;
  static void ReaderThread(std::shared_ptr<Shared> shared, CCommPort* port);
  static void WriterThread(std::shared_ptr<Shared> shared, CCommPort* port);
  static void Deliver(const std::shared_ptr<Shared>& shared, CCommPort* port);
  // Off the owner thread: signal the end and let the owner thread stop.
  static void RequestStop(const std::shared_ptr<Shared>& shared, CCommPort* port);
  bool OnOwnerThread() const;

  QObject& owner_;
  std::shared_ptr<Shared> shared_;
  platform::BoundedWorker reader_;
  platform::BoundedWorker writer_;
  ICommPortSink* sink_ = nullptr;
  // Checked by work queued to the owner thread: the port may be gone by then.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace modem
