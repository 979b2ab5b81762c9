// The DVR's command port: logon, the live dialogue (stream, channels, stop),
// the search dialogue (month and day lists, playback control and its clock),
// status, log pages, the e-mail setting, lights and alarm out; plus the
// events the emulator raises (alarms, notices).
//
// Threads: as Connection; the event senders may be called from any thread.
#pragma once

#include <memory>
#include <string>

#include "tools/dvremu/connection.h"

namespace dvremu {

class Playback;

class CommandConnection : public Connection {
 public:
  CommandConnection(DvrEmulator& dvr, int fd, std::string peer, int stop_fd);

 protected:
  void OnConnected() override;
  void OnPacket(const protocol::PacketView& packet) override;
  std::optional<Clock::time_point> NextTick() override;
  void OnTick() override;

 private:
  void OnAuthData(std::span<const uint8_t> payload);
  void OnLiveStream();
  void OnChannelChange(std::span<const uint8_t> payload);
  void OnSearch();
  void OnMonthInfo(std::span<const uint8_t> payload);
  void OnDayInfo(std::span<const uint8_t> payload);
  void OnPlayback(std::span<const uint8_t> payload);
  void OnPlaybackControl(uint32_t code, std::span<const uint8_t> payload);
  void OnLogByDate(std::span<const uint8_t> payload);
  void OnBypass(std::span<const uint8_t> payload);
  void ReplyResult(uint32_t code, uint8_t result);

  // Connection thread only.
  std::string user_;
  std::shared_ptr<Playback> playback_;
  Clock::time_point next_clock_{};
};

}  // namespace dvremu
