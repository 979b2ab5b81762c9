// The typed decoders of the replies the client reads, with what the client
// then does with their values. The first byte picks the decoder; the rest is
// the payload as the DVR would send it. A decoder joins with one line in
// kDecoders.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

#include "client/sessions/dvr_status_block.h"
#include "client/sessions/log_page.h"
#include "client/sessions/search_rows.h"
#include "protocol/command_codes.h"
#include "protocol/command_replies.h"
#include "protocol/search_replies.h"
#include "protocol/service_replies.h"

namespace {

using Payload = std::span<const uint8_t>;

// A reply that decodes must hold together: a body only after a success.
template <typename Reply>
void CheckResultReply(const Reply& reply) {
  if (reply && reply->body && !reply->succeeded()) __builtin_trap();
}

void Status(Payload payload) {
  const auto reply = protocol::DecodeDvrStatusReply(payload);
  CheckResultReply(reply);
  if (!reply || !reply->body) return;
  // The texts the dialog would show must format whatever the numbers.
  const auto& status = *reply->body;
  (void)sessions::CapacityText(status);
  (void)sessions::FirstDiskText(status);
  (void)sessions::SecondDiskText(status);
  (void)sessions::DottedAddress(status.service_address);
  (void)sessions::BuildSettingBlock(sessions::SettingOf(status));
}

void Setting(Payload payload) {
  const auto setting = protocol::DecodeSettingBlock(payload);
  if (!setting) return;
  // What was read must build back into no more bytes than it came from.
  if (sessions::BuildSettingBlock(*setting).size() > payload.size()) __builtin_trap();
}

void LogPage(Payload payload) {
  const auto reply = protocol::DecodeLogPageReply(payload);
  CheckResultReply(reply);
  if (!reply || !reply->body) return;
  if (reply->body->records.size() > reply->body->declared_records) __builtin_trap();
  for (const auto& record : reply->body->records) {
    (void)sessions::LogTimeText(record);
    (void)sessions::LogEventText(record);
  }
}

void Alarm(Payload payload) { CheckResultReply(protocol::DecodeAlarm(payload)); }

void Light(Payload payload) {
  const auto light = protocol::DecodeLightState(payload);
  if (light && payload.empty()) __builtin_trap();
}

// Command-port replies: nothing decodes from an empty payload, and a success
// carries every field that follows its result byte.
void Logon(Payload payload) {
  const auto reply = protocol::DecodeLogonResult(payload);
  if (reply && payload.empty()) __builtin_trap();
  if (reply && reply->result == protocol::result::kSuccess && payload.size() < 2) __builtin_trap();
}

void LiveStream(Payload payload) {
  const auto reply = protocol::DecodeLiveStreamReply(payload);
  if (reply && payload.empty()) __builtin_trap();
  if (reply && reply->result == protocol::result::kSuccess && payload.size() < 3) __builtin_trap();
}

void Bypass(Payload payload) {
  const auto reply = protocol::DecodeBypassReply(payload);
  if (!reply) return;
  if (payload.empty() || (reply->result == protocol::result::kSuccess && !reply->sub_code)) __builtin_trap();
  if (reply->data.size() > payload.size()) __builtin_trap();
  if (!reply->data.empty() && (reply->data.data() < payload.data() ||
                               reply->data.data() + reply->data.size() > payload.data() + payload.size())) {
    __builtin_trap();
  }
}

void SingleByte(Payload payload) {
  for (const auto reply : {protocol::DecodeChannelChangeReply(payload), protocol::DecodeStopLiveStreamReply(payload),
                           protocol::DecodeNotice(payload)}) {
    if (reply && payload.empty()) __builtin_trap();
  }
}

// Search replies: a success carries its fields, and whatever a day list
// holds formats into rows and a status bar right of the slider's start.
void Search(Payload payload) {
  const auto search = protocol::DecodeSearchReply(payload);
  if (search && search->result == protocol::result::kSuccess && payload.size() < 6) __builtin_trap();
  const auto month = protocol::DecodeMonthInfoReply(payload);
  if (month && month->result == protocol::result::kSuccess && payload.size() < 5) __builtin_trap();
  const auto playback = protocol::DecodePlaybackReply(payload);
  if (playback && payload.empty()) __builtin_trap();
}

void DayList(Payload payload) {
  const auto reply = protocol::DecodeDayInfoReply(payload);
  if (!reply) return;
  if (payload.empty() || reply->files.size() * protocol::kFileRecordSize > payload.size() - 1) __builtin_trap();
  for (const auto& file : reply->files) {
    const auto row = sessions::MakeFileListRow(file);
    if (row.events.size() > 4 || file.size.size() > 4) __builtin_trap();
    const auto bar = sessions::StatusBarOf(sessions::StartSeconds(file), sessions::EndSeconds(file));
    if (bar && (bar->x_begin < sessions::kStatusBarLeft || bar->x_end < sessions::kStatusBarLeft)) __builtin_trap();
  }
}

void PlaybackClock(Payload payload) {
  const auto clock = protocol::DecodePlaybackClock(payload);
  if (clock && (payload.size() < 2 || clock->seconds() < 0 || clock->seconds() >= 3600)) __builtin_trap();
  for (const auto reply : {protocol::DecodePlaybackResult(payload), protocol::DecodeStopRecordStreamReply(payload)}) {
    if (reply && payload.empty()) __builtin_trap();
  }
}

constexpr void (*kDecoders[])(Payload) = {
    Status, Setting, LogPage, Alarm, Light, Logon, LiveStream, Bypass, SingleByte, Search, DayList, PlaybackClock,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  kDecoders[data[0] % std::size(kDecoders)](Payload(data + 1, size - 1));
  return 0;
}
