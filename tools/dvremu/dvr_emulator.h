// The emulated DVR: listens on the command, stream and file download ports,
// serves each client connection on a thread of its own, and offers hooks to
// raise events and faults on the open connections (used by the script
// language, by the program's standard input and by tests in-process).
//
// Threads: Start/Stop on the owner's thread; one accept thread; one thread
// per connection. The hooks may be called from any thread. Locks: `lock_`
// guards the connection list and the shared state below it; a connection's
// send lock may be taken while `lock_` is NOT held, never the other way round
// (hooks copy the list, release `lock_`, then send).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/dvremu/dvr_services.h"
#include "tools/dvremu/emulator_options.h"
#include "tools/dvremu/recordings.h"
#include "tools/dvremu/video_source.h"

namespace dvremu {

class ModemLine;

class Connection;
class Playback;

// A command packet a logged-on client sent, for tests to check.
struct ReceivedCommand {
  std::string peer;
  std::string user;
  uint32_t code = 0;
  std::vector<uint8_t> payload;
};

// Which connections a fault hook acts on.
enum class Target { kCommand = 1, kStream, kFile, kAll };

class DvrEmulator {
 public:
  explicit DvrEmulator(EmulatorOptions options);
  ~DvrEmulator();
  DvrEmulator(const DvrEmulator&) = delete;
  DvrEmulator& operator=(const DvrEmulator&) = delete;

  // Encodes the video, generates the recordings and starts listening.
  bool Start(std::string* error);
  // Started on three consecutive free ports, as clients expect the stream and
  // file ports above the command port (port 0 gives unrelated ones); `port`
  // of the options is ignored. Nothing when no triple could be had.
  static std::unique_ptr<DvrEmulator> StartOnFreePorts(EmulatorOptions options);
  // Closes every connection and joins every thread.
  void Stop();
  bool running() const { return running_.load(); }
  // Set by the script's "quit"; the program's main loop watches it.
  bool stop_requested() const { return stop_requested_.load(); }
  void RequestStop() { stop_requested_.store(true); }

  uint16_t command_port() const { return ports_[0]; }
  // The modem of --modem, for the script's modem commands; set before any runs.
  void set_modem(ModemLine* modem) { modem_ = modem; }
  ModemLine* modem() const { return modem_; }
  uint16_t stream_port() const { return ports_[1]; }
  uint16_t file_port() const { return ports_[2]; }
  const EmulatorOptions& options() const { return options_; }
  const VideoSource& video() const { return video_; }
  const Recordings& recordings() const { return recordings_; }
  std::chrono::milliseconds startup_time() const { return startup_time_; }

  // Events, sent on every logged-on command connection.
  void SensorAlarm(int number);
  void MotionAlarm(int number);
  void AdminNotice(uint8_t value);
  void DvrNotice(uint8_t kind);
  // The next reply with a result byte (command or file port) carries `value`.
  void ArmNextResult(uint8_t value);
  std::optional<uint8_t> TakeResultOverride();
  // RESP_SEARCH reports `count` channels from now on, whatever the streams
  // carry (a DVR of another kind reports 0).
  void SetSearchChannels(uint8_t count) { search_channels_.store(count); }
  std::optional<uint8_t> search_channels() const;
  // The next REQ_PLAYBACK is refused with `reason` (1 no file, 2 the DVR's
  // own playback).
  void RefuseNextPlayback(uint8_t reason) { playback_refusal_.store(reason); }
  std::optional<uint8_t> TakePlaybackRefusal();

  // Faults on the open connections of a port.
  void Drop(Target target);
  void Reset(Target target);
  void Garbage(Target target, size_t bytes);
  void Truncate(Target target);
  void Stall(Target target, std::chrono::milliseconds duration);
  void Oversize(Target target);
  size_t ConnectionCount(Target target);

  // Shared state of the protocol.
  // The user level for a logon, or the LOGON_RESULT failure byte.
  uint8_t CheckLogon(const std::string& user, const std::string& password, int* level) const;
  void SetChannelMask(const std::string& peer, const std::string& user, uint8_t mask);
  // All channels until a CHANNEL_CHANGE came from that address and user.
  uint16_t StreamedChannels(const std::string& peer, const std::string& user);
  void SetPlayback(const std::string& peer, const std::string& user, std::shared_ptr<Playback> playback);
  std::shared_ptr<Playback> FindPlayback(const std::string& peer, const std::string& user);
  ServiceSetting service_setting();
  void set_service_setting(const ServiceSetting& setting);
  uint8_t lights();
  uint8_t SetLights(uint8_t value);
  // The latest command packets of logged-on clients, keep-alives left out,
  // oldest first (the last kReceivedLimit are kept).
  static constexpr size_t kReceivedLimit = 4096;
  void NoteReceived(ReceivedCommand command);
  std::vector<ReceivedCommand> ReceivedCommands();
  void ClearReceivedCommands();
  std::string bound_address() const { return options_.bind_address; }

 private:
  bool Listen(int index, uint16_t port, std::string* error);
  void AcceptLoop();
  void Accept(int index);
  void ReapFinished();
  std::vector<std::shared_ptr<Connection>> Connections(Target target);

  EmulatorOptions options_;
  VideoSource video_;
  Recordings recordings_;
  std::chrono::milliseconds startup_time_{0};
  int listen_fds_[3] = {-1, -1, -1};
  uint16_t ports_[3] = {0, 0, 0};
  int stop_fd_ = -1;  // eventfd, readable once Stop began; every poll watches it
  std::thread accept_thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stop_requested_{false};
  ModemLine* modem_ = nullptr;
  std::atomic<int> result_override_{-1};
  std::atomic<int> search_channels_{-1};
  std::atomic<int> playback_refusal_{-1};

  std::mutex lock_;
  std::vector<std::shared_ptr<Connection>> connections_;  // guarded by lock_
  struct ClientKey {
    std::string peer;
    std::string user;
    bool operator==(const ClientKey&) const = default;
  };
  std::vector<std::pair<ClientKey, uint8_t>> channel_masks_;                // guarded by lock_
  std::vector<std::pair<ClientKey, std::shared_ptr<Playback>>> playbacks_;  // guarded by lock_
  ServiceSetting setting_;                                                  // guarded by lock_
  uint8_t lights_ = 0;                                                      // guarded by lock_
  std::vector<ReceivedCommand> received_;                                   // guarded by lock_
};

}  // namespace dvremu
