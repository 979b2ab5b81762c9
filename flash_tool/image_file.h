// Reads a whole image file for packing or unpacking, refusing what cannot be
// an image: anything but a regular file (a folder, a device such as
// /dev/zero, a pipe) and files larger than the packed format can carry.
// Stateless, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvek {

// The longest input whose packed form still fits the header's 32-bit packed
// length when every byte is a literal (nine bytes for each eight, and the
// closing flag).
inline constexpr uint64_t kLargestUnpackedImage = 0xFFFFFFFFull / 9 * 8;
// A header and the longest code stream its length field can announce.
inline constexpr uint64_t kLargestPackedImage = 32 + 0xFFFFFFFFull;

enum class ImageReadStatus {
  kOk = 1,
  kCannotOpen,  // errno says why
  kNotRegularFile,
  kTooLarge,
};

struct ImageRead {
  ImageReadStatus status = ImageReadStatus::kOk;
  std::vector<uint8_t> bytes;
};

// Reads `path` whole, at most `limit` bytes. A read error ends the input where
// it happened, as the packer has always taken it.
ImageRead ReadImageFile(const std::string& path, uint64_t limit);

// What is wrong with a refused input, for messages: "is not a regular file",
// "is larger than the N bytes an image can hold".
std::string RefusalText(ImageReadStatus status, uint64_t limit);

}  // namespace tarvek
