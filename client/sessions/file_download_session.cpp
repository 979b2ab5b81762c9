#include "client/sessions/file_download_session.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "client/sessions/command_session.h"
#include "client/sessions/socket_error_text.h"
#include "platform/result_codes.h"
#include "platform/trace.h"
#include "protocol/byte_reader.h"
#include "protocol/command_codes.h"
#include "protocol/packet_sender.h"
#include "protocol/payload.h"

namespace sessions {
namespace {

namespace file_cmd = protocol::file_cmd;

constexpr size_t kTextLimit = 127;
constexpr uint8_t kNoSuchFile = 1;
constexpr uint8_t kAdminPlaying = 2;
// Trailer: information block bytes 4-7, then byte 49.
constexpr size_t kTrailerFirst = 4;
constexpr size_t kTrailerLast = 49;

// Writes every byte; 0 or the errno of the failure.
int WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

std::string ConnectFailureText(int error) {
  const char* text = ConnectErrorText(error);
  char other[64];
  if (text == nullptr) {
    std::snprintf(other, sizeof other, "OnConnect error: %d", error);
    text = other;
  }
  return std::string("Can't connect to the file download port of the DVR.\n\r") + text;
}

}  // namespace

std::string DownloadSizeText(uint64_t received, uint64_t total) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld KB / %ld KB", static_cast<long>(received / 1024),
                static_cast<long>(total / 1024));
  return text;
}

std::string DownloadRateText(uint64_t bytes_this_second) {
  char text[32];
  std::snprintf(text, sizeof text, "%ld Kbps", static_cast<long>(bytes_this_second * 8 / 1024));
  return text;
}

uint16_t FileDownloadPort(uint16_t command_port, bool over_modem) {
  return static_cast<uint16_t>((over_modem ? BridgePort() : command_port) + 2);
}

const char* FileDownloadAddress(const std::string& dvr_address, bool over_modem) {
  return over_modem ? "127.0.0.1" : dvr_address.c_str();
}

CFileDownloadSession::CFileDownloadSession(IFileDownloadUi& ui) : ui_(ui), reassembler_(protocol::kFileMaxPayload) {
  socket_.SetOwner(this);
}

CFileDownloadSession::~CFileDownloadSession() {
  if (socket_.HasWorker() || connected()) Stop();
}

uint64_t CFileDownloadSession::received() const {
  std::lock_guard guard(file_lock_);
  return received_;
}

std::string CFileDownloadSession::file_path() const {
  std::lock_guard guard(file_lock_);
  return path_;
}

int CFileDownloadSession::Start(const FileDownloadRecord& record) {
  if (connected() || socket_.HasWorker()) {
    Trace("[FILE SESSION] Already filedownload port connection !!!");
    return E_FAIL;
  }
  record_ = record;
  record_.user_name = record.user_name.substr(0, kTextLimit);
  record_.password = record.password.substr(0, kTextLimit);
  ended_ = false;
  cancelled_ = false;
  logon_result_ = -1;
  refusal_reason_ = 0;
  connect_error_ = 0;
  {
    std::lock_guard guard(file_lock_);
    path_.clear();
  }
  if (socket_.Open(record_.address, record_.port) != 0) {
    Trace("[FILE SESSION] Filedownload socket connection failed !!!");
    return E_FAIL;
  }
  return 0;
}

void CFileDownloadSession::Cancel() {
  if (!connected()) return;
  cancelled_ = true;
  FinishFile(false);
  const uint8_t payload[1] = {protocol::sub::kCancelFileDownload};
  SendRequest(file_cmd::CANCEL_FILEDOWNLOAD, payload);
}

int CFileDownloadSession::Stop() {
  if (!connected() && !socket_.HasWorker()) {
    Trace("[FILE SESSION] Already filedownload socket closed !!!");
    return 0;
  }
  const int closed = socket_.CloseSocket();
  if (closed != 0) Trace("[FILE SESSION] Filedownload socket disconnection failed !!!");
  // The worker is gone (or given up and cut off): what came so far stays.
  FinishFile(false);
  ResetState();
  return closed;
}

