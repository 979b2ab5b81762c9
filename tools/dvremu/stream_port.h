// The DVR's stream port: logon, then either the live stream (the VOL packet,
// then one picture packet per streamed channel and picture time) or the
// recorded stream of the file the same client chose on its command port.
//
// Threads: as Connection.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/dvremu/connection.h"

namespace dvremu {

class Playback;

class StreamConnection : public Connection {
 public:
  StreamConnection(DvrEmulator& dvr, int fd, std::string peer, int stop_fd);

 protected:
  void OnConnected() override;
  void OnPacket(const protocol::PacketView& packet) override;
  std::optional<Clock::time_point> NextTick() override;
  void OnTick() override;

 private:
  enum class Mode { kIdle = 1, kLive, kRecordRequested, kRecorded };

  void SendLivePictures();
  void SendRecordedPictures();
  int SendPicture(uint32_t code, int channel, int64_t frame, const std::tm& time);

  // Connection thread only.
  std::string user_;
  Mode mode_ = Mode::kIdle;
  std::shared_ptr<Playback> playback_;
  Clock::time_point next_picture_{};
  int64_t live_frame_ = 0;
  std::vector<uint8_t> scratch_;
};

}  // namespace dvremu
