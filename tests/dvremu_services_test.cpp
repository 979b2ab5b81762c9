// End to end: the emulated DVR's service requests, search dialogue, recorded
// stream and file download, as a client sees them on the wire.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

#include "protocol/byte_reader.h"
#include "protocol/command_codes.h"
#include "protocol/payload.h"
#include "tests/dvremu_test_client.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/playback.h"

namespace {

using dvremu_test::Packet;
using dvremu_test::TestClient;
using namespace std::chrono_literals;
namespace cmd = protocol::cmd;
namespace file_cmd = protocol::file_cmd;
namespace stream = protocol::stream;

class DvremuServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dvremu::EmulatorOptions options;
    options.port = 0;
    options.read_stdin = false;
    options.recorded_days = 40;
    options.seed = 7;
    dvr_ = std::make_unique<dvremu::DvrEmulator>(options);
    std::string error;
    ASSERT_TRUE(dvr_->Start(&error)) << error;
    ASSERT_TRUE(command_.Connect(dvr_->command_port()));
    ASSERT_TRUE(command_.LogOn("admin", "1234"));
  }
  Packet Ask(uint32_t code, std::vector<uint8_t> payload, uint32_t reply) {
    command_.Send(code, std::move(payload));
    auto packet = command_.WaitFor(reply);
    EXPECT_TRUE(packet) << std::hex << code;
    return packet.value_or(Packet{});
  }
  // The oldest finished file, which lies wholly within its hour.
  const dvremu::RecordFile& SomeFile() {
    for (const auto& file : dvr_->recordings().files()) {
      if (!file.still_recording) return file;
    }
    return dvr_->recordings().files().front();
  }

  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  TestClient command_{protocol::PortKind::kCommand};
};

TEST_F(DvremuServicesTest, StatusBlockReflectsTheStoredEmailSetting) {
  protocol::PayloadWriter setting;
  setting.u8('t').u8(0x62).u8(10).u8(1).u8(2).u8(3).u8(0).cstring("ops@example.org").cstring("ID7").cstring("555");
  const auto stored = Ask(cmd::BYPASS, setting.take(), cmd::BYPASS_REPLY);
  EXPECT_EQ(stored.payload, (std::vector<uint8_t>{0x00, 0x62}));

  const auto status = Ask(cmd::REQ_DVR_STATUS, {0x11}, cmd::RESP_DVR_STATUS);
  ASSERT_FALSE(status.payload.empty());
  protocol::ByteReader reader(status.payload);
  EXPECT_EQ(reader.u8(), 0);
  reader.cstring(64);
  reader.cstring(64);
  EXPECT_EQ(reader.u16be(), 160);
  reader.u16be();
  reader.u16be();
  reader.cstring(64);
  reader.cstring(64);
  reader.cstring(64);
  EXPECT_EQ(reader.u8(), 10);
  reader.skip(3);
  reader.u8();
  EXPECT_EQ(reader.cstring(64), "ops@example.org");
  EXPECT_EQ(reader.u8(), 1);
  EXPECT_EQ(reader.cstring(64), "ID7");
  EXPECT_EQ(reader.cstring(64), "555");
  reader.u16be();
  reader.u16be();
  EXPECT_TRUE(reader.ok());
  EXPECT_EQ(reader.remaining(), 0u);
}

TEST_F(DvremuServicesTest, LightsAnswerWithTheStatusByte) {
  EXPECT_EQ(Ask(cmd::BYPASS, {'t', 0x77, 0x01, 0x00}, cmd::BYPASS_REPLY).payload,
            (std::vector<uint8_t>{0x00, 0x77, 0xF5}));
  // Lights that exist switch; a light that is not there stays off.
  EXPECT_EQ(Ask(cmd::BYPASS, {'t', 0x77, 0x00, 0x0A}, cmd::BYPASS_REPLY).payload,
            (std::vector<uint8_t>{0x00, 0x77, 0xFA}));
}

TEST_F(DvremuServicesTest, LogPagesOfADay) {
  const time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  protocol::PayloadWriter ask;
  ask.u8(0x13).bcd(local.tm_year % 100).bcd(local.tm_mon + 1).bcd(local.tm_mday).u32le(1);
  const auto first = Ask(cmd::REQ_LOGFILE_BY_DATE, ask.take(), cmd::RESP_LOGFILE_BY_DATE);
  protocol::ByteReader reader(first.payload);
  EXPECT_EQ(reader.u8(), 0);
  const uint32_t pages = reader.u32le();
  const uint8_t count = reader.u8();
  EXPECT_GE(pages, 2u);
  EXPECT_EQ(count, 20);
  EXPECT_EQ(reader.remaining(), 10u * count);
  // Beyond the last page: a failure.
  protocol::PayloadWriter beyond;
  beyond.u8(0x13).bcd(local.tm_year % 100).bcd(local.tm_mon + 1).bcd(local.tm_mday).u32le(pages + 1);
  EXPECT_NE(Ask(cmd::REQ_LOGFILE_BY_DATE, beyond.take(), cmd::RESP_LOGFILE_BY_DATE).payload.at(0), 0);
}

