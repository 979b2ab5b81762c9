// The reader of our own recordings: an .rmp stream file ("LIVE"/"PLAY", the
// VOL header, then pictures back to back) and its .rmg group sizes.
#include <algorithm>
#include <cstring>

#include "client/media/engine/byte_source.h"
#include "client/media/engine/recorded_media.h"
#include "platform/trace.h"
#include "protocol/byte_reader.h"

namespace media {
namespace {

constexpr size_t kRmpHeaderSize = 5 + vistrel::kVolHeaderSize;
constexpr size_t kGroupRecordSize = 7;
constexpr size_t kScanChunk = 256 * 1024;

// Offsets of every user-data start code from `from` on; nothing else marks
// where a picture ends, and start codes do not occur inside coded data.
std::vector<uint64_t> PictureStarts(IByteSource& source, uint64_t from) {
  std::vector<uint64_t> starts;
  std::vector<uint8_t> chunk;
  const uint64_t size = source.size();
  while (from + 4 <= size && starts.size() <= kMaxRecordedPictures) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(kScanChunk, size - from));
    chunk.resize(take);
    if (!source.ReadAt(from, chunk)) break;
    for (size_t i = 0; i + 4 <= take; ++i) {
      if (chunk[i] == 0 && chunk[i + 1] == 0 && chunk[i + 2] == 1 && chunk[i + 3] == 0xB2) starts.push_back(from + i);
    }
    if (take < kScanChunk) break;
    from += take - 3;  // a start code may straddle two chunks
  }
  return starts;
}

}  // namespace

bool ReadRmpFile(IByteSource& rmp, std::span<const uint8_t> rmg, uint8_t source_id, RecordedMedia* media,
                 std::string* error) {
  std::array<uint8_t, kRmpHeaderSize> header;
  if (rmp.size() < kRmpHeaderSize || !rmp.ReadAt(0, header)) {
    *error = "shorter than its header";
    return false;
  }
  if ((std::memcmp(header.data(), "LIVE", 5) != 0 && std::memcmp(header.data(), "PLAY", 5) != 0)) {
    *error = "not a recording";
    return false;
  }
  std::copy_n(header.begin() + 5, vistrel::kVolHeaderSize, media->vol.begin());
  media->has_vol = true;

  const std::vector<uint64_t> starts = PictureStarts(rmp, kRmpHeaderSize);
  if (starts.size() > kMaxRecordedPictures) {
    Trace("[MEDIA READER] More than %zu pictures, the rest is not played", kMaxRecordedPictures);
  }
  if (!starts.empty() && starts.front() != kRmpHeaderSize) {
    Trace("[MEDIA READER] Skipped %llu bytes after the header",
          static_cast<unsigned long long>(starts.front() - kRmpHeaderSize));
  }
  const size_t first = media->pictures.size();
  std::array<uint8_t, vistrel::kUserDataSize> user_data;
  const size_t count = std::min(starts.size(), kMaxRecordedPictures);
  size_t dropped = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint64_t end = i + 1 < starts.size() ? starts[i + 1] : rmp.size();
    const uint64_t length = end - starts[i];
    const auto stamp = length >= user_data.size() && rmp.ReadAt(starts[i], user_data)
                           ? vistrel::ReadPictureStamp(user_data)
                           : std::nullopt;
    const int channel = vistrel::UserDataChannel(user_data);
    if (!stamp || channel < 1 || channel > 16 || length > kMaxRecordedPictureBytes) {
      ++dropped;
      continue;
    }
    RecordedPicture entry;
    entry.offset = starts[i];
    entry.length = static_cast<uint32_t>(length);
    entry.source = source_id;
    entry.channel = static_cast<uint8_t>(channel);
    entry.number = static_cast<uint8_t>(stamp->number);
    entry.time = stamp->time;
    media->pictures.push_back(entry);
    media->highest_channel = std::max(media->highest_channel, channel);
  }
  if (dropped > 0) Trace("[MEDIA READER] %zu pictures without readable user data skipped", dropped);

  // The group index must agree with the pictures: each record ends a group
  // where the next I picture begins. The first record that does not is where
  // the index stops being trusted; the pictures' own numbers still hold.
  protocol::ByteReader reader(rmg);
  uint64_t group_start = kRmpHeaderSize;
  size_t checked = 0;
  while (reader.remaining() >= kGroupRecordSize) {
    const uint8_t mark0 = reader.u8();
    const uint8_t mark1 = reader.u8();
    reader.u8();  // channel: a file holds one, named by its own pictures
    const uint64_t group_end = group_start + reader.u32le();
    // The pictures of this file are in ascending offsets.
    const auto at =
        std::lower_bound(media->pictures.begin() + static_cast<std::ptrdiff_t>(first), media->pictures.end(), group_end,
                         [](const RecordedPicture& p, uint64_t offset) { return p.offset < offset; });
    const bool at_intra = at != media->pictures.end() && at->offset == group_end && at->is_intra();
    if (mark0 != 0x01 || mark1 != 0xB2 || group_end <= group_start || group_end > rmp.size() || !at_intra) {
      Trace("[MEDIA READER] Group index wrong after %zu groups, not used further", checked);
      break;
    }
    group_start = group_end;
    ++checked;
  }
  if (reader.remaining() > 0 && reader.remaining() < kGroupRecordSize) {
    Trace("[MEDIA READER] Group index ends in a partial record");
  }
  if (media->pictures.size() == first) {
    *error = "no pictures";
    return false;
  }
  media->Finish();
  return true;
}

RecordedMedia MergeChannels(std::vector<RecordedMedia> parts) {
  RecordedMedia merged;
  for (const auto& part : parts) {
    if (!merged.has_vol && part.has_vol) {
      merged.vol = part.vol;
      merged.has_vol = true;
    }
    merged.highest_channel = std::max(merged.highest_channel, part.highest_channel);
  }
  // The channels were recorded together, one picture each per frame; the
  // n-th picture of every file makes frame n.
  std::sort(parts.begin(), parts.end(), [](const RecordedMedia& a, const RecordedMedia& b) {
    const int ca = a.pictures.empty() ? 0 : a.pictures.front().channel;
    const int cb = b.pictures.empty() ? 0 : b.pictures.front().channel;
    return ca < cb;
  });
  for (size_t n = 0;; ++n) {
    bool any = false;
    for (const auto& part : parts) {
      if (n >= part.pictures.size()) continue;
      merged.pictures.push_back(part.pictures[n]);
      any = true;
    }
    if (!any) break;
  }
  merged.Finish();
  return merged;
}

}  // namespace media
