// What the players know of a recording once it has been read through: its
// VOL header and where each picture lies, in the order they are played
// (frame by frame, channels in ascending order within a frame). Reverse,
// fast and frame-back play move through this index; the bytes themselves
// are read again from the source when a picture is due.
//
// The readers of the two file formats fill it: record files (the stream's
// own packets, as downloaded or on a DVR disk) and our own .rmp/.rmg pairs.
// Every byte is untrusted: a reader stops at the first truncation, skips
// garbage it can resynchronise past, and traces what it cut.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "viewer_control/engine/mpeg4_recorder.h"
#include "viewer_control/engine/picture_user_data.h"

namespace media {

class IByteSource;

struct RecordedPicture {
  uint64_t offset = 0;  // of the picture's user-data start code in its source
  uint32_t length = 0;  // from there to the end of the picture
  uint8_t source = 0;   // which of the recording's sources holds it
  uint8_t channel = 0;  // stream channel 1-16
  uint8_t number = 0;   // within its group, 0 = I picture
  vistrel::PictureTime time;

  bool is_intra() const { return number == 0; }
  int second_in_hour() const { return time.minute * 60 + time.second; }
};

struct RecordedMedia {
  vistrel::VolHeader vol{};
  bool has_vol = false;
  std::vector<RecordedPicture> pictures;
  int highest_channel = 0;
  // Indexes into `pictures` where a new frame begins (the channel does not
  // ascend); filled by Finish().
  std::vector<size_t> frame_starts;

  // 1, 4 or 8: the channel layout the recording needs.
  int channel_count() const;
  // Sorts out frames after a reader has appended every picture.
  void Finish();
  size_t frame_count() const { return frame_starts.size(); }
  // The pictures of frame `frame`, [first, end).
  size_t frame_begin(size_t frame) const { return frame_starts[frame]; }
  size_t frame_end(size_t frame) const;
};

// Pictures a recording may list: far beyond an hour of 16 channels at 30 per
// second, and small enough that a hostile file cannot exhaust memory.
inline constexpr size_t kMaxRecordedPictures = 4 * 1024 * 1024;
// A picture longer than the decoder takes is dropped as garbage.
inline constexpr uint32_t kMaxRecordedPictureBytes = 256 * 1024 + vistrel::kUserDataSize;

// Reads a record file (stream-port packets, as downloaded or as stored on a
// DVR disk): appends its pictures to `media` with `source_id`. False with a
// reason when nothing playable is in it (no VOL header or no picture).
// Trailing bytes too short for a packet (a download's trailer, a disk's
// zero padding) are ignored.
bool ReadRecordFile(IByteSource& source, uint8_t source_id, RecordedMedia* media, std::string* error);

// Reads an .rmp file and its .rmg group index (empty when missing): the
// groups the index names are checked against the pictures found, and an
// index that points past the end or off a group start is not trusted past
// that record. False with a reason when the header is missing or wrong.
bool ReadRmpFile(IByteSource& rmp, std::span<const uint8_t> rmg, uint8_t source_id, RecordedMedia* media,
                 std::string* error);

// Interleaves the pictures of several channels' files (each already in
// `parts`, one channel each) frame by frame, as a record file holds them.
RecordedMedia MergeChannels(std::vector<RecordedMedia> parts);

}  // namespace media
