#include "flash_tool/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarvek {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

ImageRead ReadImageFile(const std::string& path, uint64_t limit) {
  ImageRead result;
  // Not blocking, so that a pipe named as the input is refused rather than
  // waited on; a regular file reads the same either way.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
    result.status = ImageReadStatus::kCannotOpen;
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.status = ImageReadStatus::kNotRegularFile;
    return result;
  }
  if (static_cast<uint64_t>(info.st_size) > limit) {
    result.status = ImageReadStatus::kTooLarge;
    return result;
  }
  // The size is only a hint (a file may grow while it is read, and some
  // report 0): the limit holds for what is actually read.
  result.bytes.reserve(static_cast<size_t>(info.st_size));
  uint8_t buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (result.bytes.size() + static_cast<uint64_t>(n) > limit) {
      result.status = ImageReadStatus::kTooLarge;
      result.bytes.clear();
      return result;
    }
    result.bytes.insert(result.bytes.end(), buffer, buffer + n);
  }
  return result;
}

std::string RefusalText(ImageReadStatus status, uint64_t limit) {
  switch (status) {
    case ImageReadStatus::kNotRegularFile:
      return "is not a regular file";
    case ImageReadStatus::kTooLarge:
      return "is larger than the " + std::to_string(limit) + " bytes an image can hold";
    case ImageReadStatus::kOk:
    case ImageReadStatus::kCannotOpen:
      break;
  }
  return "cannot be read";
}

}  // namespace tarvek
