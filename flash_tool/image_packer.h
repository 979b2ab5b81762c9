// Packs an application image into the download format the DVR's boot monitor
// unpacks: a 32-byte header (format 2, lengths, byte-sum checksum) followed by
// an LZSS code stream with a 4,096-byte window of absolute positions and
// matches of 3 to 18 bytes.
//
// Single-threaded: an ImagePacker is used by one thread at a time (the UI
// thread in the tool, the caller's thread in the command line and tests).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "flash_tool/image_file.h"

namespace tarvek {

inline constexpr size_t kPackedHeaderSize = 32;
inline constexpr uint32_t kPackedFormat = 2;
inline constexpr size_t kWindowSize = 4096;
inline constexpr size_t kMaxMatch = 18;
inline constexpr size_t kMinMatch = 3;

// The header fields as stored (little-endian on disk).
struct PackedHeader {
  uint32_t format = kPackedFormat;
  uint32_t packed_length = 0;
  uint32_t unpacked_length = 0;
  uint32_t checksum = 0;
};

// Writes the 32-byte header image of `header` into `out`.
void EncodeHeader(const PackedHeader& header, uint8_t* out);

// Called every 8,192 input bytes with the percentage read so far.
using PackProgress = std::function<void(int percent)>;

class ImagePacker {
 public:
  ImagePacker();

  // Packs `input` into a complete packed file (header and code stream).
  std::vector<uint8_t> Pack(std::span<const uint8_t> input, const PackProgress& progress = {});

 private:
  static constexpr int kBuckets = 1001;
  static constexpr int kMaxCandidates = 1024;
  static constexpr int kNoPosition = -1;

  int Bucket(size_t p) const {
    const unsigned a = window_[p], b = window_[p + 1], c = window_[p + 2];
    return static_cast<int>((a ^ ((b ^ (c << 4)) << 4)) % kBuckets);
  }
  void Insert(size_t p);
  void FindLongestMatch(size_t s);
  void AppendCode(const uint8_t* bytes, size_t count, bool literal);
  void FlushGroup();

  // The first kMaxMatch positions are mirrored behind the end so that
  // comparisons may run past position 4,095 without wrapping.
  std::array<uint8_t, kWindowSize + kMaxMatch> window_{};
  std::array<int, kBuckets> bucket_newest_{};
  std::array<int, kBuckets> bucket_count_{};
  std::array<int, kWindowSize> previous_{};
  size_t match_length_ = 0;
  size_t match_position_ = 0;

  // The group being built: flag byte, then up to eight codes of 1 or 2 bytes.
  std::array<uint8_t, 17> group_{};
  size_t group_size_ = 1;
  uint8_t flag_mask_ = 0x80;
  int codes_in_group_ = 0;

  std::vector<uint8_t>* out_ = nullptr;
  uint32_t sum_ = 0;
};

// Result of packing one file into another.
enum class PackFileStatus {
  kOk = 1,
  kInputNotFound,     // the input could not be opened
  kInputRefused,      // not a regular file, or too large for the format
  kOutputNotCreated,  // the output could not be created
  kWriteFailed,       // the output was created but not written in full
};

struct PackFileResult {
  PackFileStatus status = PackFileStatus::kOk;
  ImageReadStatus input = ImageReadStatus::kOk;  // why the input was refused
  PackedHeader header;
};

// Packs the file `input_path` into `output_path`, created anew. Read errors
// count as end of input. Progress lines "(%3d%%)\r" go to standard output
// when `print_progress` is set.
PackFileResult PackFile(const std::string& input_path, const std::string& output_path, bool print_progress);

}  // namespace tarvek
