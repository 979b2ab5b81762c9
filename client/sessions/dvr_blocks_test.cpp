#include <gtest/gtest.h>

#include "client/sessions/dvr_status_block.h"
#include "client/sessions/log_page.h"
#include "protocol/payload.h"

namespace sessions {
namespace {

using protocol::DecodeLogPage;
using protocol::DecodeSettingBlock;
using protocol::DecodeStatusBlock;

std::vector<uint8_t> StatusBytes(uint8_t flag, uint16_t capacity = 0x0050) {
  protocol::PayloadWriter out;
  out.cstring("1.20.07").cstring("DVR-8CH");
  out.u8(capacity >> 8).u8(capacity & 0xFF);  // big-endian
  out.u8(0x00).u8(0x10).u8(0x00).u8(0x0C);
  out.cstring("Overwrite").cstring("NTSC").cstring("10.0.0.7");
  out.u8(192).u8(168).u8(0).u8(200).u8(0);
  out.cstring("dvr@example.com").u8(flag).cstring("DVR-01").cstring("0123456789");
  out.u8(0x00).u8(0x50).u8(0x00).u8(0xA0);
  return out.take();
}

TEST(DvrStatusBlock, FieldsAndTheirTexts) {
  const auto status = DecodeStatusBlock(StatusBytes(0));
  ASSERT_TRUE(status);
  EXPECT_EQ(status->version, "1.20.07");
  EXPECT_EQ(status->model, "DVR-8CH");
  EXPECT_EQ(CapacityText(*status), "80 GB");
  EXPECT_EQ(FirstDiskText(*status), "16GB/80GB");
  EXPECT_EQ(SecondDiskText(*status), "12GB/160GB");
  EXPECT_EQ(status->text6, "Overwrite");
  EXPECT_EQ(status->text7, "NTSC");
  EXPECT_EQ(status->address, "10.0.0.7");
  EXPECT_EQ(DottedAddress(status->service_address), "192.168.0.200");
  EXPECT_EQ(status->email, "dvr@example.com");
  EXPECT_EQ(FlagText(*status), "OFF");
  EXPECT_EQ(status->dvr_id, "DVR-01");
  EXPECT_EQ(status->call_number, "0123456789");
  EXPECT_EQ(FlagText(*DecodeStatusBlock(StatusBytes(7))), "ON");
}

TEST(DvrStatusBlock, ShortOrUnterminatedBlocksAreRefused) {
  auto bytes = StatusBytes(1);
  for (size_t cut : {size_t{0}, size_t{5}, bytes.size() / 2, bytes.size() - 1}) {
    EXPECT_FALSE(DecodeStatusBlock(std::span(bytes).first(cut))) << cut;
  }
  const std::vector<uint8_t> unterminated = {'1', '.', '0'};
  EXPECT_FALSE(DecodeStatusBlock(unterminated));
}

TEST(ServiceSettingBlock, EmptyTextsMakeEightBytesAndTextsRoundTrip) {
  ServiceSettingBlock empty;
  empty.address = {10, 1, 2, 3};
  EXPECT_EQ(BuildSettingBlock(empty), (std::vector<uint8_t>{10, 1, 2, 3, 0, 0, 0, 0}));

  const auto status = DecodeStatusBlock(StatusBytes(1));
  const auto block = BuildSettingBlock(SettingOf(*status));
  EXPECT_EQ(block.size(), 8 + std::string("dvr@example.com").size() + 6 + 10);
  const auto back = DecodeSettingBlock(block);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->address, (std::array<uint8_t, 4>{192, 168, 0, 200}));
  EXPECT_EQ(back->call_number, "0123456789");
  EXPECT_FALSE(DecodeSettingBlock(std::span(block).first(block.size() - 1)));
}

DvrLogRecord Record(uint16_t code, std::array<uint8_t, 4> address = {0, 0, 0, 0}) {
  DvrLogRecord record;
  record.code = code;
  record.address = address;
  return record;
}

TEST(LogPage, EventTexts) {
  EXPECT_EQ(LogEventText(Record(0x0111, {5, 0, 168, 192})), "Login:192.168.0.5 (user)");
  EXPECT_EQ(LogEventText(Record(0x0011, {5, 0, 168, 192})), "Login:192.168.0.5 (admin)");
  EXPECT_EQ(LogEventText(Record(0x0011, {255, 0, 168, 192})), "Login:Unknown address (admin)");
  EXPECT_EQ(LogEventText(Record(0x0112, {9, 1, 10, 10})), "Logout:10.10.1.9 (user)");
  EXPECT_EQ(LogEventText(Record(0x0090)), "No have log list");
  EXPECT_EQ(LogEventText(Record(0x0000)), "Power on");
  EXPECT_EQ(LogEventText(Record(0x0102)), "Signal loss: 1CH");
  EXPECT_EQ(LogEventText(Record(0x0309)), "Record Stop(Backup)\t");
  // A whole-code match replaces the logon-class text of its low byte.
  EXPECT_EQ(LogEventText(Record(0x0810)), "Search(PB)");
  EXPECT_EQ(LogEventText(Record(0x0912)), "HDD Backup");
  EXPECT_EQ(LogEventText(Record(0x0A13)), "PTZ Control : Local");
  EXPECT_EQ(LogEventText(Record(0x0513)), "Download");
  EXPECT_EQ(LogEventText(Record(0x0777)), "");

  DvrLogRecord time;
  time.hour = 0x09;
  time.minute = 0x05;
  time.second = 0x30;
  EXPECT_EQ(LogTimeText(time), "09 : 05 : 30");
}

TEST(LogPage, RequestAndAnswerLayout) {
  EXPECT_EQ(BuildLogRequest(2024, 3, 17, 2), (std::vector<uint8_t>{0x13, 0x24, 0x03, 0x17, 2, 0, 0, 0}));

  protocol::PayloadWriter answer;
  answer.u32le(3).u8(2);
  answer.u8(0x09).u8(0x05).u8(0x30).u8(0).u8(0x01).u8(0x11).u8(5).u8(0).u8(168).u8(192);
  answer.u8(0x23).u8(0x59).u8(0x59).u8(0).u8(0x00).u8(0x01).u8(0).u8(0).u8(0).u8(0);
  const auto page = DecodeLogPage(answer.bytes());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->page_count, 3u);
  ASSERT_EQ(page->records.size(), 2u);
  EXPECT_EQ(LogEventText(page->records[0]), "Login:192.168.0.5 (user)");
  EXPECT_EQ(LogTimeText(page->records[1]), "23 : 59 : 59");
  EXPECT_EQ(LogEventText(page->records[1]), "Power off");

