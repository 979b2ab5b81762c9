#include "flash_tool/image_packer.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace tarvek {
namespace {

void PutU32le(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

void EncodeHeader(const PackedHeader& header, uint8_t* out) {
  std::memset(out, 0, kPackedHeaderSize);
  PutU32le(out + 0, header.format);
  PutU32le(out + 20, header.packed_length);
  PutU32le(out + 24, header.unpacked_length);
  PutU32le(out + 28, header.checksum);
}

ImagePacker::ImagePacker() = default;

void ImagePacker::Insert(size_t p) {
  const int bucket = Bucket(p);
  ++bucket_count_[bucket];
  previous_[p] = bucket_newest_[bucket];
  bucket_newest_[bucket] = static_cast<int>(p);
}

void ImagePacker::FindLongestMatch(size_t s) {
  match_length_ = 2;
  const int bucket = Bucket(s);
  // Only the newest `count` positions of a chain are still in the window;
  // older links may point at overwritten positions and are never followed.
  int budget = bucket_count_[bucket] < kMaxCandidates ? bucket_count_[bucket] : kMaxCandidates;
  int q = bucket_newest_[bucket];
  size_t best = 2;
  const uint8_t* w = window_.data();
  while (budget-- > 0 && q != kNoPosition) {
    const size_t candidate = static_cast<size_t>(q);
    q = previous_[candidate];
    if (w[s + best] != w[candidate + best]) continue;
    size_t length = 0;
    while (length < kMaxMatch && w[s + length] == w[candidate + length]) ++length;
    if (length > best) {
      best = length;
      match_position_ = candidate;
      match_length_ = length;
      if (length == kMaxMatch) break;
    }
  }
}

void ImagePacker::AppendCode(const uint8_t* bytes, size_t count, bool literal) {
  if (literal) group_[0] |= flag_mask_;
  std::memcpy(group_.data() + group_size_, bytes, count);
  group_size_ += count;
  flag_mask_ >>= 1;
  if (++codes_in_group_ == 8) FlushGroup();
}

void ImagePacker::FlushGroup() {
  for (size_t i = 0; i < group_size_; ++i) sum_ += group_[i];
  out_->insert(out_->end(), group_.begin(), group_.begin() + group_size_);
  group_[0] = 0;
  group_size_ = 1;
  flag_mask_ = 0x80;
  codes_in_group_ = 0;
}

std::vector<uint8_t> ImagePacker::Pack(std::span<const uint8_t> input, const PackProgress& progress) {
  window_.fill(0);
  bucket_newest_.fill(kNoPosition);
  bucket_count_.fill(0);
  previous_.fill(kNoPosition);
  match_length_ = 0;
  match_position_ = 0;
  group_.fill(0);
  group_size_ = 1;
  flag_mask_ = 0x80;
  codes_in_group_ = 0;
  sum_ = 0;

  std::vector<uint8_t> out;
  out.reserve(kPackedHeaderSize + input.size() + input.size() / 8 + 16);
  out.resize(kPackedHeaderSize);
  out_ = &out;

  const size_t total = input.size();
  size_t read = total < kMaxMatch ? total : kMaxMatch;
  if (read > 0) std::memcpy(window_.data(), input.data(), read);
  size_t lookahead = read;
  size_t s = 0;
  size_t r = kMaxMatch;

  while (lookahead > 0) {
    size_t length = match_length_ < lookahead ? match_length_ : lookahead;
    if (length > 2) {
      const uint8_t code[2] = {static_cast<uint8_t>(match_position_ >> 4),
                               static_cast<uint8_t>(((match_position_ & 0x0F) << 4) | (length - kMinMatch))};
      AppendCode(code, 2, false);
    } else {
      AppendCode(&window_[s], 1, true);
      length = 1;
    }
    for (size_t i = 0; i < length; ++i) {
      if (read < total) {
        const uint8_t byte = input[read++];
        // The string at r is about to be overwritten: it leaves its bucket's
        // live count so that chain walks stop before reaching it.
        if (read > kWindowSize) --bucket_count_[Bucket(r)];
        window_[r] = byte;
        if (r < kMaxMatch) window_[r + kWindowSize] = byte;
        if (progress && read % 8192 == 0) progress(static_cast<int>(read * 100 / total));
      } else {
        --lookahead;
      }
      Insert(s);
      s = (s + 1) & (kWindowSize - 1);
      r = (r + 1) & (kWindowSize - 1);
    }
    FindLongestMatch(s);
  }
  // The last group is written even when empty: a lone closing flag byte 0.
  FlushGroup();
  out_ = nullptr;

  PackedHeader header;
  header.packed_length = static_cast<uint32_t>(out.size() - kPackedHeaderSize);
  header.unpacked_length = static_cast<uint32_t>(total);
  EncodeHeader(header, out.data());
  uint32_t sum = sum_;
  for (size_t i = 0; i < 28; ++i) sum += out[i];
  header.checksum = sum;
  EncodeHeader(header, out.data());
  return out;
}

PackFileResult PackFile(const std::string& input_path, const std::string& output_path, bool print_progress) {
  PackFileResult result;
  // The input is read before the output is created, so packing a file onto
  // itself cannot destroy it.
  ImageRead read = ReadImageFile(input_path, kLargestUnpackedImage);
  result.input = read.status;
  if (read.status != ImageReadStatus::kOk) {
    result.status =
        read.status == ImageReadStatus::kCannotOpen ? PackFileStatus::kInputNotFound : PackFileStatus::kInputRefused;
    return result;
  }
  const std::vector<uint8_t> input = std::move(read.bytes);
  std::ofstream out(output_path, std::ios::binary | std::ios::trunc);
  if (!out) {
    result.status = PackFileStatus::kOutputNotCreated;
    return result;
  }

  ImagePacker packer;
  PackProgress progress;
  if (print_progress) {
    progress = [](int percent) {
      std::printf("(%3d%%)\r", percent);
      std::fflush(stdout);
    };
  }
  const std::vector<uint8_t> packed = packer.Pack(input, progress);
  result.header.packed_length = static_cast<uint32_t>(packed.size() - kPackedHeaderSize);
  result.header.unpacked_length = static_cast<uint32_t>(input.size());
  result.header.checksum =
      static_cast<uint32_t>(packed[28] | packed[29] << 8 | packed[30] << 16 | static_cast<uint32_t>(packed[31]) << 24);
  out.write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(packed.size()));
  out.flush();
  if (!out) result.status = PackFileStatus::kWriteFailed;
  return result;
}

}  // namespace tarvek
