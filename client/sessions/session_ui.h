// What the DVR sessions need of the user interface, and nothing more: the
// connection state of a slot, event-log lines, message boxes, the busy
// indicator, the logon fields and the warning beeps.
//
// Sessions call these from their worker threads as well as from the owner
// thread; an implementation hands each call to its user-interface thread and
// returns when it has run there, as a synchronous window message would.
#pragma once

#include <cstdint>
#include <string>

namespace sessions {

// Event-log colours (0x00BBGGRR).
inline constexpr uint32_t kAlertColour = 0x0000FF;
inline constexpr uint32_t kNoticeColour = 0x00FFFF;
inline constexpr uint32_t kEventColour = 0xFFFFFF;

// Connection states shown by the main window.
enum class ConnectionState : int {
  kIdle = 0,
  kFailed = 1,
  kAwaitingLogon = 2,
  kLiveLoggedOn = 3,
  kSearchLoggedOn = 4,
  kConnecting = 6,
};

enum class MessageIcon { kNone = 1, kError, kWarning, kInformation };

struct LogonFields {
  std::string user_name;
  std::string password;
};

class ISessionUi {
 public:
  virtual ~ISessionUi() = default;

  virtual void ReportConnectionState(int slot, ConnectionState state) = 0;
  virtual void AddEventLog(uint32_t colour, const std::string& text) = 0;
  // Returns once the operator has closed the box.
  virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
  // The busy indicator with a text from the string table; Hide ends it.
  virtual void ShowBusy(int text_id) = 0;
  virtual void HideBusy() = 0;
  // The user name and password fields of the main window.
  virtual LogonFields ReadLogonFields() = 0;
  virtual void ClearPasswordField() = 0;
  // Six alternating warning tones, played without blocking the caller.
  virtual void PlayWarningBeeps() = 0;
};

}  // namespace sessions
