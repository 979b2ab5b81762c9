#include "client/shell/message_box.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QThread>

#include <future>
#include <mutex>
#include <vector>

namespace shell {
namespace {

std::mutex g_hook_lock;
BoxHook g_box_hook;          // guarded by g_hook_lock
ChooserHook g_chooser_hook;  // guarded by g_hook_lock
// Ownerless boxes still open; user-interface thread only.
std::vector<QPointer<QMessageBox>> g_open_boxes;

BoxHook CurrentBoxHook() {
  std::lock_guard guard(g_hook_lock);
  return g_box_hook;
}

ChooserHook CurrentChooserHook() {
  std::lock_guard guard(g_hook_lock);
  return g_chooser_hook;
}

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kError: return QMessageBox::Critical;
    case BoxIcon::kWarning: return QMessageBox::Warning;
    case BoxIcon::kInformation: return QMessageBox::Information;
    case BoxIcon::kNone: break;
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
  auto box = std::make_unique<QMessageBox>(ToQtIcon(request.icon), QString::fromStdString(request.caption),
                                           QString::fromStdString(request.text),
                                           request.buttons == BoxButtons::kOkCancel
                                               ? QMessageBox::Ok | QMessageBox::Cancel
                                               : QMessageBox::Ok,
                                           parent);
  box->setStyleSheet(kBoxStyleSheet);
  return box;
}

// The newest ownerless box still open, other than `except`.
QMessageBox* NewestOpenBox(const QMessageBox* except) {
  for (auto it = g_open_boxes.rbegin(); it != g_open_boxes.rend(); ++it) {
    if (*it && *it != except && (*it)->isVisible()) return *it;
  }
  return nullptr;
}

// Steps a new box down and right of the newest one still open, so that none
// hides another; back to the screen's top-left corner when it would leave it.
void Cascade(QMessageBox& box) {
  const QMessageBox* newest = NewestOpenBox(&box);
  if (newest == nullptr) return;
  QPoint place = newest->pos() + kCascadeStep;
  if (const QScreen* screen = newest->screen()) {
    const QRect area = screen->availableGeometry();
    if (!area.contains(QRect(place, box.frameGeometry().size()))) place = area.topLeft() + kCascadeStep;
  }
  box.move(place);
}

bool OnUiThread() {
  return QCoreApplication::instance() != nullptr &&
         QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

void SetMessageBoxHook(BoxHook hook) {
  std::lock_guard guard(g_hook_lock);
  g_box_hook = std::move(hook);
}

void SetChooserHook(ChooserHook hook) {
  std::lock_guard guard(g_hook_lock);
  g_chooser_hook = std::move(hook);
}

BoxAnswer ShowMessageBox(QWidget* parent, const std::string& text, BoxIcon icon, const std::string& caption,
                         BoxButtons buttons) {
  const BoxRequest request{text, caption, icon, buttons};
  if (const BoxHook hook = CurrentBoxHook()) return hook(request);
  auto box = MakeBox(parent, request);
  return box->exec() == QMessageBox::Ok ? BoxAnswer::kOk : BoxAnswer::kCancel;
}

BoxAnswer ShowOwnerlessMessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                                   const std::function<void(QMessageBox&)>& on_open) {
  const BoxRequest request{text, caption, icon, BoxButtons::kOk};
  if (const BoxHook hook = CurrentBoxHook()) return hook(request);
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return BoxAnswer::kCancel;
  auto answer = std::make_shared<std::promise<BoxAnswer>>();
  std::future<BoxAnswer> result = answer->get_future();
  // Each box is modeless and has no owner, so it neither blocks the main
  // window nor the other boxes; only the calling thread waits for it.
  auto open = [request, answer, on_open] {
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
    g_open_boxes.emplace_back(box);
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

void DismissOwnerlessBoxes() {
  auto boxes = std::move(g_open_boxes);
  g_open_boxes.clear();
  for (auto& box : boxes) {
    if (box) box->done(QMessageBox::Cancel);
  }
}

int OpenOwnerlessBoxCount() {
  int count = 0;
  for (auto& box : g_open_boxes) count += box && box->isVisible() ? 1 : 0;
  return count;
}

std::optional<std::string> BrowseForFolder(QWidget* parent, const std::string& title) {
  if (const ChooserHook hook = CurrentChooserHook()) return hook(title);
  const QString folder = QFileDialog::getExistingDirectory(parent, QString::fromStdString(title), QDir::homePath(),
                                                           QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

std::optional<std::string> ChooseOpenFile(QWidget* parent, const std::string& title, const std::string& filter,
                                          const std::string& initial) {
  if (const ChooserHook hook = CurrentChooserHook()) return hook(title);
  const QString file = QFileDialog::getOpenFileName(parent, QString::fromStdString(title),
                                                    QString::fromStdString(initial), QString::fromStdString(filter));
  if (file.isEmpty()) return std::nullopt;
  return file.toStdString();
}

}  // namespace shell
