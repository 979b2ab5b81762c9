// The user data in front of every coded picture, as the DVR writes it and as
// recordings keep it: 00 00 01 B2, the stream channel in the low five bits of
// the next byte, the picture number within its group at offset 7 (0 = I
// picture) and the date and time at offsets 14-19. Stream sessions, decoder
// channels and recorders read pictures through these, so a picture read from
// a file is taken exactly as one received from a DVR.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vistrel {

inline constexpr size_t kUserDataSize = 20;

// The date and time a picture was taken (year counted from 1900).
struct PictureTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The offset of the first 00 00 01 <code>, or the size when there is none.
size_t FindStartCode(std::span<const uint8_t> data, uint8_t code);
// The offset of the picture's user-data start code, or the size when there is none.
size_t FindUserData(std::span<const uint8_t> data);

// The stream channel named by user data that starts at `user_data[0]`:
// 1-31 from the low five bits, 0 when the byte is missing.
int UserDataChannel(std::span<const uint8_t> user_data);

// Picture number and time of user data that starts at `user_data[0]`;
// nothing when it is cut short of them.
struct PictureStamp {
  int number = 0;
  PictureTime time;
};
std::optional<PictureStamp> ReadPictureStamp(std::span<const uint8_t> user_data);

}  // namespace vistrel
