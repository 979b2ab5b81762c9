#include "client/shell/keyboard_shortcuts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QWindow>

#include "client/shell/bitmap_slider.h"
#include "client/shell/hover_button.h"
#include "client/shell/main_window.h"

namespace shell {
namespace {

using enum ControlId;
using enum KeyCommand;

// Function keys for the window, letters for the PTZ functions, digits for
// the cameras, the media players' keys for playback.
const ShortcutEntry kShortcuts[] = {
    {"Keyboard shortcuts", Qt::Key_F1, kShortcutsPage},
    {"Full screen", Qt::Key_F11, kFullScreen},
    {"Leave full screen", Qt::Key_Escape, kLeaveFullScreen},
    {"Layout 1", Qt::Key_F5, kClick, kLayout1Ch},
    {"Layout 4", Qt::Key_F6, kClick, kLayout4Ch},
    {"Layout 8", Qt::Key_F7, kClick, kLayout8Ch},
    {"Layout 16", Qt::Key_F8, kClick, kLayout16Ch},
    {"Camera 1", Qt::Key_1, kClick, CameraButton(0)},
    {"Camera 2", Qt::Key_2, kClick, CameraButton(1)},
    {"Camera 3", Qt::Key_3, kClick, CameraButton(2)},
    {"Camera 4", Qt::Key_4, kClick, CameraButton(3)},
    {"Camera 5", Qt::Key_5, kClick, CameraButton(4)},
    {"Camera 6", Qt::Key_6, kClick, CameraButton(5)},
    {"Camera 7", Qt::Key_7, kClick, CameraButton(6)},
    {"Camera 8", Qt::Key_8, kClick, CameraButton(7)},
    {"Camera 9", Qt::Key_9, kClick, CameraButton(8)},
    {"Camera 10", Qt::Key_0, kClick, CameraButton(9)},
    {"Camera 11", Qt::CTRL | Qt::Key_1, kClick, CameraButton(10)},
    {"Camera 12", Qt::CTRL | Qt::Key_2, kClick, CameraButton(11)},
    {"Camera 13", Qt::CTRL | Qt::Key_3, kClick, CameraButton(12)},
    {"Camera 14", Qt::CTRL | Qt::Key_4, kClick, CameraButton(13)},
    {"Camera 15", Qt::CTRL | Qt::Key_5, kClick, CameraButton(14)},
    {"Camera 16", Qt::CTRL | Qt::Key_6, kClick, CameraButton(15)},
    {"DVR 1", Qt::ALT | Qt::Key_1, kClick, DvrButton(0)},
    {"DVR 2", Qt::ALT | Qt::Key_2, kClick, DvrButton(1)},
    {"DVR 3", Qt::ALT | Qt::Key_3, kClick, DvrButton(2)},
    {"DVR 4", Qt::ALT | Qt::Key_4, kClick, DvrButton(3)},
    // PTZ and layout share one cell of the cross: one of the two shows.
    {"PTZ controls", Qt::Key_P, kClick, kPtz},
    {"Layout controls", Qt::Key_P, kClick, kChannels},
    {"PTZ up (hold)", Qt::Key_Up, kHold, kArrowUp},
    {"PTZ down (hold)", Qt::Key_Down, kHold, kArrowDown},
    {"PTZ left (hold)", Qt::Key_Left, kHold, kArrowLeft},
    {"PTZ right (hold)", Qt::Key_Right, kHold, kArrowRight},
    {"Move", Qt::Key_M, kClick, kPanTilt},
    {"Zoom", Qt::Key_Z, kClick, kZoom},
    {"Focus", Qt::Key_F, kClick, kFocus},
    {"Rotation", Qt::Key_T, kClick, kRotation},
    {"Record", Qt::Key_R, kClick, kRecord},
    {"Capture", Qt::Key_C, kClick, kCapture},
    {"Play / stop", Qt::Key_Space, kPlayStop},
    {"Reverse play", Qt::Key_J, kClick, kReversePlay},
    {"Stop", Qt::Key_K, kClick, kStop},
    {"Play", Qt::Key_L, kClick, kPlay},
    {"Fast reverse", Qt::SHIFT | Qt::Key_J, kClick, kFastReverse},
    {"Fast forward", Qt::SHIFT | Qt::Key_L, kClick, kFastForward},
    {"Frame back", Qt::Key_Comma, kClick, kFrameBack, true},
    {"Frame forward", Qt::Key_Period, kClick, kFrameForward, true},
    {"Faster", Qt::Key_Plus, kClick, kSpeedUp, true},
    {"Slower", Qt::Key_Minus, kClick, kSpeedDown, true},
    {"File start", Qt::Key_Home, kSeekStart},
    {"File end", Qt::Key_End, kSeekEnd},
};

}  // namespace

std::span<const ShortcutEntry> ShortcutTable() { return kShortcuts; }

QString KeyText(const ShortcutEntry& entry) { return QKeySequence(entry.key).toString(QKeySequence::NativeText); }

CKeyboardShortcuts::CKeyboardShortcuts(CMainWindow& window) : QObject(&window), window_(window) {
  for (const ShortcutEntry& entry : kShortcuts) {
    auto* shortcut = new QShortcut(QKeySequence(entry.key), &window);
    shortcut->setAutoRepeat(entry.repeats);
    connect(shortcut, &QShortcut::activated, this, [this, &entry] { Activate(entry); });
    shortcuts_.emplace_back(&entry, shortcut);
  }
  SyncEnabled();
  qApp->installEventFilter(this);
}

CKeyboardShortcuts::~CKeyboardShortcuts() { qApp->removeEventFilter(this); }

void CKeyboardShortcuts::AddKeysToTooltips() {
  for (const ShortcutEntry& entry : kShortcuts) {
    CHoverButton* button = ButtonOf(entry);
    if (button == nullptr) continue;
    const QString tip = button->toolTip();
    const QString key = KeyText(entry);
    if (tip == key || tip.endsWith(QString("(%1)").arg(key))) continue;  // already named
    button->setToolTip(tip.isEmpty() ? key : QString("%1 (%2)").arg(tip, key));
  }
}

CHoverButton* CKeyboardShortcuts::ButtonOf(const ShortcutEntry& entry) const {
  switch (entry.command) {
    case kClick:
    case kHold:
      return window_.button(entry.button);
    case kPlayStop:
      return window_.button(kPlay);
    default:
      return nullptr;
  }
}

bool CKeyboardShortcuts::Usable(const ShortcutEntry& entry) const {
  switch (entry.command) {
    case kClick:
    case kHold:
    case kPlayStop: {
      const CHoverButton* button = ButtonOf(entry);
      return button != nullptr && button->isVisibleTo(&window_) && button->isEnabled();
    }
    case kSeekStart:
    case kSeekEnd:
      return window_.slider()->isVisibleTo(&window_) && window_.slider()->isEnabled();
    case kFullScreen:
      return window_.full_screen() || window_.CanShowFullScreen();
    case kLeaveFullScreen:
      return window_.full_screen();
    case kShortcutsPage:
      return !window_.full_screen();
  }
  return false;
}

void CKeyboardShortcuts::SyncEnabled() {
  for (const auto& [entry, shortcut] : shortcuts_) shortcut->setEnabled(Usable(*entry));
}

void CKeyboardShortcuts::Activate(const ShortcutEntry& entry) {
  // The state may have changed since the key's override check.
  if (!Usable(entry)) return;
  switch (entry.command) {
    case kClick:
      if (CHoverButton* button = ButtonOf(entry)) {
        button->PressByKey();
        button->ReleaseByKey();
      }
      break;
    case kHold:
      ReleaseHeld();
      if (CHoverButton* button = ButtonOf(entry)) {
        held_ = &entry;
        button->PressByKey();
      }
      break;
    case kPlayStop: {
      const bool playing = window_.latched(kFastReverse) == kPlay;
      if (CHoverButton* button = window_.button(playing ? kStop : kPlay)) {
        button->PressByKey();
        button->ReleaseByKey();
      }
      break;
    }
    case kSeekStart:
      window_.slider()->SeekTo(window_.slider()->minimum());
      break;
    case kSeekEnd:
      window_.slider()->SeekTo(window_.slider()->maximum());
      break;
    case kFullScreen:
      window_.ToggleFullScreen();
      break;
    case kLeaveFullScreen:
      window_.LeaveFullScreen();
      break;
    case kShortcutsPage:
      window_.OpenShortcutsPage();
      break;
  }
}

void CKeyboardShortcuts::ReleaseHeld() {
  const ShortcutEntry* entry = held_;
  held_ = nullptr;
  if (entry == nullptr) return;
  if (CHoverButton* button = ButtonOf(*entry)) button->ReleaseByKey();
}

bool CKeyboardShortcuts::eventFilter(QObject* watched, QEvent* event) {
  const auto ours = [this, watched] {
    if (watched == window_.windowHandle()) return true;
    const auto* widget = qobject_cast<QWidget*>(watched);
    return widget != nullptr && widget->window() == &window_;
  };
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      // Sent before the shortcuts are matched: the last moment to switch
      // them by what shows now.
      if (ours()) SyncEnabled();
      // Escape is otherwise discarded for the window; while the grid fills
      // the screen it leaves full screen.
      if (ours() && window_.full_screen() && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        window_.LeaveFullScreen();
        return true;
      }
      break;
    case QEvent::KeyRelease: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (held_ != nullptr && !key->isAutoRepeat() && key->key() == held_->key.key()) ReleaseHeld();
      break;
    }
    case QEvent::WindowDeactivate:
    case QEvent::FocusOut:
    case QEvent::Hide:
      // A release the window will never see must not leave the camera moving.
      if (held_ != nullptr && watched == &window_) ReleaseHeld();
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace shell
