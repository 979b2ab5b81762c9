// The main window's modem link: the loopback bridge and its dialer as hidden
// objects of the window, for the whole run. The telephone half of the
// connect panel gives the bridge its number (before the live session
// connects to the bridge, which then dials); a lost link shows its notice
// in the event log and disconnects the live viewer; the Setup dialog lists
// the dialer's modems.
//
// Threads: the UI thread.
#pragma once

#include <memory>

#include "client/modem/loopback_server_dlg.h"
#include "client/modem/tapi_line.h"

namespace shell {

class CMainWindow;

class CModemLinkHost : public modem::IBridgeHost {
 public:
  explicit CModemLinkHost(CMainWindow& window);
  ~CModemLinkHost() override;

  void AddNotice(const std::string& text, uint32_t colour) override;
  void DisconnectLiveViewer() override;
  modem::CLoopbackServerDlg& bridge() { return *bridge_; }

 private:
  CMainWindow& window_;
  modem::CTapiLine dialer_;
  std::unique_ptr<modem::CLoopbackServerDlg> bridge_;  // ends before the dialer
};

}  // namespace shell
