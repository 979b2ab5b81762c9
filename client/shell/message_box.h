// Message boxes and file choosers of the shell, behind one layer so that a
// test can answer them in place of the operator.
//
// Threads: ShowMessageBox and the choosers run on the user-interface thread.
// ShowOwnerlessMessageBox may be called from any thread: the box is shown on
// the user-interface thread without an owner window and the caller waits for
// the answer, so several such boxes can be up at once; none is modal, and
// each opens stepped from the one before it. The hooks are read
// under a lock; a hook runs on the calling thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

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
};

using BoxHook = std::function<BoxAnswer(const BoxRequest&)>;
// Answers a chooser: the chosen path, or nothing for Cancel.
using ChooserHook = std::function<std::optional<std::string>(const std::string& title)>;

// Installs (or, with an empty function, removes) the answering hooks.
void SetMessageBoxHook(BoxHook hook);
void SetChooserHook(ChooserHook hook);

// A modal box owned by `parent`; the caption defaults to "Kaviro".
BoxAnswer ShowMessageBox(QWidget* parent, const std::string& text, BoxIcon icon,
                         const std::string& caption = "Kaviro", BoxButtons buttons = BoxButtons::kOk);

// A box without owner, from any thread; returns when it has been answered.
// `on_open` runs on the user-interface thread once the box exists, before it
// shows (not at all when a hook answers).
BoxAnswer ShowOwnerlessMessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                                  const std::function<void(QMessageBox&)>& on_open = {});

// Closes every ownerless box still open, answering Cancel (at shutdown).
void DismissOwnerlessBoxes();
int OpenOwnerlessBoxCount();

// A folder of the file system, or nothing when cancelled.
std::optional<std::string> BrowseForFolder(QWidget* parent, const std::string& title);
// An existing file to open, or nothing when cancelled.
std::optional<std::string> ChooseOpenFile(QWidget* parent, const std::string& title,
                                          const std::string& filter, const std::string& initial);

}  // namespace shell
