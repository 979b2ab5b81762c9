#include "client/shell/operator_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QThread>

#include <future>
#include <mutex>
#include <vector>

namespace shell {

BoxIcon ToBoxIcon(sessions::MessageIcon icon) {
  switch (icon) {
    case sessions::MessageIcon::kError:
      return BoxIcon::kError;
    case sessions::MessageIcon::kWarning:
      return BoxIcon::kWarning;
    case sessions::MessageIcon::kInformation:
      return BoxIcon::kInformation;
    case sessions::MessageIcon::kNone:
      break;
  }
  return BoxIcon::kNone;
}
namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kError:
      return QMessageBox::Critical;
    case BoxIcon::kWarning:
      return QMessageBox::Warning;
    case BoxIcon::kInformation:
      return QMessageBox::Information;
    case BoxIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

// A box inherits its owner's style sheet, and a skinned dialog's light text
// would land on the box's light face: every box brings its own colours.
constexpr const char* kBoxStyleSheet =
    "QMessageBox { background: #f0f0f0; }"
    "QMessageBox QLabel { color: #000000; background: transparent; }"
    "QMessageBox QPushButton { color: #000000; background: #e1e1e1; border: 1px solid #adadad;"
    " border-radius: 2px; padding: 3px 16px; min-width: 56px; }"
    "QMessageBox QPushButton:hover { background: #e5f1fb; border-color: #0078d7; }"
    "QMessageBox QPushButton:focus { border-color: #0078d7; }";

// How far each ownerless box sits from the one opened before it.
constexpr QPoint kCascadeStep{28, 28};

std::unique_ptr<QMessageBox> MakeBox(QWidget* parent, const BoxRequest& request) {
  auto box = std::make_unique<QMessageBox>(
      ToQtIcon(request.icon), QString::fromStdString(request.caption), QString::fromStdString(request.text),
      request.buttons == BoxButtons::kOkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent);
  box->setStyleSheet(kBoxStyleSheet);
  if (request.silence) {
    QPushButton* silence = box->addButton(QStringLiteral("Silence"), QMessageBox::ActionRole);
    // A message box closes on any of its buttons; this one must leave it up,
    // so it does not reach the button box's closing handler.
    if (auto* buttons = box->findChild<QDialogButtonBox*>()) {
      QObject::disconnect(silence, &QAbstractButton::clicked, buttons, nullptr);
    }
    QObject::connect(silence, &QAbstractButton::clicked, box.get(), [silence, hush = request.silence] {
      silence->setEnabled(false);
      hush();
    });
    // Enter, Escape and the title bar's close still answer OK, as they did
    // while OK was the box's only button.
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
  }
  return box;
}

// The newest of `boxes` still open, other than `except`.
QMessageBox* NewestOpenBox(const std::vector<QPointer<QMessageBox>>& boxes, const QMessageBox* except) {
  for (auto it = boxes.rbegin(); it != boxes.rend(); ++it) {
    if (*it && *it != except && (*it)->isVisible()) return *it;
  }
  return nullptr;
}

bool OnUiThread() {
  return QCoreApplication::instance() != nullptr && QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

void COperatorDialogs::SetBoxHook(BoxHook hook) {
  std::lock_guard guard(hook_lock_);
  box_hook_ = std::move(hook);
}

void COperatorDialogs::SetChooserHook(ChooserHook hook) {
  std::lock_guard guard(hook_lock_);
  chooser_hook_ = std::move(hook);
}

void COperatorDialogs::SetDialogHook(DialogHook hook) {
  std::lock_guard guard(hook_lock_);
  dialog_hook_ = std::move(hook);
}

BoxHook COperatorDialogs::CurrentBoxHook() const {
  std::lock_guard guard(hook_lock_);
  return box_hook_;
}

ChooserHook COperatorDialogs::CurrentChooserHook() const {
  std::lock_guard guard(hook_lock_);
  return chooser_hook_;
}

DialogHook COperatorDialogs::CurrentDialogHook() const {
  std::lock_guard guard(hook_lock_);
  return dialog_hook_;
}

// Steps a new box down and right of the newest one still open, so that none
// hides another; back to the screen's top-left corner when it would leave it.
void COperatorDialogs::Cascade(QMessageBox& box) const {
  const QMessageBox* newest = NewestOpenBox(open_boxes_, &box);
  if (newest == nullptr) return;
  QPoint place = newest->pos() + kCascadeStep;
  if (const QScreen* screen = newest->screen()) {
    const QRect area = screen->availableGeometry();
    if (!area.contains(QRect(place, box.frameGeometry().size()))) place = area.topLeft() + kCascadeStep;
  }
  box.move(place);
}

int COperatorDialogs::RunModal(QDialog& dialog) {
  if (const DialogHook hook = CurrentDialogHook()) return hook(dialog);
  return dialog.exec();
}

BoxAnswer COperatorDialogs::ShowMessageBox(QWidget* parent, const std::string& text, BoxIcon icon,
                                           const std::string& caption, BoxButtons buttons) {
  const BoxRequest request{text, caption, icon, buttons, {}};
  if (const BoxHook hook = CurrentBoxHook()) return hook(request);
  auto box = MakeBox(parent, request);
  return box->exec() == QMessageBox::Ok ? BoxAnswer::kOk : BoxAnswer::kCancel;
}

BoxAnswer COperatorDialogs::ShowOwnerlessMessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                                                    const std::function<void(QMessageBox&)>& on_open,
                                                    std::function<void()> silence) {
  const BoxRequest request{text, caption, icon, BoxButtons::kOk, std::move(silence)};
  if (const BoxHook hook = CurrentBoxHook()) return hook(request);
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return BoxAnswer::kCancel;
  auto answer = std::make_shared<std::promise<BoxAnswer>>();
  std::future<BoxAnswer> result = answer->get_future();
  // Each box is modeless and has no owner, so it neither blocks the main
  // window nor the other boxes; only the calling thread waits for it.
  auto open = [this, request, answer, on_open] {
    QMessageBox* box = MakeBox(nullptr, request).release();
    box->setAttribute(Qt::WA_DeleteOnClose);
    // A message box makes itself application modal unless told otherwise.
    box->setWindowModality(Qt::NonModal);
    auto answered = std::make_shared<bool>(false);
    QObject::connect(box, &QMessageBox::finished, box, [answer, answered](int code) {
      if (*answered) return;
      *answered = true;
      answer->set_value(code == QMessageBox::Ok ? BoxAnswer::kOk : BoxAnswer::kCancel);
    });
    QObject::connect(box, &QObject::destroyed, [answer, answered] {
      if (!*answered) {
        *answered = true;
        answer->set_value(BoxAnswer::kCancel);
      }
    });
    open_boxes_.emplace_back(box);
    if (on_open) on_open(*box);
    box->show();
    Cascade(*box);
  };
  if (OnUiThread()) {
    open();
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
  } else {
    QMetaObject::invokeMethod(app, open, Qt::BlockingQueuedConnection);
  }
  return result.get();
}

void COperatorDialogs::DismissOwnerlessBoxes() {
  auto boxes = std::move(open_boxes_);
  open_boxes_.clear();
  for (auto& box : boxes) {
    if (box) box->done(QMessageBox::Cancel);
  }
}

int COperatorDialogs::OpenOwnerlessBoxCount() const {
  int count = 0;
  for (const auto& box : open_boxes_) count += box && box->isVisible() ? 1 : 0;
  return count;
}

std::optional<std::string> COperatorDialogs::BrowseForFolder(QWidget* parent, const std::string& title) {
  if (const ChooserHook hook = CurrentChooserHook()) return hook(title);
  const QString folder = QFileDialog::getExistingDirectory(parent, QString::fromStdString(title), QDir::homePath(),
                                                           QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

std::optional<std::string> COperatorDialogs::ChooseOpenFile(QWidget* parent, const std::string& title,
                                                            const std::string& filter, const std::string& initial) {
  if (const ChooserHook hook = CurrentChooserHook()) return hook(title);
  const QString file = QFileDialog::getOpenFileName(parent, QString::fromStdString(title),
                                                    QString::fromStdString(initial), QString::fromStdString(filter));
  if (file.isEmpty()) return std::nullopt;
  return file.toStdString();
}

std::optional<std::string> COperatorDialogs::ChooseSaveFile(QWidget* parent, const std::string& title,
                                                            const std::string& filter, const std::string& initial) {
  if (const ChooserHook hook = CurrentChooserHook()) return hook(title);
  const QString file = QFileDialog::getSaveFileName(parent, QString::fromStdString(title),
                                                    QString::fromStdString(initial), QString::fromStdString(filter));
  if (file.isEmpty()) return std::nullopt;
  return file.toStdString();
}

}  // namespace shell
