// The DVR's file download port: logon, the download request for a stretch of
// a recorded file (answered with its size), the information block, then the
// file's bytes in FILE_DATA packets and the completion; a cancel stops it.
//
// Threads: as Connection.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/dvremu/connection.h"
#include "tools/dvremu/recordings.h"

namespace dvremu {

class FileConnection : public Connection {
 public:
  FileConnection(DvrEmulator& dvr, int fd, std::string peer, int stop_fd);

  // Bytes per FILE_DATA packet.
  static constexpr size_t kChunkSize = 32768;

 protected:
  void OnConnected() override;
  void OnPacket(const protocol::PacketView& packet) override;
  std::optional<Clock::time_point> NextTick() override;
  void OnTick() override;

 private:
  void OnDownload(std::span<const uint8_t> payload);
  // Reply, or the reply the options put in its place.
  int FileReply(uint32_t code, std::span<const uint8_t> payload);

  // Connection thread only.
  std::unique_ptr<RecordFileStream> file_;
  std::string user_;
  bool sending_ = false;
  int data_packets_ = 0;
  std::vector<uint8_t> chunk_;
};

}  // namespace dvremu
