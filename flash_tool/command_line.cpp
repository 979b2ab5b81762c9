#include "flash_tool/command_line.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "flash_tool/image_file.h"
#include "flash_tool/image_packer.h"
#include "flash_tool/image_unpacker.h"

namespace tarvek {
namespace {

int Usage(std::FILE* err) {
  std::fprintf(err, "usage: tarvek --pack INPUT OUTPUT\n       tarvek --unpack INPUT OUTPUT\n");
  return kExitUsage;
}

int Refuse(const char* input, ImageReadStatus status, uint64_t limit, std::FILE* err) {
  std::fprintf(err, "tarvek: %s: the input %s\n", input, RefusalText(status, limit).c_str());
  return kExitInputRefused;
}

int Help(std::FILE* out) {
  std::fprintf(out,
               "Usage: tarvek\n"
               "  or:  tarvek --pack INPUT OUTPUT\n"
               "  or:  tarvek --unpack INPUT OUTPUT\n"
               "Without options, opens the firmware download window.\n"
               "  --pack INPUT OUTPUT    pack an application image for download\n"
               "  --unpack INPUT OUTPUT  check a packed image and unpack it\n"
               "  --version              print the version and the commit it was built from\n"
               "  --help                 print this help\n"
               "exit codes: 0 ok, 1 usage, 2 input not found, 3 output not created,\n"
               "  4 write failed, 5 damaged image, 6 input refused (not a regular file, or too large)\n");
  return kExitOk;
}

int Pack(const char* input, const char* output, std::FILE* out, std::FILE* err) {
  // The progress line only makes sense on a terminal; pipelines get the summary.
  const PackFileResult result = PackFile(input, output, out == stdout && ::isatty(STDOUT_FILENO));
  switch (result.status) {
    case PackFileStatus::kOk:
      std::fprintf(out, "%s: %u bytes packed into %u bytes (%u with the header), checksum 0x%08X\n", input,
                   result.header.unpacked_length, result.header.packed_length,
                   result.header.packed_length + static_cast<unsigned>(kPackedHeaderSize), result.header.checksum);
      return kExitOk;
    case PackFileStatus::kInputNotFound:
      std::fprintf(err, "tarvek: %s: cannot open the input: %s\n", input, std::strerror(errno));
      return kExitInputNotFound;
    case PackFileStatus::kInputRefused:
      return Refuse(input, result.input, kLargestUnpackedImage, err);
    case PackFileStatus::kOutputNotCreated:
      std::fprintf(err, "tarvek: %s: cannot create the output: %s\n", output, std::strerror(errno));
      return kExitOutputNotCreated;
    case PackFileStatus::kWriteFailed:
      break;
  }
  std::fprintf(err, "tarvek: %s: writing the output failed\n", output);
  return kExitWriteFailed;
}

int Unpack(const char* input, const char* output, std::FILE* out, std::FILE* err) {
  const ImageRead packed = ReadImageFile(input, kLargestPackedImage);
  if (packed.status == ImageReadStatus::kCannotOpen) {
    std::fprintf(err, "tarvek: %s: cannot open the input: %s\n", input, std::strerror(errno));
    return kExitInputNotFound;
  }
  if (packed.status != ImageReadStatus::kOk) return Refuse(input, packed.status, kLargestPackedImage, err);
  const UnpackResult result = UnpackImage(packed.bytes);
  if (!result.ok()) {
    std::fprintf(err, "tarvek: %s: damaged image: %s\n", input, result.message.c_str());
    return kExitDamagedImage;
  }
  std::ofstream file(output, std::ios::binary | std::ios::trunc);
  if (!file) {
    std::fprintf(err, "tarvek: %s: cannot create the output: %s\n", output, std::strerror(errno));
    return kExitOutputNotCreated;
  }
  file.write(reinterpret_cast<const char*>(result.data.data()), static_cast<std::streamsize>(result.data.size()));
  file.flush();
  if (!file) {
    std::fprintf(err, "tarvek: %s: writing the output failed\n", output);
    return kExitWriteFailed;
  }
  std::fprintf(out, "%s: %u packed bytes unpacked into %u bytes, checksum 0x%08X OK\n", input,
               result.header.packed_length, result.header.unpacked_length, result.header.checksum);
  return kExitOk;
}

}  // namespace

bool IsCommandLineMode(int argc, char** argv) {
  return argc >= 2 && (std::strcmp(argv[1], "--pack") == 0 || std::strcmp(argv[1], "--unpack") == 0 ||
                       std::strcmp(argv[1], "--help") == 0);
}

int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) return Help(out);
  if (argc != 4) return Usage(err);
  // An image within the format's limit may still not fit in memory here.
  try {
    if (std::strcmp(argv[1], "--pack") == 0) return Pack(argv[2], argv[3], out, err);
    if (std::strcmp(argv[1], "--unpack") == 0) return Unpack(argv[2], argv[3], out, err);
  } catch (const std::bad_alloc&) {
    std::fprintf(err, "tarvek: %s: not enough memory to hold the image\n", argv[2]);
    return kExitInputRefused;
  }
  return Usage(err);
}

}  // namespace tarvek
