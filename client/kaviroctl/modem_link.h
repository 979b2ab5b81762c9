// kaviroctl's modem link: the loopback bridge and the dialer in process, as
// the GUI's main window hosts them, so that any command's sessions reach the
// DVR over the telephone line through the bridge's ports.
//
// Threads: constructed and used on the thread that runs the event loop.
#pragma once

#include <QObject>
#include <memory>
#include <ostream>
#include <string>

#include "client/modem/loopback_server_dlg.h"
#include "client/modem/tapi_line.h"

namespace kaviroctl {

struct ModemTarget {
  std::string device;  // the modem's tty; empty: no modem link
  std::string phone;
  uint16_t bridge_port = modem::kDefaultBridgePort;
};

class ModemLink : public modem::IBridgeHost {
 public:
  explicit ModemLink(std::ostream& err) : err_(err) {}
  // Starts the bridge on the target's ports and points the sessions at it;
  // false with a message on `err` when it cannot.
  bool Start(const ModemTarget& target);
  // The link was lost (a busy or failed call, a hang-up): the notice was shown.
  bool lost() const { return lost_; }

  void AddNotice(const std::string& text, uint32_t colour) override;
  void DisconnectLiveViewer() override { lost_ = true; }

 private:
  std::ostream& err_;
  QObject owner_;
  modem::CTapiLine dialer_{owner_};
  std::unique_ptr<modem::CLoopbackServerDlg> bridge_;  // ends before the dialer
  bool lost_ = false;
};

}  // namespace kaviroctl