  // Announcing more records than it carries keeps only the whole ones.
  const auto& bytes = answer.bytes();
  auto cut = DecodeLogPage(std::span(bytes).first(bytes.size() - 3));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->declared_records, 2);
  EXPECT_EQ(cut->records.size(), 1u);
  EXPECT_FALSE(DecodeLogPage(std::span(bytes).first(4)));
}

TEST(LogPager, NextAndBackStayWithinThePages) {
  LogPager pager;
  EXPECT_FALSE(pager.Next());  // no page count yet
  DvrLogPage none;
  EXPECT_FALSE(pager.Accept(none));
  DvrLogPage two;
  two.page_count = 2;
  ASSERT_TRUE(pager.Accept(two));
  EXPECT_EQ(pager.IndicatorText(), "1 / 2");
  EXPECT_FALSE(pager.Back());
  EXPECT_TRUE(pager.Next());
  EXPECT_FALSE(pager.Next());
  EXPECT_EQ(pager.IndicatorText(), "2 / 2");
  EXPECT_TRUE(pager.Back());
  pager.SelectDay();
  EXPECT_EQ(pager.current_page(), 1);
}

TEST(LightStatus, PresenceGatesTheOnBits) {
  EXPECT_TRUE(LightExists(0xF5, 4));
  EXPECT_TRUE(LightShownOn(0xF5, 1));
  EXPECT_FALSE(LightShownOn(0xF5, 2));
  EXPECT_TRUE(LightShownOn(0xF5, 3));
  // 0x2F: only light 2 exists, and only it shows on.
  for (int light = 1; light <= 4; ++light) {
    EXPECT_EQ(LightExists(0x2F, light), light == 2) << light;
    EXPECT_EQ(LightShownOn(0x2F, light), light == 2) << light;
  }
  // 0x35: lights 1 and 2 exist; light 3's on-bit is ignored.
  EXPECT_TRUE(LightShownOn(0x35, 1));
  EXPECT_FALSE(LightShownOn(0x35, 2));
  EXPECT_FALSE(LightShownOn(0x35, 3));
  EXPECT_EQ(SwitchLight(0xF5, 1, false), 0xF4);
  EXPECT_EQ(SwitchLight(0xF4, 2, true), 0xF6);
}

}  // namespace
}  // namespace sessions
