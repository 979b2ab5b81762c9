// The dialogs that the sessions feed are found by their titles, as the
// system's windows were: a shown top-level window of that title and type.
// A delivery that finds none is dropped by its caller.
//
// Threads: user-interface thread only.
#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>

namespace shell {

template <class Dialog>
Dialog* FindWindowByTitle(const QString& title) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (!window->isVisible() || window->windowTitle() != title) continue;
    if (auto* found = dynamic_cast<Dialog*>(window)) return found;
  }
  return nullptr;
}

}  // namespace shell
