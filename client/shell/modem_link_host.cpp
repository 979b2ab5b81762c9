#include "client/shell/modem_link_host.h"

#include "client/shell/control_ids.h"
#include "client/shell/event_log.h"
#include "client/shell/main_window.h"

namespace shell {

CModemLinkHost::CModemLinkHost(CMainWindow& window)
    : window_(window), dialer_(window), bridge_(std::make_unique<modem::CLoopbackServerDlg>(dialer_, this)) {
  dialer_.Initialise(bridge_.get());
  // Without its ports the program goes on without the modem link.
  bridge_->Start();
  QObject::connect(&window_, &CMainWindow::DialNumber, bridge_.get(),
                   [this](const QString& number) { bridge_->SetPhoneNumber(number.toStdString()); });
  // The names one by one from the dialer's list, as far as the cursor wraps.
  window_.SetModemSource([this] {
    std::vector<std::string> names;
    for (size_t i = 0; i < dialer_.modems().size(); ++i) names.push_back(dialer_.NextModemName());
    return names;
  });
}

CModemLinkHost::~CModemLinkHost() {
  window_.SetModemSource(nullptr);
  bridge_.reset();
}

void CModemLinkHost::AddNotice(const std::string& text, uint32_t colour) {
  if (CEventLog* log = window_.event_log()) log->AddLine(colour, QString::fromStdString(text));
}

void CModemLinkHost::DisconnectLiveViewer() { window_.OnCommand(ControlId::kDisconnect); }

}  // namespace shell
