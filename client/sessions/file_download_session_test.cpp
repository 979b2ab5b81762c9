#include "client/sessions/file_download_session.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "client/sessions/download_file_name.h"
#include "client/sessions/testing/download_test_support.h"
#include "client/sessions/testing/session_test_support.h"
#include "platform/tcp_socket.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "protocol/packet_header.h"
#include "protocol/payload.h"
#include "tools/dvremu/file_port.h"

namespace sessions {
namespace {

using namespace std::chrono_literals;
using protocol::BcdFromNumber;
using testing::PumpUntil;
using testing::RecordingDownloadUi;

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FileDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Application();
    char pattern[] = "/tmp/kaviro-download-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    session_.reset();
    if (dvr_) dvr_->Stop();
    std::filesystem::remove_all(folder_);
  }

  void StartDvr() {
    file_ = nullptr;  // the last emulator's recordings went with it
    dvr_ = testing::StartEmulator(options_);
    ASSERT_TRUE(dvr_);
    // The shortest finished file keeps the whole download small.
    for (const dvremu::RecordFile& file : dvr_->recordings().files()) {
      if (!file.still_recording && (file_ == nullptr || file.duration_s < file_->duration_s)) file_ = &file;
    }
    ASSERT_NE(file_, nullptr);
  }

  // The record of the whole file, or of [from, to) seconds into it.
  FileDownloadRecord Record(int from_s = 0, int to_s = -1) const {
    FileDownloadRecord record;
    record.user_name = "admin";
    record.password = "1234";
    record.month = BcdFromNumber(file_->month);
    record.day = BcdFromNumber(file_->day);
    record.year = BcdFromNumber(file_->year % 100);
    record.hour = BcdFromNumber(file_->hour);
    const int start = file_->start_in_hour_s() + from_s;
    const int end = file_->start_in_hour_s() + (to_s < 0 ? file_->duration_s : to_s);
    record.start_minute = BcdFromNumber(start / 60);
    record.start_second = BcdFromNumber(start % 60);
    record.end_minute = BcdFromNumber(end / 60);
    record.end_second = BcdFromNumber(end % 60);
    record.address = "127.0.0.1";
    record.port = dvr_->file_port();
    record.file_index = file_->index;
    record.local_path = UniqueDownloadName(DownloadPathStem(folder_, record), record);
    return record;
  }

  // What the DVR serves for the record: the stretch's bytes and its block.
  std::vector<uint8_t> Served(const FileDownloadRecord& record, std::vector<uint8_t>* block = nullptr) const {
    auto number = [](uint8_t bcd) { return (bcd >> 4) * 10 + (bcd & 0x0F); };
    const dvremu::Stretch stretch =
        dvremu::StretchOf(*file_, options_.fps, number(record.start_minute), number(record.start_second),
                          number(record.end_minute), number(record.end_second));
    dvremu::RecordFileStream stream(dvr_->video(), *file_, stretch);
    if (block != nullptr) *block = stream.InformationBlock();
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> chunk;
    while (!stream.done()) {
      stream.Read(1 << 16, &chunk);
      bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    }
    return bytes;
  }

  static std::vector<uint8_t> Trailer(const std::vector<uint8_t>& block) {
    return {block[4], block[5], block[6], block[7], block[49]};
  }

  bool Ended() {
    return PumpUntil([&] { return ui_.outcome().has_value(); }, 20s);
  }

  dvremu::EmulatorOptions options_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  const dvremu::RecordFile* file_ = nullptr;
  std::string folder_;
  RecordingDownloadUi ui_;
  std::unique_ptr<CFileDownloadSession> session_ = std::make_unique<CFileDownloadSession>(ui_);
  platform::TraceCapture trace_;
};

