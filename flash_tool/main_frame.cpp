#include "flash_tool/main_frame.h"

#include <QAction>
#include <QColorDialog>
#include <QFontDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "flash_tool/lenk_view.h"
#include "flash_tool/tool_widgets.h"

namespace tarvek {
namespace {

constexpr int kFlushIntervalMs = 500;
constexpr int kRecentFiles = 4;

// Where the most-recently-used list lives, as the original framework kept it.
QSettings RecentSettings() { return QSettings("Local AppWizard-Generated Applications", "Tarvek"); }

}  // namespace

MainFrame::MainFrame(const std::string& home)
    : view_(new LenkView(this)),
      line_pane_(new QLabel(this)),
      save_pane_(new QLabel(this)),
      flush_timer_(new QTimer(this)) {
  setCentralWidget(view_);
  statusBar()->addPermanentWidget(line_pane_);
  statusBar()->addPermanentWidget(save_pane_);
  InstallQtDialogs(dialogs_, this);

  // ThreadWatchComm only queues the drain onto the UI thread. The port is
  // closed (its thread joined) before the frame goes, and Qt drops calls
  // still queued for a deleted frame.
  logic_ = std::make_unique<LenkViewLogic>(ToolConfig(home), dialogs_, this, [this](int port_index) {
    QMetaObject::invokeMethod(
        this,
        [this, port_index] {
          if (logic_) logic_->OnPortNotification(port_index);
        },
        Qt::QueuedConnection);
  });
  view_->SetLogic(logic_.get());
  flush_timer_->setInterval(kFlushIntervalMs);
  connect(flush_timer_, &QTimer::timeout, this, [this] { logic_->OnFlushTimer(); });

  BuildMenus();
  logic_->Start();
  UpdateCommands();
  resize(720, 480);
}

MainFrame::~MainFrame() {
  flush_timer_->stop();
  view_->SetLogic(nullptr);
  logic_.reset();  // closes the port and the capture file
}

void MainFrame::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  QAction* open = file->addAction("&Open", QKeySequence("Ctrl+O"), this, [this] {
    logic_->OpenTarget();
    if (logic_->machine().file_open()) AddRecent(QString::fromStdString(logic_->machine().target_path()));
  });
  QAction* save = file->addAction("File &Save", QKeySequence("Ctrl+S"), this, [this] { logic_->SaveTerminalText(); });
  file->addAction("&Capture Toggle", this, [this] { logic_->ToggleCapture(); });
  file->addSeparator();
  recent_menu_ = file->addMenu("Recent &Files");
  recent_ = RecentSettings().value("Recent File List").toStringList();
  RebuildRecent();
  file->addSeparator();
  file->addAction("E&xit", this, [this] { close(); });

  QMenu* view = menuBar()->addMenu("&View");
  QToolBar* toolbar = addToolBar("Toolbar");
  QAction* toolbar_toggle = toolbar->toggleViewAction();
  toolbar_toggle->setText("&Toolbar");
  view->addAction(toolbar_toggle);
  QAction* status_toggle = view->addAction("&Status Bar");
  status_toggle->setCheckable(true);
  status_toggle->setChecked(true);
  connect(status_toggle, &QAction::toggled, statusBar(), &QWidget::setVisible);
  QAction* clear = view->addAction("C&lear screen", QKeySequence("Ctrl+X"), this, [this] { logic_->ClearScreen(); });
  view->addAction("&Font", this, [this] { ChooseFont(); });
  view->addAction("Sc&roll", this,
                  [this] { view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->maximum()); });

  QMenu* port = menuBar()->addMenu("&Port");
  port->addAction("Port &Setting", this, [this] { EditPortSetting(); });
  connect_ = port->addAction("&Connect", QKeySequence("Ctrl+C"), this, [this] {
    logic_->Connect();
    UpdateCommands();
  });
  disconnect_ = port->addAction("&Disconnect", QKeySequence("Ctrl+D"), this, [this] {
    logic_->Disconnect();
    UpdateCommands();
  });

  QMenu* help = menuBar()->addMenu("&Help");
  help->addAction("&Version", this, [this] { ShowVersion(); });

  for (QAction* action : {open, save, connect_, disconnect_, clear}) toolbar->addAction(action);
}

void MainFrame::UpdateCommands() {
  connect_->setEnabled(!logic_->connected());
  disconnect_->setEnabled(logic_->connected());
}

void MainFrame::EditPortSetting() {
  const std::optional<PortSetting> current = logic_->config().ReadPortSetting();
  PortSettingDialog dialog(current ? current->port : 1, current ? current->baud : 115200, this);
  if (dialog.exec() == QDialog::Accepted) logic_->ApplyPortSetting(dialog.port(), dialog.baud());
  UpdateCommands();
}

void MainFrame::ChooseFont() {
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, view_->font(), this, "Font");
  if (!ok) return;
  view_->setFont(font);
  const QColor color = QColorDialog::getColor(view_->palette().color(QPalette::Text), this, "Font colour");
  if (color.isValid()) view_->SetTextColor(color);
}

void MainFrame::ShowVersion() {
  QMessageBox box(QMessageBox::Information, "Tarvek Version 1.0", "Tarvek Ver1.1", QMessageBox::Ok, this);
  box.exec();
}

void MainFrame::AddRecent(const QString& path) {
  recent_.removeAll(path);
  recent_.prepend(path);
  while (recent_.size() > kRecentFiles) recent_.removeLast();
  RecentSettings().setValue("Recent File List", recent_);
  RebuildRecent();
}

void MainFrame::RebuildRecent() {
  recent_menu_->clear();
  for (int i = 0; i < recent_.size(); ++i) {
    const QString path = recent_[i];
    recent_menu_->addAction(QString("&%1 %2").arg(i + 1).arg(path), this, [this, path] {
      if (logic_->UseTarget(path.toStdString())) AddRecent(path);
    });
  }
  recent_menu_->setEnabled(!recent_.isEmpty());
}

void MainFrame::TitleChanged(const std::string& title) { setWindowTitle(QString::fromStdString(title)); }

void MainFrame::PanesChanged(const std::string& line_pane, const std::string& save_pane) {
  line_pane_->setText(QString::fromStdString(line_pane));
  save_pane_->setText(QString::fromStdString(save_pane));
}

void MainFrame::TerminalInserted(const std::string& text) { view_->Insert(text); }

void MainFrame::TerminalCleared() { view_->clear(); }

void MainFrame::FocusToMainWindow() {
  activateWindow();
  view_->setFocus();
}

void MainFrame::FlushTimerChanged(bool running) {
  if (running)
    flush_timer_->start();
  else
    flush_timer_->stop();
}

}  // namespace tarvek
