#include "client/media/engine/byte_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace media {

bool MemoryByteSource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
  return true;
}

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::string& path) {
  // Read-only always: a DVR disk attached to the PC must come back unchanged.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // lseek also gives the size of a block device, where st_size is 0.
  const off_t end = ::lseek(fd, 0, SEEK_END);
  if (end < 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return nullptr;
  }
  return std::unique_ptr<FileByteSource>(new FileByteSource(fd, static_cast<uint64_t>(end)));
}

FileByteSource::~FileByteSource() { ::close(fd_); }

bool FileByteSource::SetWindow(uint64_t base, uint64_t length, bool* cut) {
  if (base >= whole_size_) return false;
  *cut = length > whole_size_ - base;
  base_ = base;
  length_ = std::min(length, whole_size_ - base);
  return true;
}

bool FileByteSource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  if (offset > length_ || out.size() > length_ - offset) {
    errno = EIO;
    return false;
  }
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(base_ + offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;  // the device ended early
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ReadSmallFile(const std::string& path, size_t limit, std::vector<uint8_t>* out) {
  auto source = FileByteSource::Open(path);
  if (!source || source->size() > limit) return false;
  out->resize(static_cast<size_t>(source->size()));
  return source->ReadAt(0, *out);
}

}  // namespace media