TEST_F(FileDownloadTest, WholeAndNarrowedDownloadsAreByteExactWithTheTrailer) {
  StartDvr();
  for (const bool narrowed : {false, true}) {
    SCOPED_TRACE(narrowed ? "narrowed" : "whole");
    const FileDownloadRecord record = narrowed ? Record(20, 35) : Record();
    std::vector<uint8_t> block;
    std::vector<uint8_t> expected = Served(record, &block);
    const size_t served = expected.size();
    const auto trailer = Trailer(block);
    expected.insert(expected.end(), trailer.begin(), trailer.end());

    ui_.Clear();
    ASSERT_EQ(session_->Start(record), 0);
    ASSERT_TRUE(Ended());
    EXPECT_EQ(ui_.outcome(), DownloadOutcome::kComplete);
    EXPECT_EQ(ui_.started(), 1);
    EXPECT_EQ(ui_.range(), static_cast<long>(served / 1024));
    EXPECT_TRUE(ui_.messages().empty());
    EXPECT_EQ(session_->received(), served);
    EXPECT_EQ(ReadFile(record.local_path), expected);
    ASSERT_FALSE(ui_.size_texts().empty());
    EXPECT_EQ(session_->Stop(), 0);
    EXPECT_FALSE(session_->connected());
  }
  // The request carries the record's index and times, 13 bytes.
  const auto requests = testing::Received(*dvr_, "admin", protocol::file_cmd::REQ_FILEDOWNLOAD);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].size(), 13u);
  EXPECT_EQ(requests[1][0], protocol::sub::kFileDownload);
  EXPECT_EQ(requests[1][1], static_cast<uint8_t>(file_->index));
  EXPECT_TRUE(trace_.Contains("[FILE SESSION] Filedownlaod port socket connect !!!"));
  EXPECT_TRUE(trace_.Contains("[FILE SESSION] Filedownload port authentication succeeded !!!"));
  EXPECT_TRUE(trace_.Contains("[FILE SESSION] File download complete !!!"));
  EXPECT_TRUE(trace_.WaitFor("[STREAM SOCKET] Filedownload port thread exit !!!", 5s));
  EXPECT_EQ(session_->Stop(), 0);
  EXPECT_TRUE(trace_.Contains("[FILE SESSION] Already filedownload socket closed !!!"));
}

TEST_F(FileDownloadTest, ShortInformationBlockGivesZeroTrailerAndEmptyDataIsDropped) {
  options_.file_replies[protocol::file_cmd::RESP_FILEINFO] = {0x00, 'K', 'V', 'R', 'F', 7, 7, 7, 7};
  options_.empty_file_data = true;
  StartDvr();
  const FileDownloadRecord record = Record(0, 5);
  std::vector<uint8_t> expected = Served(record);
  expected.insert(expected.end(), 5, 0);
  ASSERT_EQ(session_->Start(record), 0);
  ASSERT_TRUE(Ended());
  EXPECT_EQ(ui_.outcome(), DownloadOutcome::kComplete);
  EXPECT_EQ(ReadFile(record.local_path), expected);
  EXPECT_TRUE(trace_.Contains("[FILE SESSION] Download file size is 0 !!!"));
}

TEST_F(FileDownloadTest, RefusalsShowTheirReasonAndEndWithoutAFile) {
  const std::pair<uint8_t, std::string> reasons[] = {
      {1, "Can't found record file. To select again."},
      {2, "Can't playback the record file in DVR. Admin use playback in the DVR"},
  };
  for (const auto& [reason, text] : reasons) {
    SCOPED_TRACE(text);
    if (dvr_) dvr_->Stop();
    options_.file_replies[protocol::file_cmd::RESP_FILEDOWNLOAD] = {0x01, reason};
    StartDvr();
    ui_.Clear();
    const FileDownloadRecord record = Record();
    ASSERT_EQ(session_->Start(record), 0);
    ASSERT_TRUE(Ended());
    EXPECT_EQ(ui_.outcome(), DownloadOutcome::kRefused);
    EXPECT_EQ(ui_.messages(), std::vector<std::string>{text});
    EXPECT_EQ(ui_.started(), 0);
    EXPECT_FALSE(std::filesystem::exists(record.local_path));
    EXPECT_TRUE(trace_.Contains("[FILE SESSION] Response filedownload failed !!!"));
    session_->Stop();
  }
}