void CFileDownloadSession::ResetState() {
  connected_ = 0;
  total_size_ = 0;
  reassembler_.Reset();
  record_ = FileDownloadRecord{};
  std::lock_guard guard(file_lock_);
  received_ = 0;
  this_second_ = 0;
  last_second_ = 0;
  info_.fill(0);
}

int CFileDownloadSession::SendRequest(uint32_t code, std::span<const uint8_t> payload) {
  return protocol::SendPacket(socket_, protocol::PortKind::kFile, code, payload);
}

void CFileDownloadSession::OnConnect(int error) {
  if (error != 0) {
    connect_error_ = error;
    Trace("[FILE SESSION] Filedownload socket connection failed !!!");
    ui_.ShowMessage(ConnectFailureText(error), MessageIcon::kError);
    End(DownloadOutcome::kConnectFailed);
    return;
  }
  Trace("[FILE SESSION] Filedownlaod port socket connect !!!");
  connected_ = 1;
}

void CFileDownloadSession::OnReceive() {
  size_t count = 0;
  const std::span<uint8_t> into = reassembler_.Wanted();
  if (socket_.ReceiveData(into.data(), into.size(), &count) != 0) {
    Trace("[FILE SESSION] File download receive error !!!");
    Abandon(DownloadOutcome::kFailed, "The connection to the DVR was lost.");
    return;
  }
  switch (reassembler_.Received(count)) {
    case protocol::Reassembler::Step::kNeedMore:
    case protocol::Reassembler::Step::kResync:
      return;
    case protocol::Reassembler::Step::kOversize:
      Trace("[FILE SESSION] File download descriptor dispatch error !!!");
      Abandon(DownloadOutcome::kFailed, "The DVR sent a packet this program cannot read.");
      return;
    case protocol::Reassembler::Step::kPacket:
      break;
  }
  if (!Dispatch(reassembler_.Packet())) {
    Trace("[FILE SESSION] File download descriptor dispatch error !!!");
    Abandon(DownloadOutcome::kFailed, "The DVR sent a packet this program cannot read.");
    return;
  }
  reassembler_.Reset();
}

void CFileDownloadSession::OnClose(int /*error*/) {
  Abandon(DownloadOutcome::kFailed, "The connection to the DVR was lost.");
}

bool CFileDownloadSession::Dispatch(const protocol::PacketView& packet) {
  const std::span<const uint8_t> payload = packet.payload();
  switch (packet.code()) {
    case file_cmd::REQ_AUTHENTICATION: {
      protocol::PayloadWriter out;
      out.cstring(record_.user_name).cstring(record_.password);
      SendRequest(file_cmd::AUTH_DATA, out.bytes());
      return true;
    }
    case file_cmd::LOGON_RESULT:
      OnLogonResult(payload);
      return true;
    case file_cmd::RESP_FILEDOWNLOAD:
      OnFileDownloadReply(payload);
      return true;
    case file_cmd::RESP_FILEINFO:
      OnFileInfo(payload);
      return true;
    case file_cmd::FILE_DATA:
      if (connected()) OnFileData(payload);
      return true;
    case file_cmd::FILEDOWNLOAD_COMPLETE:
      OnComplete(payload);
      return true;
    case file_cmd::RESP_CANCEL_FILEDOWNLOAD:
      OnCancelReply(payload);
      return true;
    default:
      Trace("[FILE SESSION] Filedownload Protocol Error parse code : %#x", packet.code());
      return false;
  }
}

bool CFileDownloadSession::CheckResult(uint8_t result) {
  if (result == protocol::result::kSuccess) return true;
  if (result == protocol::result::kAdminBusy) {
    Trace("[FILE SESSION] The administrator is using the DVR System !!!");
    ui_.DisconnectSearchViewer();
  }
  return false;
}

