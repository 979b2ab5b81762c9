#include "tools/dvremu/dvr_emulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <random>

#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "tools/dvremu/command_port.h"
#include "tools/dvremu/file_port.h"
#include "tools/dvremu/playback.h"
#include "tools/dvremu/stream_port.h"

namespace dvremu {
namespace {

// Enough for four viewers with their command, stream and download
// connections and a few spare; more are refused at once.
constexpr size_t kMaxConnections = 64;

}  // namespace

DvrEmulator::DvrEmulator(EmulatorOptions options) : options_(std::move(options)) { lights_ = options_.lights; }

DvrEmulator::~DvrEmulator() { Stop(); }

std::unique_ptr<DvrEmulator> DvrEmulator::StartOnFreePorts(EmulatorOptions options) {
  std::mt19937 random(static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr)));
  for (int attempt = 0; attempt < 50; ++attempt) {
    options.port = static_cast<uint16_t>(20000 + random() % 40000);
    auto dvr = std::make_unique<DvrEmulator>(options);
    std::string error;
    if (dvr->Start(&error)) return dvr;
  }
  return nullptr;
}

bool DvrEmulator::Start(std::string* error) {
  if (running_.load()) return true;
  const auto started = std::chrono::steady_clock::now();
  const time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char clock_text[32];
  std::snprintf(clock_text, sizeof clock_text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  if (!video_.Encode({options_.width, options_.height, options_.fps, options_.channels}, clock_text, error)) {
    return false;
  }
  recordings_.Generate(options_.seed, local, options_.recorded_days, video_);
  stop_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stop_fd_ < 0) {
    *error = "cannot create the stop event";
    return false;
  }
  for (int index = 0; index < 3; ++index) {
    const uint16_t port = options_.port == 0 ? 0 : static_cast<uint16_t>(options_.port + index);
    if (!Listen(index, port, error)) {
      Stop();
      return false;
    }
  }
  running_.store(true);
  accept_thread_ = std::thread([this]() { AcceptLoop(); });
  startup_time_ = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  Trace("[DVREMU] listening on %s ports %u, %u, %u (start-up %lld ms)", options_.bind_address.c_str(), ports_[0],
        ports_[1], ports_[2], static_cast<long long>(startup_time_.count()));
  return true;
}

bool DvrEmulator::Listen(int index, uint16_t port, std::string* error) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    *error = "cannot create a socket";
    return false;
  }
  listen_fds_[index] = fd;
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, options_.bind_address.c_str(), &address.sin_addr) != 1) {
    *error = "not an IPv4 address: " + options_.bind_address;
    return false;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0) {
    *error = "cannot listen on " + options_.bind_address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ports_[index] = ntohs(address.sin_port);
  return true;
}