TEST_F(DvremuServicesTest, SearchListsMonthsAndDays) {
  const auto search = Ask(cmd::REQ_SEARCH, {0x18}, cmd::RESP_SEARCH);
  ASSERT_EQ(search.payload.size(), 6u);
  EXPECT_EQ(search.payload[5], 4);
  const time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  uint32_t mask = 0;
  std::memcpy(&mask, &search.payload[1], 4);
  EXPECT_TRUE(mask & (1u << (local.tm_mday - 1)));  // today always has files

  protocol::PayloadWriter month;
  month.u8(0x19).bcd(local.tm_year % 100).bcd(local.tm_mon + 1);
  EXPECT_EQ(Ask(cmd::REQ_MONTHINFO, month.take(), cmd::RESP_RECMONTHINFO).payload,
            std::vector<uint8_t>(search.payload.begin(), search.payload.begin() + 5));

  protocol::PayloadWriter day;
  day.u8(0x1A).bcd(local.tm_year % 100).bcd(local.tm_mon + 1).bcd(local.tm_mday);
  const auto list = Ask(cmd::REQ_RECDAYINFO, day.take(), cmd::RESP_RECDAYINFO);
  ASSERT_EQ((list.payload.size() - 1) % 20, 0u);
  ASSERT_GE(list.payload.size(), 21u);
  // The last file of today is still recording: its end equals its start.
  const uint8_t* last = &list.payload[list.payload.size() - 20];
  EXPECT_EQ(last[8], last[10]);
  EXPECT_EQ(last[9], last[11]);
  EXPECT_EQ(last[7], protocol::BcdFromNumber(local.tm_hour));
}

TEST_F(DvremuServicesTest, PlaybackStreamsTheChosenFileWithItsClock) {
  const auto& file = SomeFile();
  protocol::PayloadWriter play;
  play.u8(0x1D).u32le(file.index).bcd(file.month).bcd(file.day).bcd(file.year % 100).bcd(file.hour);
  play.bcd(file.start_minute).bcd(file.start_second).u8(0).u8(0);
  EXPECT_EQ(Ask(cmd::REQ_PLAYBACK, play.take(), cmd::RESP_PLAYBACK).payload.at(0), 0);
  EXPECT_EQ(Ask(cmd::REQ_RECSTATUSBAR, {0x0F}, cmd::RESP_RECSTATUSBAR).payload.at(0), 0);

  TestClient video(protocol::PortKind::kStream);
  ASSERT_TRUE(video.Connect(dvr_->stream_port()));
  ASSERT_TRUE(video.LogOn("admin", "1234"));
  video.Send(stream::REQRECSTREAM, {stream::NET_REQRECSTREAM});
  const auto accepted = video.WaitFor(stream::RESP_RECSTREAM);
  ASSERT_TRUE(accepted);
  EXPECT_EQ(accepted->payload, std::vector<uint8_t>{0x00});
  video.Send(stream::RCVREADY, {stream::RCVREADY_REMOTEPLAY});
  const auto vol = video.WaitFor(stream::RECORD_VIDEO_DATA);
  ASSERT_TRUE(vol);
  EXPECT_EQ(vol->payload.size(), 19u);
  const auto picture = video.WaitFor(stream::RECORD_VIDEO_DATA);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->payload[4] & 0x1F, 1);
  EXPECT_EQ(picture->payload[7], 0);  // from an I picture
  EXPECT_EQ(picture->payload[14] + 1900, file.year);
  EXPECT_EQ(picture->payload[17], file.hour);
  EXPECT_EQ(picture->payload[18], file.start_minute);

  const auto clock = command_.WaitFor(cmd::BYPASS_REPLY, 2500ms);
  ASSERT_TRUE(clock);
  EXPECT_EQ(clock->payload[1], 0x0F);
  EXPECT_EQ(clock->payload[2], protocol::BcdFromNumber(file.start_minute));

  // Stop, then one frame forward: exactly one picture per channel.
  EXPECT_EQ(Ask(cmd::REQ_STOP_RECSTREAM, {0x08}, cmd::RESP_STOP_RECSTREAM).payload, std::vector<uint8_t>{0x08});
  while (video.Receive(300ms)) {
  }
  EXPECT_EQ(Ask(cmd::REQ_TRICKMODE, {0x09}, cmd::RESP_TRICKMODE).payload.at(0), 0);
  int pictures = 0;
  while (video.Receive(300ms)) ++pictures;
  EXPECT_EQ(pictures, 4);
  EXPECT_EQ(Ask(cmd::REQ_FORWARD_PLAYBACK, {0x0A, 0x04}, cmd::RESP_SPEED_PLAYBACK).payload.at(0), 0);
  EXPECT_EQ(Ask(cmd::REQ_JUMPSTREAM, {0x10, protocol::BcdFromNumber(file.start_minute + 1)}, cmd::RESP_JUMPSTREAM)
                .payload.at(0),
            0);
  EXPECT_EQ(Ask(cmd::REQ_STOP_RECSTREAM, {0x33}, cmd::RESP_STOP_RECSTREAM).payload, std::vector<uint8_t>{0x33});

  protocol::PayloadWriter missing;
  missing.u8(0x1D).u32le(999999).u32le(0).u32le(0);
  EXPECT_EQ(Ask(cmd::REQ_PLAYBACK, missing.take(), cmd::RESP_PLAYBACK).payload, (std::vector<uint8_t>{0x01, 0x01}));
}

