// Arbitrary bytes from the boot monitor's serial line through the tool's
// download dialogue, with the terminal buffer behind its echo. The open file
// dialog answers with a small image, so that a load request reaches the block
// transfer and the checksum.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "flash_tool/download_machine.h"
#include "flash_tool/terminal_buffer.h"
#include "flash_tool/tool_dialogs.h"

namespace {

// Two blocks and a short third: the transfer's every length case.
constexpr size_t kImageSize = 2 * tarvek::kBlockSize + 17;

// The image in a folder of this process's own, removed when the run ends.
struct Image {
  Image() {
    char pattern[] = "/tmp/fuzz_tarvek_serial_XXXXXX";
    if (!::mkdtemp(pattern)) std::abort();
    folder = pattern;
    path = folder + "/dnapp.bin";
    std::vector<uint8_t> bytes(kImageSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  ~Image() {
    ::unlink(path.c_str());
    ::rmdir(folder.c_str());
  }
  std::string folder;
  std::string path;
};

const std::string& ImagePath() {
  static const Image image;
  return image.path;
}

class FuzzHost : public tarvek::DownloadHost {
 public:
  bool PortConnected() const override { return true; }
  size_t SendToPort(const uint8_t*, size_t count) override {
    sent += count;
    return count;
  }
  void Echo(char c) override { terminal.Echo(c); }
  void EndLine() override { terminal.EndLine(); }
  void ReturnFocus() override {}
  void SetTitle(const std::string&) override {}

  tarvek::TerminalBuffer terminal;
  size_t sent = 0;
};

class QuietProgress : public tarvek::ProgressView {
 public:
  void Show(const std::string&, uint32_t, int) override {}
  void SetPercent(int percent) override {
    if (percent < 0 || percent > 100) __builtin_trap();
  }
  void SetPosition(int) override {}
  bool Cancelled() override { return false; }
  void Hide() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& image = ImagePath();
  FuzzHost host;
  tarvek::ToolDialogs dialogs;
  dialogs.SetAnswerHook(
      [&image](const tarvek::DialogRequest&) {
        return tarvek::DialogAnswer{true, image};
      },
      [] { return std::make_unique<QuietProgress>(); });
  tarvek::DownloadMachine machine(host, dialogs, image);
  for (size_t i = 0; i < size; ++i) {
    machine.OnByte(data[i]);
    if (i % 64 == 63) host.terminal.Flush();
  }
  host.terminal.Flush();
  if (!host.terminal.pending().empty()) __builtin_trap();
  return 0;
}