void DvrEmulator::Stop() {
  if (stop_fd_ >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = write(stop_fd_, &one, sizeof one);
  }
  if (accept_thread_.joinable()) accept_thread_.join();
  std::vector<std::shared_ptr<Connection>> connections;
  {
    std::lock_guard guard(lock_);
    connections.swap(connections_);
    playbacks_.clear();
  }
  // Shutting the sockets down also ends sends that wait on a slow reader.
  for (auto& connection : connections) connection->Close();
  for (auto& connection : connections) connection->Join();
  connections.clear();
  for (int& fd : listen_fds_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  if (stop_fd_ >= 0) close(stop_fd_);
  stop_fd_ = -1;
  running_.store(false);
}

void DvrEmulator::AcceptLoop() {
  while (true) {
    pollfd entries[4] = {
        {listen_fds_[0], POLLIN, 0}, {listen_fds_[1], POLLIN, 0}, {listen_fds_[2], POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    const int ready = poll(entries, 4, 500);
    if (ready < 0 && errno != EINTR) return;
    if (entries[3].revents != 0) return;
    for (int index = 0; index < 3; ++index) {
      if (entries[index].revents != 0) Accept(index);
    }
    ReapFinished();
  }
}

void DvrEmulator::Accept(int index) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  const int fd =
      accept4(listen_fds_[index], reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  std::lock_guard guard(lock_);
  if (connections_.size() >= kMaxConnections) {
    Trace("[DVREMU] too many connections; %s refused", text);
    close(fd);
    return;
  }
  std::shared_ptr<Connection> connection;
  switch (index) {
    case 0:
      connection = std::make_shared<CommandConnection>(*this, fd, text, stop_fd_);
      break;
    case 1:
      connection = std::make_shared<StreamConnection>(*this, fd, text, stop_fd_);
      break;
    default:
      connection = std::make_shared<FileConnection>(*this, fd, text, stop_fd_);
      break;
  }
  connections_.push_back(connection);
  connection->Start();
}

void DvrEmulator::ReapFinished() {
  std::vector<std::shared_ptr<Connection>> finished;
  {
    std::lock_guard guard(lock_);
    auto split = std::stable_partition(connections_.begin(), connections_.end(),
                                       [](const auto& connection) { return !connection->finished(); });
    finished.assign(split, connections_.end());
    connections_.erase(split, connections_.end());
  }
  // Joined outside the lock; a hook may still hold a reference and finish
  // its send first (it fails at once on the shut socket).
  for (auto& connection : finished) connection->Join();
}

std::vector<std::shared_ptr<Connection>> DvrEmulator::Connections(Target target) {
  std::lock_guard guard(lock_);
  std::vector<std::shared_ptr<Connection>> out;
  for (const auto& connection : connections_) {
    if (connection->finished()) continue;
    if (target == Target::kAll || static_cast<int>(connection->kind()) == static_cast<int>(target)) {
      out.push_back(connection);
    }
  }
  return out;
}

size_t DvrEmulator::ConnectionCount(Target target) { return Connections(target).size(); }

void DvrEmulator::SensorAlarm(int number) {
  const uint8_t payload[2] = {0, static_cast<uint8_t>(number)};
  for (auto& c : Connections(Target::kCommand)) {
    if (c->logged_on()) c->Send(protocol::cmd::SENSOR_ALARM, payload);
  }
}

void DvrEmulator::MotionAlarm(int number) {
  const uint8_t payload[2] = {0, static_cast<uint8_t>(number)};
  for (auto& c : Connections(Target::kCommand)) {
    if (c->logged_on()) c->Send(protocol::cmd::MOTION_ALARM, payload);
  }
}

void DvrEmulator::AdminNotice(uint8_t value) {
  const uint8_t payload[1] = {value};
  for (auto& c : Connections(Target::kCommand)) {
    if (c->logged_on()) c->Send(protocol::cmd::ADMIN_NOTICE, payload);
  }
}

void DvrEmulator::DvrNotice(uint8_t kind) {
  const uint8_t payload[1] = {kind};
  for (auto& c : Connections(Target::kCommand)) {
    if (c->logged_on()) c->Send(protocol::cmd::DVR_NOTICE, payload);
  }
}

void DvrEmulator::ArmNextResult(uint8_t value) { result_override_.store(value); }

std::optional<uint8_t> DvrEmulator::TakeResultOverride() {
  const int value = result_override_.exchange(-1);
  if (value < 0) return std::nullopt;
  return static_cast<uint8_t>(value);
}

std::optional<uint8_t> DvrEmulator::search_channels() const {
  const int value = search_channels_.load();
  if (value < 0) return std::nullopt;
  return static_cast<uint8_t>(value);
}

std::optional<uint8_t> DvrEmulator::TakePlaybackRefusal() {
  const int value = playback_refusal_.exchange(-1);
  if (value < 0) return std::nullopt;
  return static_cast<uint8_t>(value);
}

void DvrEmulator::Drop(Target target) {
  for (auto& c : Connections(target)) c->Close();
}

void DvrEmulator::Reset(Target target) {
  for (auto& c : Connections(target)) c->Abort();
}

void DvrEmulator::Garbage(Target target, size_t bytes) {
  for (auto& c : Connections(target)) c->SendGarbage(bytes);
}

void DvrEmulator::Truncate(Target target) {
  for (auto& c : Connections(target)) c->SendTruncated();
}

void DvrEmulator::Stall(Target target, std::chrono::milliseconds duration) {
  for (auto& c : Connections(target)) c->ArmStall(duration);
}

void DvrEmulator::Oversize(Target target) {
  for (auto& c : Connections(target)) c->SendOversize();
}

uint8_t DvrEmulator::CheckLogon(const std::string& user, const std::string& password, int* level) const {
  const auto found = options_.users.find(user);
  if (found == options_.users.end()) return protocol::result::kWrongUser;
  if (found->second != password) return protocol::result::kWrongPassword;
  *level = user == "admin" ? 0 : 1;
  return protocol::result::kSuccess;
}

void DvrEmulator::SetChannelMask(const std::string& peer, const std::string& user, uint8_t mask) {
  std::lock_guard guard(lock_);
  const ClientKey key{peer, user};
  for (auto& entry : channel_masks_) {
    if (entry.first == key) {
      entry.second = mask;
      return;
    }
  }
  channel_masks_.emplace_back(key, mask);
}

uint16_t DvrEmulator::StreamedChannels(const std::string& peer, const std::string& user) {
  std::lock_guard guard(lock_);
  const ClientKey key{peer, user};
  for (const auto& entry : channel_masks_) {
    // The mask byte covers channels 1-8; a 16-channel emulator streams 9-16 always.
    if (entry.first == key) return static_cast<uint16_t>(0xFF00 | entry.second);
  }
  return 0xFFFF;
}

void DvrEmulator::SetPlayback(const std::string& peer, const std::string& user, std::shared_ptr<Playback> playback) {
  std::lock_guard guard(lock_);
  const ClientKey key{peer, user};
  std::erase_if(playbacks_, [&](const auto& entry) { return entry.first == key; });
  if (playback) playbacks_.emplace_back(key, std::move(playback));
}

std::shared_ptr<Playback> DvrEmulator::FindPlayback(const std::string& peer, const std::string& user) {
  std::lock_guard guard(lock_);
  const ClientKey key{peer, user};
  for (const auto& entry : playbacks_) {
    if (entry.first == key) return entry.second;
  }
  return nullptr;
}

ServiceSetting DvrEmulator::service_setting() {
  std::lock_guard guard(lock_);
  return setting_;
}

void DvrEmulator::set_service_setting(const ServiceSetting& setting) {
  std::lock_guard guard(lock_);
  setting_ = setting;
}

uint8_t DvrEmulator::lights() {
  std::lock_guard guard(lock_);
  return lights_;
}

uint8_t DvrEmulator::SetLights(uint8_t value) {
  std::lock_guard guard(lock_);
  // Only lights that exist (bits 4-7) can be switched on (bits 0-3).
  const uint8_t present = lights_ >> 4;
  lights_ = static_cast<uint8_t>((lights_ & 0xF0) | (value & present & 0x0F));
  return lights_;
}

void DvrEmulator::NoteReceived(ReceivedCommand command) {
  std::lock_guard guard(lock_);
  if (received_.size() >= kReceivedLimit) received_.erase(received_.begin());
  received_.push_back(std::move(command));
}

std::vector<ReceivedCommand> DvrEmulator::ReceivedCommands() {
  std::lock_guard guard(lock_);
  return received_;
}

void DvrEmulator::ClearReceivedCommands() {
  std::lock_guard guard(lock_);
  received_.clear();
}

}  // namespace dvremu
