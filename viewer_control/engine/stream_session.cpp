#include "viewer_control/engine/stream_session.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/result_codes.h"
#include "platform/trace.h"
#include "protocol/packet_header.h"
#include "protocol/stream_codes.h"
#include "viewer_control/engine/decoder_channel.h"

namespace vistrel {
namespace stream = protocol::stream;
namespace {

constexpr size_t kTextLimit = 259;

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// The session's own host, as its picture feed sees it while one packet is handled.
class SessionOutlet final : public IPictureOutlet {
 public:
  SessionOutlet(IStreamSessionHost& host, int index, IStreamTransport& transport)
      : host_(host), index_(index), transport_(transport) {}
  void OpenDecoders(const VolHeader& vol) override { host_.DecoderStart(index_, vol, transport_); }
  void RecordingFailed(int error) override { host_.RecordingFailed(index_, error, transport_); }
  DecoderChannel& Decoder(int slot) override { return host_.Decoder(slot); }

 private:
  IStreamSessionHost& host_;
  int index_;
  IStreamTransport& transport_;
};

}  // namespace

StreamSession::StreamSession() : reassembler_(stream::kMaxPayload), local_time_(LocalTimeNow), socket_(*this) {}

StreamSession::~StreamSession() { Shutdown(); }

void StreamSession::Bind(int index, IStreamSessionHost* host) {
  index_ = index;
  host_ = host;
  feed_.SetTracePrefix("[STREAM SESSION " + std::to_string(index) + "]");
}

int32_t StreamSession::SetSessionInfo(std::span<const uint8_t> channel_map, int count, int stream_type) {
  if (channel_map.empty() || count <= 0 || count > kStreamChannels || channel_map.size() < static_cast<size_t>(count) ||
      stream_type <= 0) {
    return E_FAIL;
  }
  {
    std::lock_guard lock(config_lock_);
    stream_type_ = stream_type;
  }
  feed_.SetChannels(channel_map, count);
  return S_OK;
}

int32_t StreamSession::Connect(const std::string& user, const std::string& password, const std::string& address,
                               uint16_t port) {
  if (socket_.running()) {
    Trace("[STREAM SESSION %d] already stream socket exiting !!!", index_);
    return E_FAIL;
  }
  if (user.empty() || password.empty()) {
    Trace("[STREAM SESSION %d] UserName, Password is empty !!!", index_);
    return E_FAIL;
  }
  {
    std::lock_guard lock(config_lock_);
    user_ = user.substr(0, kTextLimit);
    password_ = password.substr(0, kTextLimit);
    address_ = address.substr(0, kTextLimit);
  }
  if (socket_.Start(address_, port) < 0) {
    Trace("[STREAM SESSION %d] Stream socket connection failed !!!", index_);
    return E_FAIL;
  }
  return S_OK;
}

int32_t StreamSession::Disconnect() {
  if (!socket_.running()) {
    Trace("[STREAM SESSION %d] already stream socket closed !!!", index_);
    return S_OK;
  }
  if (socket_.Stop() < 0) {
    Trace("[STREAM SESSION %d] Stream socket disconnection failed !!!", index_);
    return E_FAIL;
  }
  ResetProtocolState();
  return S_OK;
}

void StreamSession::Shutdown() {
  if (socket_.running()) socket_.Stop();
}

void StreamSession::ResetProtocolState() {
  {
    std::lock_guard lock(config_lock_);
    stream_type_ = kStreamLive;
  }
  feed_.ResetStream();
}

int StreamSession::stream_type() const {
  std::lock_guard lock(config_lock_);
  return stream_type_;
}

void StreamSession::SocketConnected(IStreamTransport& transport) {
  // Reset here, on the new receive thread: the owner thread cannot know
  // whether a thread left lingering by a stop still reads into it.
  reassembler_.Reset();
  Trace("[STREAM SESSION %d] Stream socket port connection !!!", index_);
  host_->SessionConnected(index_, transport);
}

void StreamSession::ConnectionLost(IStreamTransport& transport) {
  reassembler_.Reset();
  ResetProtocolState();
  host_->SessionClosed(index_, transport);
}

bool StreamSession::ReceiveStep(IStreamTransport& transport) {
  const long count = transport.Receive(reassembler_.Wanted());
  if (count < 0) {
    Trace("[STREAM SESSION %d] Stream socket read error !!!", index_);
    return false;
  }
  switch (reassembler_.Received(static_cast<size_t>(count))) {
    case protocol::Reassembler::Step::kNeedMore:
    case protocol::Reassembler::Step::kResync:
      return true;
    case protocol::Reassembler::Step::kOversize:
      // Cannot happen with a 16-bit length; never receive past the buffer.
      return false;
    case protocol::Reassembler::Step::kPacket:
      break;
  }
  if (!Dispatch(transport, reassembler_.Packet())) {
    Trace("[STREAM SESSION %d] Stream packet dispatch mismatch !!!", index_);
    return true;
  }
  // Every read of a packet is bounded by its length, so the bytes of earlier
  // packets left in the buffer are never seen again.
  reassembler_.Reset();
  return true;
}

bool StreamSession::Dispatch(IStreamTransport& transport, const protocol::PacketView& packet) {
  if (!transport.IsConnected()) return false;
  const std::span<const uint8_t> payload = packet.payload();
  switch (const uint32_t code = packet.code()) {
    case stream::REQ_AUTHENTICATION:
      SendLogon(transport);
      break;
    case stream::LOGON_RESULT:
      LogonResult(transport, payload);
      break;
    case stream::RESP_RECSTREAM:
      RecordStreamResult(transport, payload);
      break;
    case stream::LIVE_VIDEO_DATA:
    case stream::RECORD_VIDEO_DATA:
      VideoData(transport, payload);
      break;
    case stream::BYPASS_REPLY:
    case stream::BYPASS_REPLY_2:
    case stream::DVR_NOTICE:
      break;
    default:
      Trace("[STREAM SESSION %d] command protocol parse error code : %#x !!!", index_, code);
      break;
  }
  return true;
}

int32_t StreamSession::SendPacket(IStreamTransport& transport, uint32_t code, std::span<const uint8_t> payload) {
  if (!transport.IsConnected()) return E_FAIL;
  const auto header = protocol::BuildHeader(protocol::PortKind::kStream, static_cast<uint16_t>(payload.size()), code);
  if (transport.Send(header) < 0) return E_FAIL;
  if (payload.empty()) return S_OK;
  // The header and the payload go out in two sends; the caller tells them apart.
  return transport.Send(payload) < 0 ? 1 : S_OK;
}

void StreamSession::SendLogon(IStreamTransport& transport) {
  std::string user;
  std::string password;
  {
    std::lock_guard lock(config_lock_);
    user = user_;
    password = password_;
  }
  // Trace files end up in bug reports: the password never reaches them.
  Trace("[STREAM SESSION %d] DVR Logon UserName : %s, Password : %s", index_, user.c_str(), "****");
  std::array<uint8_t, 2 * (kTextLimit + 1)> payload{};
  std::memcpy(payload.data(), user.data(), user.size());
  std::memcpy(payload.data() + user.size() + 1, password.data(), password.size());
  const int32_t result =
      SendPacket(transport, stream::SNDAUTHDATA, std::span(payload.data(), user.size() + password.size() + 2));
  if (result < 0) {
    Trace("[STREAM SESSION %d] Payload Descriptor SNDAUTHDATA sending failed !!!", index_);
  } else if (result > 0) {
    Trace("[STREAM SESSION %d] Payload Descriptor UserName, Password sending failed !!!", index_);
  }
}

void StreamSession::LogonResult(IStreamTransport& transport, std::span<const uint8_t> payload) {
  // An empty reply carries no acceptance.
  if (payload.empty() || payload[0] != 0) {
    Trace("[STREAM SESSION %d] Stream port authentication failed !!!", index_);
    return;
  }
  Trace("[STREAM SESSION %d] Mpeg4 stream authentication succeeded !!!", index_);
  int type;
  {
    std::lock_guard lock(config_lock_);
    type = stream_type_;
  }
  if (type == kStreamLive) {
    Trace("[STREAM SESSION %d] Mpeg4 live stream !!!", index_);
    // Header and payload in one 13-byte write.
    std::array<uint8_t, protocol::kHeaderSize + 1> request{};
    const auto header = protocol::BuildHeader(protocol::PortKind::kStream, 1, stream::RCVREADY);
    std::copy(header.begin(), header.end(), request.begin());
    request[protocol::kHeaderSize] = stream::RCVREADY_LIVE;
    if (!transport.IsConnected() || transport.Send(request) < 0) {
      Trace("[STREAM SESSION %d] Payload Descriptor RCVREADY sending failed !!!", index_);
      return;
    }
    Trace("[STREAM SESSION %d] Mpeg4 live stream receive ready !!!", index_);
    host_->SessionAuthenticated(index_, transport);
  } else if (type == kStreamRecorded) {
    Trace("[STREAM SESSION %d] Mpeg4 record stream !!!", index_);
    const uint8_t request[1] = {stream::NET_REQRECSTREAM};
    const int32_t result = SendPacket(transport, stream::REQRECSTREAM, request);
    if (result < 0) {
      Trace("[STREAM SESSION %d] Payload Descriptor REQRECSTREAM sending failed !!!", index_);
    } else if (result > 0) {
      Trace("[STREAM SESSION %d] Payload Descriptor NET_REQRECSTREAM sending failed !!!", index_);
    } else {
      Trace("[STREAM SESSION %d] Request record stream succeeded !!!", index_);
    }
  }
}

void StreamSession::RecordStreamResult(IStreamTransport& transport, std::span<const uint8_t> payload) {
  if (payload.empty() || payload[0] != 0) {
    Trace("[STREAM SESSION %d] Response playback failed !!!", index_);
    return;
  }
  Trace("[STREAM SESSION %d] Response record stream succeeded !!!", index_);
  const uint8_t request[1] = {stream::RCVREADY_REMOTEPLAY};
  const int32_t result = SendPacket(transport, stream::RCVREADY, request);
  if (result < 0) {
    Trace("[STREAM SESSION %d] Payload Descriptor RCVREADY sending failed !!!", index_);
  } else if (result > 0) {
    Trace("[STREAM SESSION %d] Payload Descriptor RCVREADY_REMOTEPLAY sending failed !!!", index_);
  } else {
    Trace("[STREAM SESSION %d] Mpeg4 record stream receive ready !!!", index_);
  }
}

void StreamSession::VideoData(IStreamTransport& transport, std::span<const uint8_t> payload) {
  SessionOutlet outlet(*host_, index_, transport);
  if (payload.size() >= 4 && std::equal(stream::kVolStart, stream::kVolStart + 4, payload.begin())) {
    feed_.StreamHeader(payload, outlet);
    Trace("[STREAM SESSION %d] Mpeg4 decoder initialize succeeded !!!", index_);
    return;
  }
  feed_.Picture(payload, outlet);
}

}  // namespace vistrel
