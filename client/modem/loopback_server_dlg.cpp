#include "client/modem/loopback_server_dlg.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "platform/registry.h"
#include "platform/settings_keys.h"
#include "platform/trace.h"
#include "platform/winsock_errors.h"
#include "protocol/line_framing.h"

namespace modem {
namespace {

constexpr const char* kServerNames[3] = {"Command", "Stream", "File"};
constexpr uint32_t kStreamLogon = 0x0101;
constexpr uint32_t kStreamReceiveReady = 0x0201;
constexpr uint32_t kAskAuthentication = 0x5101;
constexpr uint32_t kLogonAnswer = 0x5102;
constexpr int kSendTimeoutMs = 5000;
constexpr size_t kModemNameLimit = 256;

long LastError() { return platform::WsaErrorFromErrno(errno); }

}  // namespace

CLoopbackServerDlg::CLoopbackServerDlg(IModemDialer& dialer, IBridgeHost* host, uint16_t base_port)
    : dialer_(dialer), host_(host), base_port_(base_port) {}

CLoopbackServerDlg::~CLoopbackServerDlg() {
  host_ = nullptr;
  CloseAll();
}

bool CLoopbackServerDlg::Start() {
  auto fail = [&](int index, const char* step) {
    Trace("[LOOPBACK] %s server %s failed with error %ld", kServerNames[index], step, LastError());
    Trace("[LOOPBACK] Can't create loopback server !!!");
    CloseServers();
    return false;
  };
  for (int i = 0; i < 3; ++i) {
    servers_[i] = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (servers_[i] < 0) return fail(i, "create");
  }
  for (int i = 0; i < 3; ++i) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    // The sessions come from this machine only; on every interface anyone
    // on the network could use the call.
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(base_port_ + i));
    const int reuse = 1;
    ::setsockopt(servers_[i], SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    if (::bind(servers_[i], reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return fail(i, "bind");
  }
  for (int i = 0; i < 3; ++i) {
    server_notifiers_[i] = new QSocketNotifier(servers_[i], QSocketNotifier::Read, this);
    connect(server_notifiers_[i], &QSocketNotifier::activated, this, [this, i] { OnAccept(static_cast<Port>(i)); });
  }
  for (int i = 0; i < 3; ++i) {
    if (::listen(servers_[i], SOMAXCONN) != 0) return fail(i, "listen");
  }
  return true;
}

bool CLoopbackServerDlg::SetPhoneNumber(const std::string& number) {
  if (number.empty() || number.size() > kPhoneNumberLimit) return false;
  phone_number_ = number;
  return true;
}

void CLoopbackServerDlg::OnAccept(Port port) {
  const int index = static_cast<int>(port);
  const int fd = ::accept4(servers_[index], nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno == EAGAIN || errno == EINTR) return;
    Trace("[LOOPBACK] %s server accept failed with error %ld", kServerNames[index], LastError());
    CloseAll();
    return;
  }
  // The last connection accepted is the one served.
  CloseClient(port);
  Client& client = clients_[index];
  client.socket = std::make_unique<platform::TcpSocket>(fd);
  client.reassembler.Reset();
  if (port == Port::kCommand && !call_active_) {
    std::string modem_name;
    if (const auto key = platform::RegistryKey::Open(platform::settings::kLocalSettingKey)) {
      modem_name = key->ReadString(platform::settings::kModemValue, kModemNameLimit).value_or("");
    }
    call_active_ = true;
    dialer_.MakeCall(modem_name, phone_number_);
  }
  if (port == Port::kStream) {
    const auto ask = protocol::BuildHeader(protocol::PortKind::kCommand, 0, kAskAuthentication);
    if (!SendToClient(port, ask)) {
      Trace("[LOOPBACK] Send Authentication data failed !!!");
      CloseAll();
      return;
    }
  }
  client.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(client.notifier, &QSocketNotifier::activated, this, [this, port] { OnClientReadable(port); });
}

void CLoopbackServerDlg::OnClientReadable(Port port) {
  const int index = static_cast<int>(port);
  using Step = protocol::Reassembler::Step;
  for (;;) {
    Client& client = clients_[index];
    if (!client.socket) return;
    const std::span<uint8_t> into = client.reassembler.Wanted();
    int error = 0;
    const long n = client.socket->Receive(into.data(), into.size(), &error);
    if (n == 0) return;  // would block: all there was is taken
    if (n < 0 && error == 0) {
      // The peer closed: only the command connection takes the call with it.
      CloseClient(port);
      if (port == Port::kCommand) StopCall();
      return;
    }
    if (n < 0) {
      Trace("[LOOPBACK] %s client receive failed", kServerNames[index]);
      CloseAll();
      return;
    }
    if (client.reassembler.Received(static_cast<size_t>(n)) != Step::kPacket) continue;
    const protocol::PacketView packet = client.reassembler.Packet();
    const bool handled = OnLocalPacket(port, packet.bytes);
    if (!handled) {
      Trace("[LOOPBACK] %s client receive failed", kServerNames[index]);
      CloseAll();
      return;
    }
    if (clients_[index].socket) clients_[index].reassembler.Reset();
  }
}

bool CLoopbackServerDlg::OnLocalPacket(Port port, std::span<const uint8_t> packet) {
  if (port == Port::kStream) {
    const uint32_t code = protocol::HeaderCode(packet.first<protocol::kHeaderSize>());
    if (code == kStreamLogon) {
      // The DVR checks the command session's logon; the stream's is ours.
      const auto header = protocol::BuildHeader(protocol::PortKind::kCommand, 1, kLogonAnswer);
      uint8_t answer[protocol::kHeaderSize + 1] = {};
      std::copy(header.begin(), header.end(), answer);
      SendToClient(port, answer);
      return true;
    }
    if (code == kStreamReceiveReady) {
      Trace("!!!!!!!!!!!!!!!!!!!!!!!!! RCVREADY Command Write !!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!");
    }
  }
  return dialer_.transport().Write(protocol::ToLineFrame(packet));
}

void CLoopbackServerDlg::OnLinkPacket(std::span<const uint8_t> packet) {
  if (packet.size() < protocol::kHeaderSize) return;
  const uint8_t route = packet[5];
  if (route < 1 || route > 3) return;
  const Port port = static_cast<Port>(route - 1);
  if (!clients_[route - 1].socket) return;
  // The reassembled packet in the line's form; the TCP side has 16 bits.
  const bool extended =
      packet.size() >= protocol::Reassembler::kExtendedHeaderSize && packet[6] == 0xFF && packet[7] == 0xFF;
  const protocol::PacketView view{packet,
                                  extended ? protocol::Reassembler::kExtendedHeaderSize : protocol::kHeaderSize};
  const auto local = protocol::FromLineFrame(view);
  if (!local) {
    Trace("[LOOPBACK] Link packet of %zu bytes too long for a local connection, dropped", packet.size());
    return;
  }
  SendToClient(port, *local);
}

bool CLoopbackServerDlg::SendToClient(Port port, std::span<const uint8_t> packet) {
  Client& client = clients_[static_cast<int>(port)];
  if (!client.socket) return false;
  const int error = client.socket->SendAll(packet.data(), packet.size(), kSendTimeoutMs);
  if (error != 0) {
    Trace("[LOOPBACK] WSASend failed with error %ld", static_cast<long>(error));
    Trace("[LOOPBACK] SendData failed.");
    return false;
  }
  return true;
}

void CLoopbackServerDlg::CloseClient(Port port) {
  Client& client = clients_[static_cast<int>(port)];
  delete client.notifier;
  client.notifier = nullptr;
  client.socket.reset();
  client.reassembler.Reset();
}

void CLoopbackServerDlg::CloseServers() {
  for (int i = 0; i < 3; ++i) {
    delete server_notifiers_[i];
    server_notifiers_[i] = nullptr;
    if (servers_[i] >= 0) ::close(servers_[i]);
    servers_[i] = -1;
  }
}

void CLoopbackServerDlg::StopCall() {
  if (!call_active_) return;
  call_active_ = false;
  dialer_.StopCall();
}

void CLoopbackServerDlg::CloseAll() {
  for (Port port : {Port::kCommand, Port::kStream, Port::kFile}) CloseClient(port);
  CloseServers();
  StopCall();
  phone_number_.clear();
}

void CLoopbackServerDlg::OnLinkLost() {
  call_active_ = false;
  dialer_.StopCall();
  for (Port port : {Port::kCommand, Port::kStream, Port::kFile}) CloseClient(port);
  if (host_) {
    host_->AddNotice(kBusyNotice, kBusyNoticeColour);
    host_->DisconnectLiveViewer();
  }
}

}  // namespace modem
