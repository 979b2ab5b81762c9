// The stream socket of one stream session: an IPv4 TCP connection to the
// DVR's stream port and the receive thread that connects it and then runs the
// session's receive step until the connection ends or the owner stops it.
//
// Threads: Start and Stop are called on the engine's owner thread. Each Start
// makes a new StreamConnection shared by this object and its receive thread;
// the thread calls the client (the session) with it: SocketConnected once,
// ReceiveStep in a loop, ConnectionLost when a send or receive fails.
//
// Stopping: Stop sets the connection's stop flag, clears its connected flag,
// wakes the thread (an eventfd it polls beside the socket, and a shutdown of
// the socket for a send in progress) and joins it within 1,000 ms. A thread
// that does not end in time (a frame sink that does not return) is given up;
// it holds its own reference to the connection, so the socket stays valid
// until it ends, and it leaves at its next check of the stop flag. Such a
// lingering thread still uses the session: Start refuses to begin another
// while one lingers, and the destructor waits for it before the session goes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/bounded_worker.h"

namespace vistrel {

// What the session's receive step reads from and sends to.
class IStreamTransport {
 public:
  virtual ~IStreamTransport() = default;
  // The connection is up and the owner has not asked it to end.
  virtual bool IsConnected() const = 0;
  // The owner asked the connection to end; waits on the owner give up.
  virtual bool StopRequested() const = 0;
  // Sends every byte: 0, or E_FAIL after the connection-lost handling ran.
  virtual int32_t Send(std::span<const uint8_t> bytes) = 0;
  // One receive of at most the span's size: the count (0 when nothing came,
  // as when a stop woke the wait), or -1 after the connection-lost handling ran.
  virtual long Receive(std::span<uint8_t> into) = 0;
};

// The session side, called on the receive thread.
class IStreamSocketClient {
 public:
  virtual ~IStreamSocketClient() = default;
  virtual void SocketConnected(IStreamTransport& transport) = 0;
  // False ends the thread.
  virtual bool ReceiveStep(IStreamTransport& transport) = 0;
  virtual void ConnectionLost(IStreamTransport& transport) = 0;
};

class StreamConnection;

class StreamSocket {
 public:
  static constexpr int kStopTimeoutMs = 1000;
  static constexpr int kReceiveBufferBytes = 1024000;
  static constexpr int kSendBufferBytes = 4096;
  static constexpr size_t kAddressLimit = 259;

  explicit StreamSocket(IStreamSocketClient& client);
  ~StreamSocket();
  StreamSocket(const StreamSocket&) = delete;
  StreamSocket& operator=(const StreamSocket&) = delete;

  // S_OK without doing anything for an empty address or port 0; otherwise
  // S_OK once the receive thread runs, E_FAIL with a trace line when not.
  int32_t Start(const std::string& address, uint16_t port);
  // E_FAIL when no thread runs; else stops it (bounded) and returns S_OK.
  int32_t Stop();
  // A receive thread runs (connecting or connected).
  bool running() const;
  // The TCP connection is up.
  bool connected() const;

 private:
  void Reap();
  bool WaitForLingering();

  IStreamSocketClient& client_;
  std::shared_ptr<StreamConnection> connection_;
  platform::BoundedWorker thread_;
  // Threads given up by Stop; each still holds its connection.
  std::vector<platform::BoundedWorker> lingering_;
};

}  // namespace vistrel
