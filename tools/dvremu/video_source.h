// The emulated cameras' video: one loop of MPEG-4 Part 2 simple-profile
// pictures per channel, encoded once with libavcodec (one I picture followed
// by P pictures, no B pictures), then replayed for every client with fresh
// user data in front of each picture.
//
// Encode() runs once, before any reader; afterwards the object is read-only
// and any thread may read it.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

namespace dvremu {

inline constexpr int kGroupLength = 30;  // pictures per group, picture 0 the I picture
inline constexpr size_t kVolHeaderSize = 19;
inline constexpr size_t kUserDataSize = 20;

struct VideoFormat {
  int width = 352;
  int height = 240;
  int fps = 30;
  int channels = 4;
};

using VolHeader = std::array<uint8_t, kVolHeaderSize>;
using UserData = std::array<uint8_t, kUserDataSize>;

class VideoSource {
 public:
  // Encodes a loop of kGroupLength pictures for every channel; false with a
  // reason when the encoder is missing or produces an unexpected header.
  bool Encode(const VideoFormat& format, const std::string& clock_text, std::string* error);

  const VideoFormat& format() const { return format_; }
  // 00 00 01 01, 00 00 01 20 and the 11 bytes of VOL fields.
  const VolHeader& vol_header() const { return vol_header_; }
  // The coded picture (from its GOV or VOP start code) at `index` of the
  // loop of `channel` (1-based).
  std::span<const uint8_t> picture(int channel, int index) const;
  // Bytes of one whole loop of a channel's coded pictures.
  uint64_t loop_bytes(int channel) const;

 private:
  VideoFormat format_;
  VolHeader vol_header_{};
  // loops_[channel - 1][index]
  std::vector<std::vector<std::vector<uint8_t>>> loops_;
};

// The user data in front of each picture: start code 00 00 01 B2, the channel
// in the low five bits of byte 4, the picture number in byte 7, and the year
// since 1900, month, day, hour, minute and second in bytes 14-19. The bytes
// nobody reads hold non-zero fillers so that the user data cannot contain a
// start code of its own before the date.
UserData BuildUserData(int channel, int picture_number, const std::tm& time);

// Appends the payload of one picture packet (user data, then the coded
// picture) to `out`, which is cleared first.
void BuildPicturePayload(const VideoSource& video, int channel, int index, int picture_number, const std::tm& time,
                         std::vector<uint8_t>* out);

}  // namespace dvremu
