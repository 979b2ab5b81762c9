#include "protocol/payload.h"

#include <cstdio>

namespace protocol {

uint8_t BcdFromText(char first, char second) {
  return static_cast<uint8_t>(static_cast<uint8_t>(first << 4) | static_cast<uint8_t>(second - '0'));
}

uint8_t BcdFromNumber(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%2d", value % 100);
  return BcdFromText(text[0], text[1]);
}

}  // namespace protocol
