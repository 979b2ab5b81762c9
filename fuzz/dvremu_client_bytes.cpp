// What a misbehaving client may send the emulated DVR: arbitrary bytes on its
// command port after a good logon, and arbitrary e-mail setting blocks.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "protocol/command_codes.h"
#include "protocol/packet_header.h"
#include "protocol/payload.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/dvr_services.h"

namespace {

dvremu::DvrEmulator& Dvr() {
  static dvremu::DvrEmulator* dvr = [] {
    dvremu::EmulatorOptions options;
    options.port = 0;
    options.read_stdin = false;
    options.recorded_days = 3;
    auto* created = new dvremu::DvrEmulator(options);
    std::string error;
    if (!created->Start(&error)) std::abort();
    return created;
  }();
  return *dvr;
}

void SendAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;
    bytes = bytes.subspan(static_cast<size_t>(sent));
  }
}

// Reads what the DVR answers until it has been quiet for a moment.
void Drain(int fd) {
  uint8_t buffer[4096];
  pollfd entry{fd, POLLIN, 0};
  while (poll(&entry, 1, 5) > 0 && recv(fd, buffer, sizeof buffer, 0) > 0) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dvremu::ParseServiceSetting(std::span(data, size));

  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(Dvr().command_port());
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    const auto logon = protocol::PayloadWriter().cstring("admin").cstring("1234").take();
    const auto header = protocol::BuildHeader(protocol::PortKind::kCommand, static_cast<uint16_t>(logon.size()),
                                              protocol::cmd::AUTH_DATA);
    SendAll(fd, header);
    SendAll(fd, logon);
    SendAll(fd, std::span(data, size));
    Drain(fd);
  }
  close(fd);
  return 0;
}