TEST_F(FileDownloadTest, AdministratorAtTheDvrDisconnectsTheSearchViewer) {
  // The DVR accepts, then answers the data's end with 0x51: not complete.
  options_.file_replies[protocol::file_cmd::FILEDOWNLOAD_COMPLETE] = {protocol::result::kAdminBusy};
  StartDvr();
  const FileDownloadRecord record = Record(0, 3);
  const std::vector<uint8_t> served = Served(record);
  ASSERT_EQ(session_->Start(record), 0);
  ASSERT_TRUE(Ended());
  EXPECT_EQ(ui_.outcome(), DownloadOutcome::kFailed);
  EXPECT_EQ(ui_.search_disconnects(), 1);
  EXPECT_TRUE(trace_.Contains("[FILE SESSION] The administrator is using the DVR System !!!"));
  EXPECT_TRUE(trace_.Contains("[FILE SESSION] File download failed !!!"));
  // Even so the bytes and the trailer are kept.
  EXPECT_EQ(ReadFile(record.local_path).size(), served.size() + CFileDownloadSession::kTrailerSize);
}

// Cancel, a dropped connection and a closed dialog in the middle of the data
// all keep the bytes received, then the trailer.
TEST_F(FileDownloadTest, AnInterruptedDownloadKeepsEveryByteAndTheTrailer) {
  constexpr int kPackets = 3;
  options_.file_data_hold_after = kPackets;
  StartDvr();
  enum class Stop { kCancel, kDrop, kClose };
  for (const Stop how : {Stop::kCancel, Stop::kDrop, Stop::kClose}) {
    SCOPED_TRACE(static_cast<int>(how));
    ui_.Clear();
    const FileDownloadRecord record = Record();
    std::vector<uint8_t> block;
    const std::vector<uint8_t> served = Served(record, &block);
    const size_t held = kPackets * dvremu::FileConnection::kChunkSize;
    ASSERT_GT(served.size(), held);
    ASSERT_EQ(session_->Start(record), 0);
    ASSERT_TRUE(PumpUntil([&] { return session_->received() == held; }, 20s));
    switch (how) {
      case Stop::kCancel:
        session_->Cancel();
        ASSERT_TRUE(Ended());
        EXPECT_EQ(ui_.outcome(), DownloadOutcome::kCancelled);
        EXPECT_TRUE(trace_.Contains("[FILE SESSION] File download cancel succeeded !!!"));
        break;
      case Stop::kDrop:
        dvr_->Drop(dvremu::Target::kFile);
        ASSERT_TRUE(Ended());
        EXPECT_EQ(ui_.outcome(), DownloadOutcome::kFailed);
        ASSERT_EQ(ui_.messages().size(), 1u);
        EXPECT_NE(ui_.messages()[0].find(record.local_path), std::string::npos);
        break;
      case Stop::kClose:
        break;
    }
    session_->Stop();
    std::vector<uint8_t> expected(served.begin(), served.begin() + static_cast<long>(held));
    const auto trailer = Trailer(block);
    expected.insert(expected.end(), trailer.begin(), trailer.end());
    EXPECT_EQ(ReadFile(record.local_path), expected);
    EXPECT_NE(ui_.outcome(), DownloadOutcome::kComplete);
  }
}

TEST_F(FileDownloadTest, FailedCreateOrWriteStopsWithTheFileNameAndTheSystemError) {
  StartDvr();
  // /dev/full opens as a disk that is full: no byte goes in.
  FileDownloadRecord full = Record();
  full.local_path = "/dev/full";
  ASSERT_EQ(session_->Start(full), 0);
  ASSERT_TRUE(Ended());
  EXPECT_EQ(ui_.outcome(), DownloadOutcome::kWriteFailed);
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_NE(ui_.messages()[0].find("/dev/full"), std::string::npos);
  EXPECT_NE(ui_.messages()[0].find(std::strerror(ENOSPC)), std::string::npos);
  EXPECT_TRUE(trace_.WaitFor("[STREAM SOCKET] Filedownload port thread exit !!!", 5s));
  session_->Stop();

  // A file that cannot be created ends the download too, with its box.
  ui_.Clear();
  FileDownloadRecord nowhere = Record();
  nowhere.local_path = folder_ + "/missing/folder/file.amg";
  ASSERT_EQ(session_->Start(nowhere), 0);
  ASSERT_TRUE(Ended());
  EXPECT_EQ(ui_.outcome(), DownloadOutcome::kWriteFailed);
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_NE(ui_.messages()[0].find(nowhere.local_path), std::string::npos);
  EXPECT_TRUE(trace_.Contains("[FILE SESSION] Download file create error !!!"));
}

