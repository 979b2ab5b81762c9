// Runs work on the user-interface thread and waits for it, as a synchronous
// window message did; at once when already there.
#pragma once

#include <QCoreApplication>
#include <QThread>

#include <functional>

namespace shell {

inline void RunOnUiThread(const std::function<void()>& work) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  if (QThread::currentThread() == app->thread()) {
    work();
  } else {
    QMetaObject::invokeMethod(app, work, Qt::BlockingQueuedConnection);
  }
}

}  // namespace shell
