#include "client/kaviroctl/modem_link.h"

#include "client/sessions/command_session.h"

namespace kaviroctl {

bool ModemLink::Start(const ModemTarget& target) {
  if (target.phone.empty() || target.phone.size() > modem::kPhoneNumberLimit) {
    err_ << "kaviroctl: --phone needs a number of 1 to " << modem::kPhoneNumberLimit << " characters\n";
    return false;
  }
  bridge_ = std::make_unique<modem::CLoopbackServerDlg>(dialer_, this, target.bridge_port);
  // The configured modem name is read at the dial; with one modem listed,
  // whatever it says opens this one.
  dialer_.Initialise(bridge_.get(), {target.device});
  if (!bridge_->Start()) {
    err_ << "kaviroctl: cannot open the modem bridge on ports " << target.bridge_port << "-" << target.bridge_port + 2
         << "\n";
    return false;
  }
  bridge_->SetPhoneNumber(target.phone);
  sessions::SetBridgePort(target.bridge_port);
  return true;
}

void ModemLink::AddNotice(const std::string& text, uint32_t /*colour*/) {
  lost_ = true;
  err_ << "kaviroctl: " << text << "\n";
}

}  // namespace kaviroctl