void CFileDownloadSession::OnLogonResult(std::span<const uint8_t> payload) {
  const auto result = protocol::DecodeFileResult(payload);
  logon_result_ = result ? *result : 0xFF;
  if (!result || *result != protocol::result::kSuccess) {
    Trace("[FILE SESSION] Filedownload port authentication failed !!!");
    return;
  }
  Trace("[FILE SESSION] Filedownload port authentication succeeded !!!");
  protocol::PayloadWriter out;
  out.u8(protocol::sub::kFileDownload).u32le(record_.file_index);
  out.u8(record_.month).u8(record_.day).u8(record_.year).u8(record_.hour);
  out.u8(record_.start_minute).u8(record_.start_second).u8(record_.end_minute).u8(record_.end_second);
  SendRequest(file_cmd::REQ_FILEDOWNLOAD, out.bytes());
}

void CFileDownloadSession::OnFileDownloadReply(std::span<const uint8_t> payload) {
  const auto reply = protocol::DecodeFileDownloadReply(payload);
  if (reply && CheckResult(reply->result)) {
    ui_.DownloadStarted();
    total_size_ = reply->total_size;
    Trace("[FILESESSION] Response filedownload succeeded, received total file size  = %ld !!!",
          static_cast<long>(reply->total_size));
    Trace("[FILE SESSION] Request Fileinformation Sending : Network cmd : %x, Mainboard : %x !!!",
          file_cmd::REQ_FILEINFO, protocol::sub::kFileInfo);
    const uint8_t request[1] = {protocol::sub::kFileInfo};
    SendRequest(file_cmd::REQ_FILEINFO, request);
    ui_.SetProgressRange(static_cast<long>(reply->total_size / 1024));
    return;
  }
  Trace("[FILE SESSION] Response filedownload failed !!!");
  const uint8_t reason = reply ? reply->reason : 0;
  refusal_reason_ = reason;
  if (reason == kNoSuchFile) {
    ui_.ShowMessage("Can't found record file. To select again.", MessageIcon::kError);
  } else if (reason == kAdminPlaying) {
    ui_.ShowMessage("Can't playback the record file in DVR. Admin use playback in the DVR", MessageIcon::kError);
  }
  // Told before the worker is asked to stop: its hand-overs end with that.
  End(DownloadOutcome::kRefused);
  socket_.RequestStop();
}

