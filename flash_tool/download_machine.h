// The download dialogue with the DVR's boot monitor: every received byte goes
// through OnByte, which echoes it to the terminal or answers the monitor's
// requests (load command, image length, image blocks, checksum).
//
// UI thread only: the block transfer runs to its end inside OnByte('r'),
// with the progress view letting Cancel through between blocks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "flash_tool/tool_dialogs.h"

namespace tarvek {

// What the state machine needs from its view.
class DownloadHost {
 public:
  virtual ~DownloadHost() = default;
  virtual bool PortConnected() const = 0;
  // Returns the bytes written; 0 when the write failed.
  virtual size_t SendToPort(const uint8_t* bytes, size_t count) = 0;
  virtual void Echo(char c) = 0;
  virtual void EndLine() = 0;
  virtual void ReturnFocus() = 0;
  virtual void SetTitle(const std::string& title) = 0;
};

enum DownloadState : int {
  kIdle = 0,
  kPromptSeen = 1,
  kArmed = 100,
  kBootLoad = 10,
  kAppLoad = 2,
  kLengthSent = 3,
  kImageSent = 4,
};

inline constexpr size_t kBlockSize = 4096;

class DownloadMachine {
 public:
  DownloadMachine(DownloadHost& host, ToolDialogs& dialogs, std::string dnapp_path);
  ~DownloadMachine();

  // The view's initialisation: idle, no target, no flags.
  void Reset();
  void OnByte(uint8_t byte);

  int state() const { return state_; }
  // A target chosen in the open dialog: kept open and known.
  void SetOpenTarget(const std::string& path, std::FILE* file);
  // A target named by the file list: known, opened when needed.
  void SetKnownTarget(const std::string& path);
  // Disconnecting closes the image but keeps the state and the target.
  void CloseImage();

  const std::string& target_path() const { return target_path_; }
  bool target_known() const { return target_known_; }
  bool file_open() const { return image_ != nullptr; }
  uint32_t checksum() const { return checksum_; }
  uint32_t image_length() const { return image_length_; }
  int blocks_sent() const { return blocks_sent_; }

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  using File = std::unique_ptr<std::FILE, FileCloser>;

  void Send(const uint8_t* bytes, size_t count) { host_.SendToPort(bytes, count); }
  void SendByte(uint8_t byte) { Send(&byte, 1); }
  void SendU32be(uint32_t value);
  void EchoAndIdle(uint8_t byte);
  // One row of the state table for `byte`.
  void Step(uint8_t byte);
  // Opens `path` as the image and sends its length; false when it cannot.
  bool SendLengthOf(File file, const std::string& path);
  int BootOnGo();
  int ApplicationOnGo();
  void SendImage();

  DownloadHost& host_;
  ToolDialogs& dialogs_;
  const std::string dnapp_path_;

  int state_ = kIdle;
  // Sent on a prompt in the idle state unless it is 0xFF; nothing sets it,
  // so the tool sends nothing there.
  uint8_t held_byte_ = 0xFF;
  std::string target_path_;
  bool target_known_ = false;
  File image_;
  std::string image_path_;
  uint32_t image_length_ = 0;
  uint32_t checksum_ = 0;
  int blocks_sent_ = 0;
};

}  // namespace tarvek
