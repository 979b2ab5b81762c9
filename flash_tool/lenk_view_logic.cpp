#include "flash_tool/lenk_view_logic.h"

#include <cstdio>

#include "platform/trace.h"

namespace tarvek {

LenkViewLogic::LenkViewLogic(ToolConfig config, ToolDialogs& dialogs, ViewObserver* observer,
                             platform::SerialPort::Notify notify)
    : config_(std::move(config)),
      dialogs_(dialogs),
      observer_(observer),
      notify_(std::move(notify)),
      capture_(std::make_shared<platform::CaptureSink>()),
      machine_(*this, dialogs, config_.DnappPath()) {
  port_.SetCapture(capture_);
  terminal_.SetInsert([this](const std::string& text) {
    if (observer_) observer_->TerminalInserted(text);
  });
}

LenkViewLogic::~LenkViewLogic() {
  // At the end the port is closed if connected and the capture file if open.
  port_.Close();
  capture_->Stop();
}

void LenkViewLogic::Start() {
  if (!config_.EnsureHome()) Trace("[TARVEK] cannot create %s", config_.home().c_str());
  machine_.Reset();
  SetPanes("OFF Line", "Save OFF");
}

void LenkViewLogic::SetPanes(std::string line_pane, std::string save_pane) {
  line_pane_ = std::move(line_pane);
  save_pane_ = std::move(save_pane);
  if (observer_) observer_->PanesChanged(line_pane_, save_pane_);
}

void LenkViewLogic::SetTitle(const std::string& title) {
  title_ = title;
  if (observer_) observer_->TitleChanged(title);
}

void LenkViewLogic::EndLine() {
  terminal_.EndLine();
  ReturnFocus();
}

void LenkViewLogic::ReturnFocus() {
  if (observer_) observer_->FocusToMainWindow();
}

size_t LenkViewLogic::SendToPort(const uint8_t* bytes, size_t count) { return port_.Write(bytes, count); }

void LenkViewLogic::Connect() {
  const std::optional<PortSetting> setting = config_.ReadPortSetting();
  if (!setting) {
    dialogs_.Error("Serial port not setting!!!");
    SetTitle("Not Setting Serial Port.");
    return;
  }
  if (!machine_.file_open()) {
    if (std::optional<std::string> target = config_.ReadTargetPath()) {
      machine_.SetKnownTarget(*target);
      SetTitle(*target);
    } else {
      SetTitle("Open target File");
    }
  }
  char name[32];
  std::snprintf(name, sizeof name, "COM%d", setting->port);
  std::string why;
  const bool opened = port_.Open(config_.DeviceForPort(setting->port), setting->baud, setting->port, notify_, &why);
  if (opened) {
    connected_ = true;
    SetTitle(std::string("Port ") + name + " Initialization success");
    SetPanes("ON " + std::to_string(setting->baud), save_pane_);
    if (observer_) observer_->FlushTimerChanged(true);
  } else {
    if (why == "thread") dialogs_.Message(std::string("Error while creating ThreadWatchComm, ") + name);
    SetTitle("Fail Port Initialization");
  }
  if (std::FILE* probe = std::fopen(machine_.target_path().c_str(), "rb")) {
    std::fclose(probe);
  } else {
    dialogs_.Error("Select file.");
  }
}

void LenkViewLogic::Disconnect() {
  if (!connected_) return;
  port_.Close();
  connected_ = false;
  machine_.CloseImage();
  SetPanes("OFF Line", save_pane_);
  if (observer_) observer_->FlushTimerChanged(false);
}

void LenkViewLogic::ApplyPortSetting(int port, int baud) {
  if (!config_.WritePortSetting(port, baud)) Trace("[TARVEK] cannot write %s", config_.CfgPath().c_str());
  Disconnect();
  Connect();
}

void LenkViewLogic::OpenTarget() {
  const std::optional<std::string> path = dialogs_.ChooseOpenFile(kBinFilter);
  if (path) UseTarget(*path);
}

bool LenkViewLogic::UseTarget(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    dialogs_.Message("File not found.");
    return false;
  }
  machine_.SetOpenTarget(path, file);
  config_.WriteTargetPath(path);
  SetTitle(path);
  return true;
}

void LenkViewLogic::ToggleCapture() {
  if (capture_->active()) {
    capture_->Stop();
    SetPanes(line_pane_, "Save OFF");
    return;
  }
  const std::optional<std::string> path = dialogs_.ChooseSaveFile(kTxtFilter);
  if (!path) return;
  if (!capture_->Start(*path)) {
    dialogs_.Message("File open error");
    return;
  }
  SetPanes(line_pane_, "Save ON");
}

void LenkViewLogic::SaveTerminalText() {
  const std::optional<std::string> path = dialogs_.ChooseSaveFile(kTxtFilter);
  if (!path) return;
  std::FILE* file = std::fopen(path->c_str(), "wb");
  if (!file) {
    dialogs_.Message("File open error");
    return;
  }
  const std::string& text = terminal_.text();
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

void LenkViewLogic::ClearScreen() {
  terminal_.Clear();
  if (observer_) observer_->TerminalCleared();
}

void LenkViewLogic::KeyTyped(const std::string& text) {
  if (!connected_) {
    SetTitle("Not Open the Port.");
    return;
  }
  for (char c : text) {
    if (c == '\n') {
      port_.Write("\r\n");
    } else {
      const uint8_t byte = static_cast<uint8_t>(c);
      port_.Write(&byte, 1);
    }
  }
}

void LenkViewLogic::OnFlushTimer() {
  // The timer also drains, in case a notification was lost to a full queue.
  OnPortNotification(-1);
  terminal_.Flush();
}

void LenkViewLogic::OnPortNotification(int) {
  // The block transfer lets events through while it runs; a notification
  // arriving then is taken up by the outer drain loop instead.
  if (draining_) {
    drain_again_ = true;
    return;
  }
  draining_ = true;
  do {
    drain_again_ = false;
    received_.clear();
    port_.DrainReceived(received_);
    for (uint8_t byte : received_) {
      if (byte != 0) machine_.OnByte(byte);  // zero bytes are never shown or interpreted
    }
    if (!received_.empty()) drain_again_ = true;
  } while (drain_again_ && connected_);
  draining_ = false;
}

}  // namespace tarvek
