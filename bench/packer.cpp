// Packs a 4 MB firmware-like image (code-like stretches, string tables and
// zero-filled regions) and compares with `gzip -6` on the same file in the
// same run. The last line reads "ratio <packer time / gzip -6 time>".
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "flash_tool/image_packer.h"

extern char** environ;

namespace {

constexpr size_t kImageSize = 4u << 20;
constexpr int kRuns = 3;

std::vector<uint8_t> FirmwareLike(size_t size) {
  std::mt19937 random(2024);
  std::vector<uint8_t> image;
  image.reserve(size);
  const char* words[] = {"boot", "flash", "error", "channel", "record", "video", "init ", "done\n"};
  while (image.size() < size) {
    switch (random() % 8) {
      case 0:
      case 1:  // zero fill: bss images, alignment padding, empty sectors
        image.insert(image.end(), 512 + random() % 16384, 0);
        break;
      case 2: {  // a string table
        for (int i = 200 + random() % 400; i > 0; --i) {
          const char* word = words[random() % 8];
          image.insert(image.end(), word, word + std::char_traits<char>::length(word));
          if (random() % 4 == 0) image.push_back(0);
        }
        break;
      }
      default: {  // code: few opcodes and registers, varied immediates
        for (int i = 500 + random() % 3000; i > 0; --i) {
          const uint32_t opcode = 0xE0000000u | (random() % 12) << 20 | (random() % 8) << 12;
          const uint32_t word = random() % 3 == 0 ? opcode | (random() & 0xFFF) : opcode | (random() % 16);
          for (int b = 0; b < 4; ++b) image.push_back(static_cast<uint8_t>(word >> (8 * b)));
        }
      }
    }
  }
  image.resize(size);
  return image;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Runs `gzip -6 -c input > output` and returns its wall time, or -1.
double TimeGzip(const std::string& input, const std::string& output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char* argv[] = {const_cast<char*>("gzip"), const_cast<char*>("-6"), const_cast<char*>("-c"),
                  const_cast<char*>(input.c_str()), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "gzip", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = Seconds(std::chrono::steady_clock::now() - start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

}  // namespace

int main() {
  const std::vector<uint8_t> image = FirmwareLike(kImageSize);
  char dir_template[] = "/tmp/packer_bench_XXXXXX";
  const char* dir = mkdtemp(dir_template);
  if (!dir) return 1;
  const std::string input = std::string(dir) + "/firmware.bin";
  const std::string gz = std::string(dir) + "/firmware.bin.gz";
  const std::string packed_path = std::string(dir) + "/dnapp.bin";
  if (FILE* file = std::fopen(input.c_str(), "wb")) {
    std::fwrite(image.data(), 1, image.size(), file);
    std::fclose(file);
  }

  // Both sides read the file and write their output, best of a few runs.
  double pack_seconds = 1e9, gzip_seconds = 1e9;
  tarvek::PackFileResult packed;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    packed = tarvek::PackFile(input, packed_path, false);
    pack_seconds = std::min(pack_seconds, Seconds(std::chrono::steady_clock::now() - start));
    const double g = TimeGzip(input, gz);
    if (g < 0) {
      std::fprintf(stderr, "packer bench: gzip -6 did not run\n");
      return 1;
    }
    gzip_seconds = std::min(gzip_seconds, g);
  }
  struct stat gz_info {};
  ::stat(gz.c_str(), &gz_info);
  const double megabytes = static_cast<double>(image.size()) / (1024.0 * 1024.0);
  const size_t packed_size = packed.header.packed_length + tarvek::kPackedHeaderSize;

  std::printf("input    %zu bytes, firmware-like (code, strings, zero fill)\n", image.size());
  std::printf("packer   %.3f s  %7.1f MB/s  packed %zu bytes (%.1f%%)\n", pack_seconds, megabytes / pack_seconds,
              packed_size, 100.0 * static_cast<double>(packed_size) / static_cast<double>(image.size()));
  std::printf("gzip -6  %.3f s  %7.1f MB/s  packed %lld bytes (%.1f%%)\n", gzip_seconds, megabytes / gzip_seconds,
              static_cast<long long>(gz_info.st_size),
              100.0 * static_cast<double>(gz_info.st_size) / static_cast<double>(image.size()));
  std::printf("ratio %.3f\n", pack_seconds / gzip_seconds);

  std::remove(input.c_str());
  std::remove(gz.c_str());
  std::remove(packed_path.c_str());
  ::rmdir(dir);
  return 0;
}
