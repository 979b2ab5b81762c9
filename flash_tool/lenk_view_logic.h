// The logic of the tool's view (the terminal on the serial port): connect and
// disconnect, the target file, capture, saving the text, the keyboard, the
// 500 ms flush and draining the receive ring into the download state machine.
// The widgets only forward their events here and mirror what the observer
// reports, so all of it runs headless in tests.
//
// Threads: every method runs on the UI thread. The port's notification is
// the one call that comes from ThreadWatchComm; the `notify` given to the
// constructor must only hop to the UI thread, which then calls
// OnPortNotification.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "flash_tool/download_machine.h"
#include "flash_tool/terminal_buffer.h"
#include "flash_tool/tool_config.h"
#include "flash_tool/tool_dialogs.h"
#include "platform/serial_port.h"

namespace tarvek {

// What the widgets show; all calls on the UI thread.
class ViewObserver {
 public:
  virtual ~ViewObserver() = default;
  virtual void TitleChanged(const std::string& title) = 0;
  virtual void PanesChanged(const std::string& line_pane, const std::string& save_pane) = 0;
  virtual void TerminalInserted(const std::string& text) = 0;
  virtual void TerminalCleared() = 0;
  virtual void FocusToMainWindow() = 0;
  virtual void FlushTimerChanged(bool running) = 0;
};

inline constexpr const char* kBinFilter = "download file (*.bin)|*.bin||";
inline constexpr const char* kTxtFilter = "download file (*.txt)|*.txt||";

class LenkViewLogic : public DownloadHost {
 public:
  LenkViewLogic(ToolConfig config, ToolDialogs& dialogs, ViewObserver* observer, platform::SerialPort::Notify notify);
  ~LenkViewLogic() override;

  // Program start: the folder, the initial panes.
  void Start();

  // Menu commands.
  void Connect();
  void Disconnect();
  void ApplyPortSetting(int port, int baud);
  void OpenTarget();
  // Takes `path` as the target, as the open dialog does; false when it does
  // not open (the most-recently-used list comes this way).
  bool UseTarget(const std::string& path);
  void ToggleCapture();
  void SaveTerminalText();
  void ClearScreen();

  // Typed text; "\n" goes out as carriage return and line feed.
  void KeyTyped(const std::string& text);
  // The 500 ms timer.
  void OnFlushTimer();
  // Received bytes are waiting in the ring.
  void OnPortNotification(int port_index);

  bool connected() const { return connected_; }
  bool capturing() const { return capture_->active(); }
  const std::string& title() const { return title_; }
  const std::string& line_pane() const { return line_pane_; }
  const std::string& save_pane() const { return save_pane_; }
  const TerminalBuffer& terminal() const { return terminal_; }
  const DownloadMachine& machine() const { return machine_; }
  const ToolConfig& config() const { return config_; }
  int baud() const { return port_.baud(); }

  // DownloadHost.
  bool PortConnected() const override { return connected_ && port_.IsConnected(); }
  size_t SendToPort(const uint8_t* bytes, size_t count) override;
  void Echo(char c) override { terminal_.Echo(c); }
  void EndLine() override;
  void ReturnFocus() override;
  void SetTitle(const std::string& title) override;

 private:
  void SetPanes(std::string line_pane, std::string save_pane);

  ToolConfig config_;
  ToolDialogs& dialogs_;
  ViewObserver* observer_;  // may be null
  platform::SerialPort::Notify notify_;
  std::shared_ptr<platform::CaptureSink> capture_;
  platform::SerialPort port_{"[TARVEK]"};
  DownloadMachine machine_;
  TerminalBuffer terminal_;

  bool connected_ = false;
  bool draining_ = false;
  bool drain_again_ = false;
  std::string title_;
  std::string line_pane_ = "OFF Line";
  std::string save_pane_ = "Save OFF";
  std::vector<uint8_t> received_;
};

}  // namespace tarvek