TEST_F(FileDownloadTest, OnlyWholeFileDataPacketsReachTheFile) {
  options_.file_data_hold_after = 1;
  StartDvr();
  const FileDownloadRecord record = Record();
  ASSERT_EQ(session_->Start(record), 0);
  ASSERT_TRUE(PumpUntil([&] { return session_->received() > 0; }, 20s));
  // Noise is skipped; a whole packet of 65,535 bytes fits the buffer and is
  // data; a packet cut short by the DVR going away is not.
  dvr_->Garbage(dvremu::Target::kFile, 100);
  dvr_->Oversize(dvremu::Target::kFile);
  dvr_->Truncate(dvremu::Target::kFile);
  ASSERT_TRUE(Ended());
  EXPECT_EQ(ui_.outcome(), DownloadOutcome::kFailed);
  session_->Stop();
  EXPECT_EQ(ReadFile(record.local_path).size(),
            dvremu::FileConnection::kChunkSize + protocol::kMaxFramedPayload + CFileDownloadSession::kTrailerSize);
}

TEST_F(FileDownloadTest, AnUnknownCodeCostsTheConnection) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(0, &port);
  ASSERT_GE(listener, 0);
  StartDvr();
  FileDownloadRecord record = Record();
  record.port = port;
  ASSERT_EQ(session_->Start(record), 0);
  const int peer = accept(listener, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  const auto header = protocol::BuildHeader(protocol::PortKind::kFile, 0, 0x9999);
  ASSERT_EQ(send(peer, header.data(), header.size(), 0), static_cast<ssize_t>(header.size()));
  ASSERT_TRUE(Ended());
  EXPECT_EQ(ui_.outcome(), DownloadOutcome::kFailed);
  EXPECT_TRUE(trace_.Contains("[FILE SESSION] Filedownload Protocol Error parse code : 0x9999"));
  EXPECT_TRUE(trace_.Contains("[FILE SESSION] File download descriptor dispatch error !!!"));
  // The client hung up.
  uint8_t byte = 0;
  EXPECT_EQ(recv(peer, &byte, 1, 0), 0);
  session_->Stop();
  close(peer);
  close(listener);
}

TEST_F(FileDownloadTest, ConnectFailureIsToldToTheDialog) {
  StartDvr();
  FileDownloadRecord record = Record();
  record.port = testing::ClosedPort();
  ASSERT_EQ(session_->Start(record), 0);
  ASSERT_TRUE(Ended());
  EXPECT_EQ(ui_.outcome(), DownloadOutcome::kConnectFailed);
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_NE(ui_.messages()[0].find("The attempt to connect was forcefully rejected."), std::string::npos);
  EXPECT_TRUE(trace_.Contains("[DOWNLOAD SOCKET] WSAEventSelect function error !!!"));
}

TEST(FileDownloadTexts, ProgressTextsAndThePortOverAModem) {
  EXPECT_EQ(DownloadRateText(128000), "1000 Kbps");
  EXPECT_EQ(DownloadRateText(0), "0 Kbps");
  EXPECT_EQ(DownloadSizeText(3 * 1024 + 1023, 10 * 1024), "3 KB / 10 KB");
  EXPECT_EQ(FileDownloadPort(4000, false), 4002);
  EXPECT_EQ(FileDownloadPort(4000, true), 2002);
  EXPECT_STREQ(FileDownloadAddress("10.0.0.7", true), "127.0.0.1");
  EXPECT_STREQ(FileDownloadAddress("10.0.0.7", false), "10.0.0.7");
}

}  // namespace
}  // namespace sessions
