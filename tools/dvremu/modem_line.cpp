#include "tools/dvremu/modem_line.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "protocol/line_framing.h"
#include "protocol/reassembler.h"
#include "protocol/stream_codes.h"

namespace dvremu {
namespace {

using Clock = std::chrono::steady_clock;
using Step = protocol::Reassembler::Step;
constexpr auto kFileOfferPeriod = std::chrono::milliseconds(1000);

// Writes every byte, waiting while the pty is full (the client reads it).
bool WriteAll(int fd, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      // A caller that closed the line reports a hang-up, never room.
      pollfd wait{fd, POLLOUT, 0};
      if (::poll(&wait, 1, 1000) <= 0 || !(wait.revents & POLLOUT)) return false;
    } else {
      return false;
    }
  }
  return true;
}
bool WriteAll(int fd, const std::string& text) {
  return WriteAll(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// A Hayes modem starts a command at its "AT": what a caller left on the line
// before it (the tail of a call, the escape) is skipped.
std::string CommandOf(const std::string& line) {
  for (size_t at = line.size(); at-- > 1;) {
    if (std::toupper(static_cast<unsigned char>(line[at - 1])) == 'A' &&
        std::toupper(static_cast<unsigned char>(line[at])) == 'T') {
      return line.substr(at - 1);
    }
  }
  return {};
}

int ConnectToPort(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

// One of the DVR's ports as the call carries it.
struct Leg {
  int fd = -1;
  protocol::Reassembler reassembler{0xFFFF, protocol::Reassembler::Framing::kForward};
  void Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    reassembler.Reset();
  }
};

// A call in progress: the three legs and what this side keeps of the logons.
struct Call {
  Leg legs[3];
  std::vector<uint8_t> credentials;  // the command logon's payload
  bool stream_logged_on = false;
  std::vector<uint8_t> file_offer;  // the file port's authentication request
  bool file_spoke = false;
  Clock::time_point next_offer{};

  void End() {
    for (Leg& leg : legs) leg.Close();
  }
  void SendToPort(int index, std::span<const uint8_t> packet) {
    if (legs[index].fd >= 0) (void)!::send(legs[index].fd, packet.data(), packet.size(), MSG_NOSIGNAL);
  }
  void LogStreamOn() {
    if (stream_logged_on || credentials.empty() || legs[1].fd < 0) return;
    const auto header = protocol::BuildHeader(protocol::PortKind::kStream, static_cast<uint16_t>(credentials.size()),
                                              protocol::stream::SNDAUTHDATA);
    std::vector<uint8_t> logon(header.begin(), header.end());
    logon.insert(logon.end(), credentials.begin(), credentials.end());
    SendToPort(1, logon);
    stream_logged_on = true;
  }
};

}  // namespace

bool ParseModemAnswer(const std::string& text, ModemAnswer* answer) {
  const std::pair<const char*, ModemAnswer> names[] = {{"connect", ModemAnswer::kConnect},
                                                       {"busy", ModemAnswer::kBusy},
                                                       {"no-carrier", ModemAnswer::kNoCarrier},
                                                       {"no-dialtone", ModemAnswer::kNoDialTone},
                                                       {"no-answer", ModemAnswer::kNoAnswer}};
  for (const auto& [name, value] : names) {
    if (text == name) {
      *answer = value;
      return true;
    }
  }
  return false;
}

ModemLine::~ModemLine() { Stop(); }

bool ModemLine::OpenLine() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return false;
  termios tio{};
  ::tcgetattr(master_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(master_, TCSANOW, &tio);
  {
    std::lock_guard guard(path_lock_);
    path_ = ::ptsname(master_);
  }
  std::printf("modem: %s\n", path().c_str());
  std::fflush(stdout);
  return true;
}

bool ModemLine::Start(std::string* error) {
  if (!OpenLine()) {
    *error = "cannot open a pseudo-terminal for the modem";
    return false;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void ModemLine::Stop() {
  stop_ = true;
  wake_.Set();
  if (thread_.joinable()) thread_.join();
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

void ModemLine::Run() {
  std::string command_line;
  std::optional<Call> call;
  protocol::Reassembler line(protocol::kLineMaxPayload, protocol::Reassembler::Framing::kLine);
  auto end_call = [&](const char* why) {
    if (!call) return;
    Trace("[DVREMU] modem: call ended (%s)", why);
    call->End();
    call.reset();
    line.Reset();
    // Nothing of this call may reach the next caller. The line's input is
    // kept: the next caller may have begun its commands already, and what
    // the last one left before them is noise that the command reader skips.
    ::tcflush(master_, TCOFLUSH);
  };
  auto answer_dial = [&] {
    switch (answer_.load()) {
      case ModemAnswer::kConnect: {
        call.emplace();
        const int ports[3] = {command_port_, command_port_ + 1, command_port_ + 2};
        for (int i = 0; i < 3; ++i) call->legs[i].fd = ConnectToPort(static_cast<uint16_t>(ports[i]));
        line.Reset();
        WriteAll(master_, "\r\nCONNECT 57600\r\n");
        return;
      }
      case ModemAnswer::kBusy:
        WriteAll(master_, "\r\nBUSY\r\n");
        return;
      case ModemAnswer::kNoCarrier:
        WriteAll(master_, "\r\nNO CARRIER\r\n");
        return;
      case ModemAnswer::kNoDialTone:
        WriteAll(master_, "\r\nNO DIALTONE\r\n");
        return;
      case ModemAnswer::kNoAnswer:
        WriteAll(master_, "\r\nNO ANSWER\r\n");
        return;
    }
  };
  auto on_line_packet = [&] {
    const protocol::PacketView packet = line.Packet();
    const uint8_t route = packet.bytes[5];
    const auto local = protocol::FromLineFrame(packet);
    if (!call || !local || route < 1 || route > 3) return;
    const uint32_t code = packet.code();
    if (route == 1 && code == protocol::cmd::AUTH_DATA) {
      call->credentials.assign(local->begin() + protocol::kHeaderSize, local->end());
      call->LogStreamOn();
    }
    if (route == 3) call->file_spoke = true;
    call->SendToPort(route - 1, *local);
  };
  auto on_leg_packet = [&](int index) {
    Leg& leg = call->legs[index];
    const protocol::PacketView packet = leg.reassembler.Packet();
    const uint32_t code = packet.code();
    if (index == 1 && (code == protocol::stream::REQ_AUTHENTICATION || code == protocol::stream::LOGON_RESULT)) {
      // The client's bridge has answered its own stream logon already.
      if (code == protocol::stream::REQ_AUTHENTICATION) call->LogStreamOn();
      return;
    }
    std::vector<uint8_t> marked(packet.bytes.begin(), packet.bytes.end());
    marked[5] = static_cast<uint8_t>(index + 1);
    if (index == 2 && code == protocol::cmd::REQ_AUTHENTICATION && !call->file_spoke) {
      call->file_offer = marked;
      call->next_offer = Clock::now() + kFileOfferPeriod;
    }
    const auto frame = protocol::ToLineFrame(marked);
    // A line that takes nothing for a second has no caller on it any more.
    if (!WriteAll(master_, frame.data(), frame.size())) {
      end_call("line not read");
      return;
    }
    ++packets_sent_;
  };

  // Hayes commands, while no call is up; a dial that connects ends them.
  auto read_commands = [&](const char* bytes, size_t size) {
    for (size_t i = 0; i < size && !call; ++i) {
      if (bytes[i] != '\r' && bytes[i] != '\n') {
        // What came before a command is noise: keep only the line's tail.
        if (command_line.size() >= 256) command_line.erase(0, 1);
        command_line += bytes[i];
        continue;
      }
      if (bytes[i] == '\n') continue;
      const std::string command = CommandOf(command_line);
      command_line.clear();
      if (command.rfind("ATDT", 0) == 0 || command.rfind("atdt", 0) == 0) {
        answer_dial();
      } else if (command.rfind("AT", 0) == 0 || command.rfind("at", 0) == 0) {
        WriteAll(master_, "\r\nOK\r\n");
      }
    }
  };

  bool line_open = false;
  while (!stop_) {
    if (hangup_.exchange(false)) {
      end_call("hangup");
      ::close(master_);
      master_ = -1;
      line_open = false;
      if (!OpenLine()) return;
    }
    std::vector<pollfd> fds = {{wake_.fd(), POLLIN, 0}, {master_, POLLIN, 0}};
    if (call) {
      for (Leg& leg : call->legs) fds.push_back({leg.fd, POLLIN, 0});
    }
    // Until the client opens the line, the master only reports a hang-up.
    const int ready = ::poll(fds.data(), fds.size(), line_open || call ? 200 : 50);
    if (ready < 0 && errno != EINTR) break;
    if (fds[0].revents) wake_.Reset();
    if (call && !call->file_spoke && !call->file_offer.empty() && Clock::now() >= call->next_offer) {
      const auto frame = protocol::ToLineFrame(call->file_offer);
      WriteAll(master_, frame.data(), frame.size());
      call->next_offer = Clock::now() + kFileOfferPeriod;
    }
    if (fds[1].revents & POLLIN) {
      line_open = true;
      if (!call) {
        char chunk[256];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
          line_open = false;
          command_line.clear();
          ::usleep(20000);  // no caller: the line reports only its hang-up
          continue;
        }
        read_commands(chunk, static_cast<size_t>(n));
      } else {
        const std::span<uint8_t> into = line.Wanted();
        const ssize_t n = ::read(master_, into.data(), into.size());
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
          // The caller closed its side of the line.
          end_call("line closed");
          line_open = false;
          ::usleep(20000);
          continue;
        }
        if (n >= 3 && line.received() == 0 && std::memcmp(into.data(), "+++", 3) == 0) {
          // The escape: back to commands; the call ends with it. A loaded
          // line may carry the hang-up, or the next call's first command,
          // in the same read.
          end_call("escape");
          WriteAll(master_, "\r\nOK\r\n");
          read_commands(reinterpret_cast<const char*>(into.data()) + 3, static_cast<size_t>(n) - 3);
          continue;
        }
        if (n > 0) {
          Step step = line.Received(static_cast<size_t>(n));
          if (step == Step::kOversize) step = line.DropHeader();
          if (step == Step::kPacket) {
            on_line_packet();
            line.Reset();
          }
        }
      }
    } else if (fds[1].revents & (POLLHUP | POLLERR)) {
      // The client closed its side: the line is dropped.
      if (line_open) end_call("line closed");
      line_open = false;
      command_line.clear();
      ::usleep(20000);
    }
    if (!call) continue;
    for (size_t i = 2; i < fds.size() && call; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const int index = static_cast<int>(i - 2);
      Leg& leg = call->legs[index];
      const std::span<uint8_t> into = leg.reassembler.Wanted();
      const ssize_t n = ::recv(leg.fd, into.data(), into.size(), 0);
      if (n <= 0) {
        leg.Close();  // that port ended; the call goes on
        continue;
      }
      if (leg.reassembler.Received(static_cast<size_t>(n)) == Step::kPacket) {
        on_leg_packet(index);
        if (call) call->legs[index].reassembler.Reset();  // the call may have ended with it
      }
    }
  }
  end_call("stopped");
}

}  // namespace dvremu
