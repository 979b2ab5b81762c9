// CLoopbackServerDlg: the loopback bridge. Three local TCP servers (command,
// stream, file: ports N, N+1, N+2, 2000 by default) stand in for the DVR's
// ports while its modem call carries them all; header byte 5 of each packet
// on the line names the local connection it belongs to.
//
// The local side is framed by the packet header, so a stream logon that
// arrives split or joined with other packets is still answered here; the
// line sees the same bytes as the clients sent.
//
// Threads: everything runs on the thread that owns the object (the UI
// thread): socket notifications, the transport's deliveries, the dialer.
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "client/modem/comm_port.h"
#include "platform/tcp_socket.h"
#include "protocol/reassembler.h"

class QSocketNotifier;

namespace modem {

inline constexpr uint16_t kDefaultBridgePort = 2000;
inline constexpr size_t kPhoneNumberLimit = 63;
inline constexpr uint32_t kBusyNoticeColour = 0x00FFFF;
inline constexpr const char* kBusyNotice = "[NOTICE] The remote dvr's modem is busy.";

// The dialer's part as the bridge sees it (CTapiLine).
class IModemDialer {
 public:
  virtual ~IModemDialer() = default;
  // Starts a call to `number` on the modem named `modem`; whether one is now
  // in progress.
  virtual bool MakeCall(const std::string& modem, const std::string& number) = 0;
  // Hangs up; always succeeds.
  virtual void StopCall() = 0;
  // The running call's data stream.
  virtual CCommPort& transport() = 0;
};

// What the bridge tells the main window.
class IBridgeHost {
 public:
  virtual ~IBridgeHost() = default;
  virtual void AddNotice(const std::string& text, uint32_t colour) = 0;
  // The live viewer's disconnect button.
  virtual void DisconnectLiveViewer() = 0;
};

class CLoopbackServerDlg : public QObject, public ICommPortSink {
 public:
  enum class Port { kCommand = 0, kStream = 1, kFile = 2 };

  CLoopbackServerDlg(IModemDialer& dialer, IBridgeHost* host, uint16_t base_port = kDefaultBridgePort);
  ~CLoopbackServerDlg() override;

  // Creates, binds, registers and sets listening the three servers, each step
  // for all three before the next. False (traced) at the first failure.
  bool Start();
  // The set-phone-number message: false when `number` is empty or too long.
  bool SetPhoneNumber(const std::string& number);
  const std::string& phone_number() const { return phone_number_; }
  bool call_active() const { return call_active_; }
  bool listening(Port port) const { return servers_[static_cast<int>(port)] >= 0; }
  bool client_connected(Port port) const { return clients_[static_cast<int>(port)].socket != nullptr; }
  uint16_t base_port() const { return base_port_; }

  // Closes every client and server and stops the call; nothing is served
  // afterwards.
  void CloseAll();

  // ICommPortSink.
  void OnLinkPacket(std::span<const uint8_t> packet) override;
  void OnLinkLost() override;

 private:
  struct Client {
    std::unique_ptr<platform::TcpSocket> socket;
    QSocketNotifier* notifier = nullptr;
    protocol::Reassembler reassembler{0xFFFF, protocol::Reassembler::Framing::kForward};
  };

  void OnAccept(Port port);
  void OnClientReadable(Port port);
  // Handles one whole packet from a local client; false ends in close all.
  bool OnLocalPacket(Port port, std::span<const uint8_t> packet);
  bool SendToClient(Port port, std::span<const uint8_t> packet);
  void CloseClient(Port port);
  void CloseServers();
  void StopCall();

  IModemDialer& dialer_;
  IBridgeHost* host_;
  const uint16_t base_port_;
  int servers_[3] = {-1, -1, -1};
  QSocketNotifier* server_notifiers_[3] = {};
  Client clients_[3];
  bool call_active_ = false;
  std::string phone_number_;
};

}  // namespace modem
