#include "flash_tool/download_machine.h"

#include <sys/stat.h>

#include <vector>

#include "flash_tool/image_packer.h"
#include "platform/trace.h"

namespace tarvek {
namespace {

bool IsLoadLetter(uint8_t byte) {
  switch (byte) {
    case 'A':
    case 'S':
    case 'T':
    case 'a':
    case 's':
    case 't':
      return true;
    default:
      return false;
  }
}

uint32_t FileLength(std::FILE* file) {
  struct stat info {};
  if (::fstat(::fileno(file), &info) != 0) return 0;
  return static_cast<uint32_t>(info.st_size);
}

}  // namespace

DownloadMachine::DownloadMachine(DownloadHost& host, ToolDialogs& dialogs, std::string dnapp_path)
    : host_(host), dialogs_(dialogs), dnapp_path_(std::move(dnapp_path)) {}

DownloadMachine::~DownloadMachine() = default;

void DownloadMachine::Reset() {
  state_ = kIdle;
  target_path_.clear();
  target_known_ = false;
  image_.reset();
  image_path_.clear();
  image_length_ = 0;
  checksum_ = 0;
  blocks_sent_ = 0;
}

void DownloadMachine::SetOpenTarget(const std::string& path, std::FILE* file) {
  target_path_ = path;
  target_known_ = true;
  image_.reset(file);
  image_path_ = path;
  image_length_ = file ? FileLength(file) : 0;
}

void DownloadMachine::SetKnownTarget(const std::string& path) {
  target_path_ = path;
  target_known_ = true;
}

void DownloadMachine::CloseImage() { image_.reset(); }

void DownloadMachine::SendU32be(uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  Send(bytes, 4);
}

void DownloadMachine::EchoAndIdle(uint8_t byte) {
  host_.Echo(static_cast<char>(byte));
  state_ = kIdle;
}

void DownloadMachine::OnByte(uint8_t byte) {
  const bool was_downloading = state_ == kLengthSent || state_ == kImageSent;
  Step(byte);
  // A download the monitor gave up must not leave its image open: the next
  // boot load would send it in place of the chosen boot.bin.
  if (was_downloading && state_ != kLengthSent && state_ != kImageSent) image_.reset();
}

void DownloadMachine::Step(uint8_t byte) {
  switch (byte) {
    case '\n':
      host_.EndLine();
      return;
    case '#':
    case '$':
      if (state_ != kArmed) return EchoAndIdle(byte);
      SendByte('L');
      state_ = byte == '#' ? kBootLoad : kAppLoad;
      Trace("[TARVEK] %s load accepted", byte == '#' ? "boot code" : "application");
      return;
    case '%':
      if (state_ != kArmed) return EchoAndIdle(byte);
      if (dialogs_.AskBootCode()) {
        SendByte('L');
        state_ = kBootLoad;
      } else {
        state_ = kIdle;
      }
      return;
    case '(':
      SendByte(0xEF);
      host_.Echo('(');
      state_ = kPromptSeen;
      return;
    case '>':
      if (state_ == kIdle && held_byte_ != 0xFF) SendByte(held_byte_);
      host_.Echo('>');
      host_.ReturnFocus();
      state_ = kPromptSeen;
      return;
    case 'g':
      if (state_ == kBootLoad)
        state_ = BootOnGo();
      else if (state_ == kAppLoad)
        state_ = ApplicationOnGo();
      else
        EchoAndIdle(byte);
      return;
    case 'r':
      if (state_ != kLengthSent) return EchoAndIdle(byte);
      SendImage();
      state_ = kImageSent;
      return;
    case '@':
      if (state_ != kImageSent) return EchoAndIdle(byte);
      SendU32be(checksum_);
      Trace("[TARVEK] checksum 0x%08X sent", checksum_);
      state_ = kIdle;
      return;
    default:
      if (IsLoadLetter(byte) && state_ == kPromptSeen) {
        host_.Echo(static_cast<char>(byte));
        state_ = kArmed;
        return;
      }
      EchoAndIdle(byte);
  }
}

bool DownloadMachine::SendLengthOf(File file, const std::string& path) {
  if (!file) return false;
  image_ = std::move(file);
  image_path_ = path;
  image_length_ = FileLength(image_.get());
  SendU32be(image_length_);
  Trace("[TARVEK] length %u of %s sent", image_length_, path.c_str());
  return true;
}

int DownloadMachine::BootOnGo() {
  // Refused without leaving the boot load, so that a second "g" after
  // choosing the right file succeeds.
  if (target_path_.find("boot.bin") == std::string::npos) {
    dialogs_.Error("File name is not 'boot.bin'");
    return kBootLoad;
  }
  if (image_) {
    image_length_ = FileLength(image_.get());
    std::rewind(image_.get());
    SendU32be(image_length_);
    return kLengthSent;
  }
  if (target_known_) {
    if (SendLengthOf(File(std::fopen(target_path_.c_str(), "rb")), target_path_)) return kLengthSent;
    dialogs_.Error("File not found");
    return kIdle;
  }
  dialogs_.Error("Select target file");
  return kIdle;
}

int DownloadMachine::ApplicationOnGo() {
  if (!image_ && !target_known_) {
    dialogs_.Error("Select target file");
    return kIdle;
  }
  // A failed pack must not let an older dnapp.bin go out in its place.
  const PackFileResult packed = PackFile(target_path_, dnapp_path_, true);
  if (packed.status == PackFileStatus::kInputNotFound || packed.status == PackFileStatus::kInputRefused) {
    dialogs_.Message("\nFile not found(1)\n");
    return kIdle;
  }
  if (packed.status != PackFileStatus::kOk) {
    dialogs_.Message("\nFile not found (2)\n");
    return kIdle;
  }
  Trace("[TARVEK] packed %s: %u -> %u bytes, checksum 0x%08X", target_path_.c_str(), packed.header.unpacked_length,
        packed.header.packed_length, packed.header.checksum);
  image_.reset();
  if (SendLengthOf(File(std::fopen(dnapp_path_.c_str(), "rb")), dnapp_path_)) return kLengthSent;
  dialogs_.Error("File not found");
  return kIdle;
}

void DownloadMachine::SendImage() {
  if (!host_.PortConnected()) {
    dialogs_.Message("Initialize port.");
    return;
  }
  checksum_ = 0;
  blocks_sent_ = 0;
  if (!image_) {
    Trace("[TARVEK] no image open to send");
    return;
  }
  host_.SetTitle(image_path_);
  const uint32_t blocks = (image_length_ + kBlockSize - 1) / kBlockSize;
  const uint32_t whole_blocks = image_length_ / kBlockSize;
  std::unique_ptr<ProgressView> progress = dialogs_.OpenProgress();
  progress->Show(image_path_, image_length_, static_cast<int>(blocks + 1));
  progress->SetPosition(0);
  std::vector<uint8_t> block(kBlockSize);
  for (uint32_t i = 0; i < blocks; ++i) {
    if (progress->Cancelled()) {
      Trace("[TARVEK] transfer cancelled after %u of %u blocks", i, blocks);
      break;
    }
    // An image shorter than one block shows 0 % while it goes out.
    progress->SetPercent(whole_blocks ? static_cast<int>(static_cast<uint64_t>(i) * 100 / whole_blocks) : 0);
    const size_t n = std::fread(block.data(), 1, kBlockSize, image_.get());
    for (size_t k = 0; k < n; ++k) checksum_ += block[k];
    if (n > 0 && host_.SendToPort(block.data(), n) != n) Trace("[TARVEK] block %u: the write failed or timed out", i);
    ++blocks_sent_;
    progress->SetPosition(static_cast<int>(i));
  }
  progress->Hide();
  image_.reset();
  Trace("[TARVEK] image %s sent in %d blocks", image_path_.c_str(), blocks_sent_);
}

}  // namespace tarvek
