// A stream session: the control's end of one connection to a DVR's stream
// port. It logs on, asks for the live or recorded stream, reassembles the
// packets, and hands the video payloads to its picture feed, which records
// them and has the decoder channels of their display slots draw them.
//
// Threads: Bind, SetSessionInfo, Connect, Disconnect and SetRecording run on
// the engine's owner thread; SocketConnected, ReceiveStep and ConnectionLost
// (and the dispatch below them) on the receive thread. The reassembler belongs
// to the receive thread; each new one resets it before its first read.
// Locks: `config_lock_` guards the logon data and the stream type; the feed
// guards its own state (picture_feed.h). No two of them are held together.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "protocol/reassembler.h"
#include "viewer_control/engine/mpeg4_recorder.h"
#include "viewer_control/engine/picture_feed.h"
#include "viewer_control/engine/stream_socket.h"

namespace vistrel {

class DecoderChannel;

inline constexpr int kStreamLive = 1;
inline constexpr int kStreamRecorded = 2;

// The engine, as the session sees it. The five notifications are called on
// the receive thread and return once the owner thread has handled them, or
// early when `transport.StopRequested()`.
class IStreamSessionHost {
 public:
  virtual ~IStreamSessionHost() = default;
  virtual void SessionConnected(int index, IStreamTransport& transport) = 0;
  virtual void SessionClosed(int index, IStreamTransport& transport) = 0;
  virtual void SessionAuthenticated(int index, IStreamTransport& transport) = 0;
  virtual void DecoderStart(int index, const VolHeader& vol, IStreamTransport& transport) = 0;
  // A write of the session's recording failed (`error` is the errno); raised
  // once per recording, which goes on for the channels that still record.
  virtual void RecordingFailed(int index, int error, IStreamTransport& transport) = 0;
  // The decoder channel of display slot 0-15.
  virtual DecoderChannel& Decoder(int slot) = 0;
};

class StreamSession final : public IStreamSocketClient {
 public:
  StreamSession();
  ~StreamSession() override;
  StreamSession(const StreamSession&) = delete;
  StreamSession& operator=(const StreamSession&) = delete;

  void Bind(int index, IStreamSessionHost* host);
  // E_FAIL when the map is missing or shorter than `count`, the count is not
  // 1-16, or the type is 0 or less.
  int32_t SetSessionInfo(std::span<const uint8_t> channel_map, int count, int stream_type);
  int32_t Connect(const std::string& user, const std::string& password, const std::string& address, uint16_t port);
  int32_t Disconnect();
  // Stops the receive thread without a trace or a reset (engine teardown).
  void Shutdown();
  // Off always succeeds. On: true when the files of at least one channel
  // were made; false when none were, with recording_failure() saying why (a
  // folder that cannot be made leaves an earlier recording running).
  bool SetRecording(bool on, bool live) { return feed_.SetRecording(on, live, local_time_()); }
  // The clock that names recording folders (tests move it).
  void SetLocalTime(std::function<std::tm()> now) { local_time_ = std::move(now); }

  // A receive thread runs (connecting or connected).
  bool running() const { return socket_.running(); }
  // The TCP connection to the stream port is up.
  bool connected() const { return socket_.connected(); }
  int index() const { return index_; }
  int stream_type() const;
  // The session's pictures: channel map, VOL header and recordings.
  const PictureFeed& feed() const { return feed_; }
  bool recording() const { return feed_.recording(); }
  int channel_count() const { return feed_.channel_count(); }
  VolHeader vol_header() const { return feed_.vol_header(); }
  std::string recorder_path(int channel) const { return feed_.recorder_path(channel); }
  std::optional<RecordingFailure> recording_failure() const { return feed_.recording_failure(); }

  // Receive thread (IStreamSocketClient); also driven directly by the fuzzer.
  void SocketConnected(IStreamTransport& transport) override;
  bool ReceiveStep(IStreamTransport& transport) override;
  void ConnectionLost(IStreamTransport& transport) override;

 private:
  bool Dispatch(IStreamTransport& transport, const protocol::PacketView& packet);
  void SendLogon(IStreamTransport& transport);
  void LogonResult(IStreamTransport& transport, std::span<const uint8_t> payload);
  void RecordStreamResult(IStreamTransport& transport, std::span<const uint8_t> payload);
  void VideoData(IStreamTransport& transport, std::span<const uint8_t> payload);
  int32_t SendPacket(IStreamTransport& transport, uint32_t code, std::span<const uint8_t> payload);
  void ResetProtocolState();

  int index_ = -1;
  IStreamSessionHost* host_ = nullptr;
  protocol::Reassembler reassembler_;  // receive thread while one runs

  mutable std::mutex config_lock_;
  std::string user_;               // guarded by config_lock_
  std::string password_;           // guarded by config_lock_
  std::string address_;            // guarded by config_lock_
  int stream_type_ = kStreamLive;  // guarded by config_lock_

  PictureFeed feed_;
  std::function<std::tm()> local_time_;  // owner thread

  // Last, so that it is destroyed first: its receive thread uses all of the above.
  StreamSocket socket_;
};

}  // namespace vistrel
