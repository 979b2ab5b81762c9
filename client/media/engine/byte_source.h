// Where the players read recorded bytes from: a local file, a stretch of a
// DVR disk, or memory (tests, fuzzing). Reads name an absolute offset within
// the source, so a reader may go backwards (reverse play) without seeking.
//
// Threads: a source belongs to the reader that owns it; pread keeps reads at
// different offsets independent of any shared file position.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace media {

class IByteSource {
 public:
  virtual ~IByteSource() = default;
  virtual uint64_t size() const = 0;
  // Fills `out` from `offset`; false when any of it lies past the end or the read fails.
  virtual bool ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
};

class MemoryByteSource final : public IByteSource {
 public:
  explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t size() const override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, std::span<uint8_t> out) override;

 private:
  std::span<const uint8_t> bytes_;
};

// A file or block device opened read-only, or a window of it (`base`,
// `length` bytes) such as one recording on a DVR disk.
class FileByteSource final : public IByteSource {
 public:
  // Null with errno set when the path does not open for reading.
  static std::unique_ptr<FileByteSource> Open(const std::string& path);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  // Narrows the source to [base, base + length) of the whole file; false
  // (nothing changed) when base lies at or past its end. A window reaching
  // beyond the end is cut there; `cut` says so.
  bool SetWindow(uint64_t base, uint64_t length, bool* cut);

  uint64_t size() const override { return length_; }
  bool ReadAt(uint64_t offset, std::span<uint8_t> out) override;
  uint64_t whole_size() const { return whole_size_; }

 private:
  FileByteSource(int fd, uint64_t whole_size) : fd_(fd), whole_size_(whole_size), length_(whole_size) {}
  int fd_;
  uint64_t whole_size_;
  uint64_t base_ = 0;
  uint64_t length_;
};

// The whole of a small file (an .rmg index, a test fixture), at most `limit`
// bytes; false when it does not open, fails to read or is larger.
bool ReadSmallFile(const std::string& path, size_t limit, std::vector<uint8_t>* out);

}  // namespace media