TEST_F(DvremuServicesTest, FileDownloadDeliversTheAnnouncedRecordFile) {
  const auto& file = SomeFile();
  TestClient download(protocol::PortKind::kFile);
  ASSERT_TRUE(download.Connect(dvr_->file_port()));
  ASSERT_TRUE(download.LogOn("admin", "1234"));
  // Five seconds from the file's start.
  const int end = file.start_in_hour_s() + 5;
  protocol::PayloadWriter ask;
  ask.u8(0x23).u32le(file.index).bcd(file.month).bcd(file.day).bcd(file.year % 100).bcd(file.hour);
  ask.bcd(file.start_minute).bcd(file.start_second).bcd(end / 60).bcd(end % 60);
  download.Send(file_cmd::REQ_FILEDOWNLOAD, ask.take());
  const auto accepted = download.WaitFor(file_cmd::RESP_FILEDOWNLOAD);
  ASSERT_TRUE(accepted);
  ASSERT_EQ(accepted->payload.size(), 5u);
  ASSERT_EQ(accepted->payload[0], 0);
  uint32_t size = 0;
  std::memcpy(&size, &accepted->payload[1], 4);

  download.Send(file_cmd::REQ_FILEINFO, {0x21});
  const auto info = download.WaitFor(file_cmd::RESP_FILEINFO);
  ASSERT_TRUE(info);
  ASSERT_EQ(info->payload.size(), 65u);
  EXPECT_EQ(info->payload[1 + 49], 1);

  download.Send(file_cmd::REQ_FILEDATA, {0x22});
  std::vector<uint8_t> bytes;
  while (auto packet = download.Receive()) {
    if (packet->code == file_cmd::FILEDOWNLOAD_COMPLETE) {
      EXPECT_EQ(packet->payload, std::vector<uint8_t>{0x00});
      break;
    }
    ASSERT_EQ(packet->code, file_cmd::FILE_DATA);
    bytes.insert(bytes.end(), packet->payload.begin(), packet->payload.end());
  }
  ASSERT_EQ(bytes.size(), size);
  // The file is the VOL packet and then 5 s x 30 pictures x 4 channels.
  protocol::Reassembler reader(protocol::stream::kMaxPayload);
  size_t offset = 0;
  int packets = 0;
  while (offset < bytes.size()) {
    const auto wanted = reader.Wanted();
    const size_t take = std::min(wanted.size(), bytes.size() - offset);
    std::memcpy(wanted.data(), &bytes[offset], take);
    offset += take;
    const auto step = reader.Received(take);
    ASSERT_NE(step, protocol::Reassembler::Step::kResync);
    if (step == protocol::Reassembler::Step::kPacket) {
      const auto payload = reader.Packet().payload();
      if (packets == 0) {
        EXPECT_EQ(payload.size(), 19u);
      } else {
        EXPECT_EQ(payload[4] & 0x1F, (packets - 1) % 4 + 1);
        EXPECT_EQ(payload[7], (packets - 1) / 4 % 30);
      }
      ++packets;
      reader.Reset();
    }
  }
  EXPECT_EQ(packets, 1 + 5 * 30 * 4);
}

}  // namespace
