// The main window's keyboard: one table of shortcuts, each naming the button
// (or the window's own command) it stands for. CKeyboardShortcuts makes a
// QShortcut of every entry, adds the keys to the buttons' tooltips and
// presses the buttons themselves, so that a key reaches exactly the handlers
// a click does. A shortcut is live only while its button can be clicked
// (shown and enabled), so the keys of hidden controls stay with the focused
// list or calendar. Held keys (the PTZ arrows) press on the key's press and
// release on its release, or when the window loses the keyboard.
//
// Threads: user-interface thread only.
#pragma once

#include <QKeySequence>
#include <QObject>

#include <span>
#include <vector>

#include "client/shell/control_ids.h"

class QShortcut;

namespace shell {

class CHoverButton;
class CMainWindow;

enum class KeyCommand {
  kClick,            // a click of the button
  kHold,             // the button held while the key is
  kPlayStop,         // Play, or Stop while playing
  kSeekStart,        // the position slider to its start
  kSeekEnd,          // and to its end
  kFullScreen,       // the video grid alone on the screen, and back
  kLeaveFullScreen,  // back from it only
  kShortcutsPage,    // the list of these keys
};

struct ShortcutEntry {
  const char* action;  // as the shortcuts page lists it
  QKeyCombination key;
  KeyCommand command;
  ControlId button = ControlId::kCamera1;  // for kClick and kHold
  bool repeats = false;                    // a held key repeats the command
};

// The table, in the order of the page.
std::span<const ShortcutEntry> ShortcutTable();
// The key as the operator reads it ("F6", "Alt+1").
QString KeyText(const ShortcutEntry& entry);

class CKeyboardShortcuts : public QObject {
 public:
  explicit CKeyboardShortcuts(CMainWindow& window);
  ~CKeyboardShortcuts() override;

  // Adds the keys to the tooltips of the buttons they press.
  void AddKeysToTooltips();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Activate(const ShortcutEntry& entry);
  bool Usable(const ShortcutEntry& entry) const;
  // Each shortcut live or not, by the state of what it presses.
  void SyncEnabled();
  void ReleaseHeld();
  CHoverButton* ButtonOf(const ShortcutEntry& entry) const;

  CMainWindow& window_;
  std::vector<std::pair<const ShortcutEntry*, QShortcut*>> shortcuts_;
  const ShortcutEntry* held_ = nullptr;  // the hold key down, if any
};

}  // namespace shell
