// The tool's folder and its small text files: the port setting "tarvek.cfg",
// the last target "tarvek.fil", the packed image "dnapp.bin", and the device
// behind each of COM1 to COM4 ("tarvek.ports", one device path a line;
// /dev/ttyS0 to /dev/ttyS3 when absent).
//
// Plain file access, no state shared between threads; used on the UI thread.
#pragma once

#include <optional>
#include <string>

namespace tarvek {

// $TARVEK_HOME, else $XDG_DATA_HOME/tarvek, else ~/.local/share/tarvek.
std::string DefaultTarvekHome();

struct PortSetting {
  int port = 0;  // 1 to 4 when valid; 0 when the line was not a number
  int baud = 0;
};

class ToolConfig {
 public:
  explicit ToolConfig(std::string home);

  const std::string& home() const { return home_; }
  std::string CfgPath() const { return home_ + "/tarvek.cfg"; }
  std::string FilPath() const { return home_ + "/tarvek.fil"; }
  std::string DnappPath() const { return home_ + "/dnapp.bin"; }
  std::string PortsPath() const { return home_ + "/tarvek.ports"; }

  // Creates the folder when it is missing.
  bool EnsureHome() const;

  // Empty when "tarvek.cfg" cannot be opened. Each line counts as at most 9
  // characters, converted as a decimal number (0 when it is not one).
  std::optional<PortSetting> ReadPortSetting() const;
  bool WritePortSetting(int port, int baud) const;

  // The last chosen target (at most 99 characters), empty when none.
  std::optional<std::string> ReadTargetPath() const;
  bool WriteTargetPath(const std::string& path) const;

  // The device for COM<port>, empty when the port number names none.
  std::string DeviceForPort(int port) const;

 private:
  std::string home_;
};

}  // namespace tarvek