void CFileDownloadSession::OnFileInfo(std::span<const uint8_t> payload) {
  const auto reply = protocol::DecodeFileInfoReply(payload);
  if (!reply || !CheckResult(reply->result)) {
    Trace("[FILE SESSION] Request fileinformation failed !!!");
    return;
  }
  std::string path;
  int opened = -1;
  int error = 0;
  {
    std::lock_guard guard(file_lock_);
    if (reply->has_block) info_ = reply->block;
    Trace("[FILE SESSION] Request fileinformation succeeded, received mpeg2 information !!!");
    if (file_ >= 0) return;  // a second block changes the trailer, not the file
    opened = open(record_.local_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    error = errno;
    if (opened >= 0) {
      file_ = opened;
      path_ = record_.local_path;
    }
    path = record_.local_path;
  }
  if (opened < 0) {
    Trace("[FILE SESSION] Download file create error !!!");
    // Left to the operator, who closes the dialog; but the failure is shown.
    ui_.ShowMessage("Can't create the download file " + path + ": " + std::strerror(error), MessageIcon::kError);
    // Nothing more can come of this download; the dialog closes, and with it the connection.
    End(DownloadOutcome::kWriteFailed);
    return;
  }
  Trace("[FILE SESSION] Request FileData Sending : Network cmd : %x, Mainboard cmd : %x !!!", file_cmd::REQ_FILEDATA,
        protocol::sub::kFileData);
  const uint8_t request[1] = {protocol::sub::kFileData};
  SendRequest(file_cmd::REQ_FILEDATA, request);
}

void CFileDownloadSession::OnFileData(std::span<const uint8_t> payload) {
  if (payload.empty()) {
    Trace("[FILE SESSION] Download file size is 0 !!!");
    return;
  }
  std::string size_text;
  std::string rate_text;
  long position = 0;
  int error = 0;
  std::string path;
  {
    std::lock_guard guard(file_lock_);
    if (file_ < 0) return;  // cancelled or finished: nothing more is stored
    error = WriteAll(file_, payload.data(), payload.size());
    // A full disk may have taken part of the data: back to the last whole
    // write, so that the trailer follows the data as in any other file.
    if (error != 0 && ftruncate(file_, static_cast<off_t>(received_)) == 0) {
      lseek(file_, static_cast<off_t>(received_), SEEK_SET);
    }
    path = path_;
    if (error == 0) {
      received_ += payload.size();
      this_second_ += payload.size();
      const std::time_t now = std::time(nullptr);
      if (now != last_second_) {
        size_text = DownloadSizeText(received_, total_size_);
        rate_text = DownloadRateText(this_second_);
        position = static_cast<long>(received_ / 1024);
        last_second_ = now;
        this_second_ = 0;
      }
    }
  }
  if (error != 0) {
    Trace("[FILE SESSION] Download file write error !!!");
    FinishFile(false);
    // Closing the connection stops the DVR's data; the box comes first, as
    // the worker's hand-overs end once it is asked to stop.
    ui_.ShowMessage("Can't write the download file " + path + ": " + std::strerror(error), MessageIcon::kError);
    End(DownloadOutcome::kWriteFailed);
    socket_.RequestStop();
    return;
  }
  if (!size_text.empty()) ui_.ShowProgress(size_text, rate_text, position);
}

void CFileDownloadSession::OnComplete(std::span<const uint8_t> payload) {
  Trace("[FILE SESSION] File download complete succeeded !!!");
  const auto result = protocol::DecodeFileResult(payload);
  const bool succeeded = result && CheckResult(*result);
  const bool had_file = FinishFile(succeeded);
  End(succeeded && had_file ? DownloadOutcome::kComplete : DownloadOutcome::kFailed);
  socket_.RequestStop();
}

void CFileDownloadSession::OnCancelReply(std::span<const uint8_t> payload) {
  const auto result = protocol::DecodeFileResult(payload);
  if (result && CheckResult(*result)) {
    Trace("[FILE SESSION] File download cancel succeeded !!!");
  } else {
    Trace("[FILE SESSION] File download cancel failed !!!");
  }
  End(DownloadOutcome::kCancelled);
}

bool CFileDownloadSession::FinishFile(bool succeeded) {
  std::lock_guard guard(file_lock_);
  if (file_ < 0) return false;
  uint8_t trailer[kTrailerSize];
  std::copy_n(info_.begin() + kTrailerFirst, 4, trailer);
  trailer[4] = info_[kTrailerLast];
  const int error = WriteAll(file_, trailer, sizeof trailer);
  const bool closed = close(file_) == 0;
  file_ = -1;
  const bool ok = succeeded && error == 0 && closed;
  Trace(ok ? "[FILE SESSION] File download complete !!!" : "[FILE SESSION] File download failed !!!");
  return error == 0 && closed;
}

void CFileDownloadSession::Abandon(DownloadOutcome outcome, const std::string& message) {
  std::string path;
  uint64_t kept = 0;
  {
    std::lock_guard guard(file_lock_);
    path = file_ >= 0 ? path_ : std::string();
    kept = received_;
  }
  const bool had_file = FinishFile(false);
  if (!ended_ && !had_file && cancelled_) {
    End(DownloadOutcome::kCancelled);
  } else if (!ended_) {
    std::string text = message;
    if (had_file) text += "\n\rThe file " + path + " keeps the " + std::to_string(kept) + " bytes received.";
    ui_.ShowMessage(text, MessageIcon::kError);
    End(outcome);
  }
  socket_.RequestStop();
}

void CFileDownloadSession::End(DownloadOutcome outcome) {
  if (ended_.exchange(true)) return;
  ui_.DownloadEnded(outcome);
}

}  // namespace sessions
