// Runs work on the user-interface thread and waits for it, as a synchronous
// window message did; at once when already there. A session worker gives the
// wait up when its socket is being closed (by this very thread, perhaps).
#pragma once

#include <QCoreApplication>

#include <functional>

#include "client/sessions/owner_call.h"

namespace shell {

inline void RunOnUiThread(const std::function<void()>& work) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  sessions::CallOnOwnerThread(app, work);
}

}  // namespace shell
