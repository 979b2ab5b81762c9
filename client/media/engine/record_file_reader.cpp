// The record file reader and the frame structure every reader shares.
#include <algorithm>
#include <array>
#include <cstring>

#include "client/media/engine/byte_source.h"
#include "client/media/engine/recorded_media.h"
#include "platform/trace.h"
#include "protocol/byte_reader.h"
#include "protocol/packet_header.h"
#include "protocol/stream_codes.h"

namespace media {
namespace stream = protocol::stream;

int RecordedMedia::channel_count() const {
  if (highest_channel <= 1) return 1;
  return highest_channel <= 4 ? 4 : 8;
}

void RecordedMedia::Finish() {
  frame_starts.clear();
  int previous = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    if (i == 0 || pictures[i].channel <= previous) frame_starts.push_back(i);
    previous = pictures[i].channel;
  }
}

size_t RecordedMedia::frame_end(size_t frame) const {
  return frame + 1 < frame_starts.size() ? frame_starts[frame + 1] : pictures.size();
}

namespace {

constexpr size_t kScanChunk = 64 * 1024;

// The offset of the next "TOLVA" at or after `from`, or the source's size;
// `nonzero` tells whether anything but zero filling was passed over.
uint64_t NextMagic(IByteSource& source, uint64_t from, bool* nonzero) {
  std::vector<uint8_t> chunk;
  const uint64_t size = source.size();
  *nonzero = false;
  while (from + protocol::kMagicSize <= size) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(kScanChunk, size - from));
    chunk.resize(take);
    if (!source.ReadAt(from, chunk)) return size;
    for (size_t i = 0; i + protocol::kMagicSize <= take; ++i) {
      if (protocol::MagicMatches(std::span(chunk).subspan(i))) return from + i;
      if (chunk[i] != 0) *nonzero = true;
    }
    if (take < kScanChunk) break;
    // Keep the last bytes: a magic may straddle two chunks.
    from += take - (protocol::kMagicSize - 1);
  }
  return size;
}

// Appends one picture payload found at `offset` of the source.
bool AddPicture(std::span<const uint8_t> payload, uint64_t offset, uint8_t source_id, RecordedMedia* media) {
  const size_t start = vistrel::FindUserData(payload);
  if (start == payload.size()) return false;
  const auto picture = payload.subspan(start);
  const int channel = vistrel::UserDataChannel(picture);
  const auto stamp = vistrel::ReadPictureStamp(picture);
  if (channel < 1 || channel > 16 || !stamp || picture.size() > kMaxRecordedPictureBytes) return false;
  RecordedPicture entry;
  entry.offset = offset + start;
  entry.length = static_cast<uint32_t>(picture.size());
  entry.source = source_id;
  entry.channel = static_cast<uint8_t>(channel);
  entry.number = static_cast<uint8_t>(stamp->number);
  entry.time = stamp->time;
  media->pictures.push_back(entry);
  media->highest_channel = std::max(media->highest_channel, channel);
  return true;
}

}  // namespace

bool ReadRecordFile(IByteSource& source, uint8_t source_id, RecordedMedia* media, std::string* error) {
  const uint64_t size = source.size();
  uint64_t pos = 0;
  std::array<uint8_t, protocol::kHeaderSize> header;
  std::vector<uint8_t> payload;
  size_t dropped = 0;
  while (pos + protocol::kHeaderSize <= size) {
    if (!source.ReadAt(pos, header)) {
      Trace("[MEDIA READER] Read error at %llu, the rest of the file is not played",
            static_cast<unsigned long long>(pos));
      break;
    }
    if (!protocol::MagicMatches(header)) {
      bool nonzero = false;
      const uint64_t next = NextMagic(source, pos, &nonzero);
      if (nonzero) {
        Trace("[MEDIA READER] Skipped %llu bytes between packets at %llu", static_cast<unsigned long long>(next - pos),
              static_cast<unsigned long long>(pos));
      }
      pos = next;
      continue;
    }
    const uint16_t length = protocol::HeaderPayloadLength(header);
    const uint32_t code = protocol::HeaderCode(header);
    if (pos + protocol::kHeaderSize + length > size) {
      Trace("[MEDIA READER] Packet at %llu cut short by the end of the file", static_cast<unsigned long long>(pos));
      break;
    }
    const uint64_t payload_offset = pos + protocol::kHeaderSize;
    pos = payload_offset + length;
    if (code != stream::RECORD_VIDEO_DATA && code != stream::LIVE_VIDEO_DATA) continue;
    payload.resize(length);
    if (!source.ReadAt(payload_offset, payload)) break;
    if (length >= 4 && std::equal(stream::kVolStart, stream::kVolStart + 4, payload.begin())) {
      if (!media->has_vol) {
        std::copy_n(payload.begin(), std::min<size_t>(length, media->vol.size()), media->vol.begin());
        media->has_vol = true;
      }
      continue;
    }
    if (media->pictures.size() >= kMaxRecordedPictures) {
      Trace("[MEDIA READER] More than %zu pictures, the rest is not played", kMaxRecordedPictures);
      break;
    }
    if (!AddPicture(payload, payload_offset, source_id, media)) ++dropped;
  }
  if (dropped > 0) Trace("[MEDIA READER] %zu packets without a readable picture skipped", dropped);
  if (!media->has_vol) {
    *error = "no VOL header";
    return false;
  }
  if (media->pictures.empty()) {
    *error = "no pictures";
    return false;
  }
  media->Finish();
  return true;
}

}  // namespace media
