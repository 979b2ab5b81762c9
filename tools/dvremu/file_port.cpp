#include "tools/dvremu/file_port.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "platform/trace.h"
#include "protocol/byte_reader.h"
#include "protocol/command_codes.h"
#include "protocol/payload.h"
#include "tools/dvremu/dvr_emulator.h"

namespace dvremu {
namespace {

namespace file_cmd = protocol::file_cmd;

constexpr size_t kMaxText = 127;
constexpr size_t kMaxClientPayload = 1024;
constexpr uint8_t kFailure = 0x01;
constexpr uint8_t kNoSuchFile = 1;

}  // namespace

FileConnection::FileConnection(DvrEmulator& dvr, int fd, std::string peer, int stop_fd)
    : Connection(dvr, protocol::PortKind::kFile, fd, std::move(peer), kMaxClientPayload, stop_fd) {
  // Replies go as a header and a payload in two sends; a payload held back
  // for the client's delayed acknowledgement would cost each reply ~40 ms.
  int no_delay = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &no_delay, sizeof no_delay);
}

int FileConnection::FileReply(uint32_t code, std::span<const uint8_t> payload) {
  const auto& replaced = dvr().options().file_replies;
  if (const auto it = replaced.find(code); it != replaced.end()) return Reply(code, it->second);
  return Reply(code, payload);
}

void FileConnection::OnConnected() { Send(file_cmd::REQ_AUTHENTICATION); }

void FileConnection::OnPacket(const protocol::PacketView& packet) {
  protocol::ByteReader reader(packet.payload());
  const uint32_t code = packet.code();
  if (code == file_cmd::AUTH_DATA) {
    const std::string user = reader.cstring(kMaxText);
    const std::string password = reader.cstring(kMaxText);
    int level = 0;
    const uint8_t result = reader.ok() ? dvr().CheckLogon(user, password, &level) : protocol::result::kWrongUser;
    if (result == 0) {
      set_logged_on();
      user_ = user;
    }
    const uint8_t reply[1] = {result};
    FileReply(file_cmd::LOGON_RESULT, reply);
    return;
  }
  if (!logged_on()) return;
  dvr().NoteReceived({peer(), user_, code, std::vector<uint8_t>(packet.payload().begin(), packet.payload().end())});
  const uint8_t sub = reader.u8();
  switch (code) {
    case file_cmd::REQ_FILEDOWNLOAD:
      return OnDownload(packet.payload());
    case file_cmd::REQ_FILEINFO:  // and REQ_FILEDATA: the same code, told apart by the sub-code
      if (!file_) {
        const uint8_t reply[1] = {kFailure};
        FileReply(sub == protocol::sub::kFileData ? file_cmd::FILEDOWNLOAD_COMPLETE : file_cmd::RESP_FILEINFO, reply);
        return;
      }
      if (sub == protocol::sub::kFileInfo) {
        protocol::PayloadWriter out;
        out.u8(0);
        const auto block = file_->InformationBlock();
        out.raw(block.data(), block.size());
        FileReply(file_cmd::RESP_FILEINFO, out.bytes());
      } else if (sub == protocol::sub::kFileData) {
        if (dvr().options().empty_file_data) Send(file_cmd::FILE_DATA);
        sending_ = true;
      }
      return;
    case file_cmd::CANCEL_FILEDOWNLOAD: {
      const uint8_t reply[1] = {static_cast<uint8_t>(file_ ? 0 : kFailure)};
      sending_ = false;
      file_.reset();
      FileReply(file_cmd::RESP_CANCEL_FILEDOWNLOAD, reply);
      return;
    }
    default:
      Trace("[DVREMU] unknown file command %#x from %s", code, peer().c_str());
  }
}

void FileConnection::OnDownload(std::span<const uint8_t> payload) {
  const auto request = FindRequestedStretch(dvr().recordings(), dvr().options().fps, payload);
  sending_ = false;
  if (!request) {
    file_.reset();
    const uint8_t reply[2] = {kFailure, kNoSuchFile};
    FileReply(file_cmd::RESP_FILEDOWNLOAD, reply);
    return;
  }
  file_ = std::make_unique<RecordFileStream>(dvr().video(), *request->file, request->stretch);
  protocol::PayloadWriter out;
  out.u8(0).u32le(static_cast<uint32_t>(file_->total_size()));
  FileReply(file_cmd::RESP_FILEDOWNLOAD, out.bytes());
}

std::optional<Connection::Clock::time_point> FileConnection::NextTick() {
  if (!sending_) return std::nullopt;
  const int hold = dvr().options().file_data_hold_after;
  if (hold >= 0 && data_packets_ >= hold) return std::nullopt;
  return Clock::now();
}

void FileConnection::OnTick() {
  // One packet per pass, so that a cancel read between them takes effect.
  file_->Read(kChunkSize, &chunk_);
  if (!chunk_.empty() && Send(file_cmd::FILE_DATA, chunk_) != 0) {
    sending_ = false;
    return;
  }
  ++data_packets_;
  if (file_->done()) {
    sending_ = false;
    const uint8_t reply[1] = {0};
    FileReply(file_cmd::FILEDOWNLOAD_COMPLETE, reply);
  }
}

}  // namespace dvremu
