// A serial port (Tarvek's line to a DVR's boot monitor, the modem link's
// line) and its receive thread ThreadWatchComm.
//
// Threads: Open, Close, Write, DrainReceived and the capture calls run on the
// owner's thread (the UI thread). ThreadWatchComm reads the line, fills the
// ring, writes the capture file and calls the notification; it never touches
// the owner's objects. What both sides reach lives in a shared state so that
// a thread that outlives its bounded join (and is given up) still only
// touches memory it co-owns:
//   - ring: single producer (thread), single consumer (owner's thread);
//   - connected, notify_pending: atomics;
//   - the capture file: a CaptureSink with its own lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/bounded_worker.h"
#include "platform/close_event.h"
#include "platform/receive_ring.h"

namespace platform {

// The capture file: every received byte, unchanged. Switched on and off by
// the UI thread, written by ThreadWatchComm; `lock_` guards `file_`.
class CaptureSink {
 public:
  ~CaptureSink() { Stop(); }
  // Creates the file empty; false when it cannot be created.
  bool Start(const std::string& path);
  void Stop();
  bool active() const;
  void Write(const uint8_t* bytes, size_t count);

 private:
  mutable std::mutex lock_;
  std::FILE* file_ = nullptr;  // guarded by lock_
};

class SerialPort {
 public:
  // Called on ThreadWatchComm after a burst of received bytes, with the port
  // index (port number - 1). It must only hand over to the UI thread; it is
  // not called again until the owner has drained the ring.
  using Notify = std::function<void(int port_index)>;

  // `trace_tag` opens the port's trace lines, "[TARVEK]" for Tarvek's.
  explicit SerialPort(std::string trace_tag) : trace_tag_(std::move(trace_tag)) {}
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens `device` as "COM<port_number>" at `baud`, 8N1 with XON/XOFF, and
  // starts ThreadWatchComm. On failure the port stays closed and `error`
  // says why ("thread" when the receive thread could not be started).
  bool Open(const std::string& device, int baud, int port_number, Notify notify, std::string* error = nullptr);
  // Clears the connected flag, stops the thread (waiting at most 1,000 ms)
  // and releases the device.
  void Close();
  bool IsConnected() const { return state_ && state_->connected.load(); }
  const std::string& name() const { return name_; }
  int baud() const { return baud_; }

  // Writes all of `bytes` unless the line's write time-out (230,400 / baud
  // ms per byte) passes first; returns the bytes written, 0 on an error.
  size_t Write(const uint8_t* bytes, size_t count);
  size_t Write(const std::string& text) { return Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }

  // Appends everything received so far and re-arms the notification.
  size_t DrainReceived(std::vector<uint8_t>& out);
  size_t DroppedBytes() const { return state_ ? state_->ring.Dropped() : 0; }

  // Received bytes also go to `capture` while it is active; set before Open.
  void SetCapture(std::shared_ptr<CaptureSink> capture) { capture_ = std::move(capture); }

 private:
  struct Shared {
    ~Shared();
    int fd = -1;
    std::atomic<bool> connected{false};
    std::atomic<bool> notify_pending{false};
    ReceiveRing ring;
    CloseEvent wake;
    Notify notify;
    int port_index = 0;
    std::string name;
    std::shared_ptr<CaptureSink> capture;
  };

  static void ThreadWatchComm(std::shared_ptr<Shared> state);

  std::shared_ptr<Shared> state_;
  const std::string trace_tag_;
  BoundedWorker thread_;
  std::string name_;
  int baud_ = 0;
  std::shared_ptr<CaptureSink> capture_;
};

// The termios speed constant for a baud rate, 0 when the rate is unsupported.
unsigned SpeedForBaud(int baud);

enum class FlowControl { kXonXoff, kHardware };
// Sets the tty `fd` raw, 8N1 at `baud`, reads returning at once with what is
// there. Hardware flow control is asked for only; a device without it (a
// pseudo-terminal) runs without. False (with errno) when the tty refuses.
bool ConfigureRawLine(int fd, int baud, FlowControl flow);

}  // namespace platform
