#include "viewer_control/engine/picture_user_data.h"

namespace vistrel {
namespace {

constexpr uint8_t kUserDataCode = 0xB2;
constexpr size_t kChannelOffset = 4;
constexpr size_t kPictureNumberOffset = 7;
constexpr size_t kTimeOffset = 14;

}  // namespace

size_t FindStartCode(std::span<const uint8_t> data, uint8_t code) {
  for (size_t i = 0; i + 4 <= data.size(); ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == code) return i;
  }
  return data.size();
}

size_t FindUserData(std::span<const uint8_t> data) { return FindStartCode(data, kUserDataCode); }

int UserDataChannel(std::span<const uint8_t> user_data) {
  return user_data.size() > kChannelOffset ? (user_data[kChannelOffset] & 0x1F) : 0;
}

std::optional<PictureStamp> ReadPictureStamp(std::span<const uint8_t> user_data) {
  if (user_data.size() < kUserDataSize) return std::nullopt;
  const uint8_t* time = user_data.data() + kTimeOffset;
  return PictureStamp{user_data[kPictureNumberOffset], {time[0], time[1], time[2], time[3], time[4], time[5]}};
}

}  // namespace vistrel
