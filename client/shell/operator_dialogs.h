// COperatorDialogs: the one door through which the shell asks the operator
// anything: message boxes, file choosers and modal dialogs. The main window
// owns one and hands it to every dialog it opens; a test installs answering
// hooks on it, which take precedence over the real widgets.
//
// Threads: RunModal, ShowMessageBox and the choosers run on the
// user-interface thread.
// ShowOwnerlessMessageBox may be called from any thread: the box is shown on
// the user-interface thread without an owner window and the caller waits for
// the answer, so several such boxes can be up at once; none is modal, and
// each opens stepped from the one before it. `hook_lock_` guards the hooks;
// a hook runs on the calling thread. The open boxes are touched on the
// user-interface thread only.
#pragma once

#include <QPointer>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "client/sessions/session_ui.h"

class QDialog;
class QMessageBox;
class QWidget;

namespace shell {

enum class BoxIcon { kNone, kError, kWarning, kInformation };
enum class BoxButtons { kOk, kOkCancel };
enum class BoxAnswer { kOk = 1, kCancel = 2 };

struct BoxRequest {
  std::string text;
  std::string caption;
  BoxIcon icon = BoxIcon::kNone;
  BoxButtons buttons = BoxButtons::kOk;
  // When set, the box also has a "Silence" button that calls this and keeps
  // the box up (alarm boxes). A hook may call it before it answers.
  std::function<void()> silence;
};

// The box icon of a session's message.
BoxIcon ToBoxIcon(sessions::MessageIcon icon);

using BoxHook = std::function<BoxAnswer(const BoxRequest&)>;
// Answers a chooser: the chosen path, or nothing for Cancel.
using ChooserHook = std::function<std::optional<std::string>(const std::string& title)>;
// Answers a modal dialog: may fill it in or press its buttons, and returns
// what its exec() would have.
using DialogHook = std::function<int(QDialog& dialog)>;

class COperatorDialogs {
 public:
  COperatorDialogs() = default;
  COperatorDialogs(const COperatorDialogs&) = delete;
  COperatorDialogs& operator=(const COperatorDialogs&) = delete;

  // A test's answers (an empty function gives the question back to the
  // operator).
  void SetBoxHook(BoxHook hook);
  void SetChooserHook(ChooserHook hook);
  void SetDialogHook(DialogHook hook);

  // Runs `dialog` modally and returns its result.
  int RunModal(QDialog& dialog);

  // A modal box owned by `parent`; the caption defaults to "Kaviro".
  BoxAnswer ShowMessageBox(QWidget* parent, const std::string& text, BoxIcon icon,
                           const std::string& caption = "Kaviro", BoxButtons buttons = BoxButtons::kOk);

  // A box without owner, from any thread; returns when it has been answered.
  // `on_open` runs on the user-interface thread once the box exists, before
  // it shows (not at all when a hook answers).
  // `silence`, when set, adds the "Silence" button (see BoxRequest); it runs
  // on the user-interface thread, or on the hook's.
  BoxAnswer ShowOwnerlessMessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                                    const std::function<void(QMessageBox&)>& on_open = {},
                                    std::function<void()> silence = {});

  // Closes every ownerless box still open, answering Cancel (at shutdown).
  void DismissOwnerlessBoxes();
  int OpenOwnerlessBoxCount() const;

  // A folder of the file system, or nothing when cancelled.
  std::optional<std::string> BrowseForFolder(QWidget* parent, const std::string& title);
  // An existing file to open, or nothing when cancelled.
  std::optional<std::string> ChooseOpenFile(QWidget* parent, const std::string& title, const std::string& filter,
                                            const std::string& initial);
  // A file to write (the operator confirms replacing one), or nothing when
  // cancelled.
  std::optional<std::string> ChooseSaveFile(QWidget* parent, const std::string& title, const std::string& filter,
                                            const std::string& initial);

 private:
  BoxHook CurrentBoxHook() const;
  ChooserHook CurrentChooserHook() const;
  DialogHook CurrentDialogHook() const;
  void Cascade(QMessageBox& box) const;

  mutable std::mutex hook_lock_;
  BoxHook box_hook_;                               // guarded by hook_lock_
  ChooserHook chooser_hook_;                       // guarded by hook_lock_
  DialogHook dialog_hook_;                         // guarded by hook_lock_
  std::vector<QPointer<QMessageBox>> open_boxes_;  // user-interface thread only
};

}  // namespace shell
