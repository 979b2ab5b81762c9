// Tarvek's main window: menu, toolbar, status bar panes, the terminal view,
// the 500 ms flush timer and the most-recently-used list. It forwards every
// command to LenkViewLogic and mirrors what the logic reports.
//
// Threads: UI thread, except the port notification lambda, which runs on
// ThreadWatchComm and only queues a call to the UI thread.
#pragma once

#include <QMainWindow>
#include <QStringList>

#include <memory>

#include "flash_tool/lenk_view_logic.h"
#include "flash_tool/tool_dialogs.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace tarvek {

class LenkView;

class MainFrame : public QMainWindow, public ViewObserver {
 public:
  explicit MainFrame(const std::string& home);
  ~MainFrame() override;

  LenkViewLogic& logic() { return *logic_; }
  ToolDialogs& dialogs() { return dialogs_; }

  // ViewObserver.
  void TitleChanged(const std::string& title) override;
  void PanesChanged(const std::string& line_pane, const std::string& save_pane) override;
  void TerminalInserted(const std::string& text) override;
  void TerminalCleared() override;
  void FocusToMainWindow() override;
  void FlushTimerChanged(bool running) override;

 private:
  void BuildMenus();
  void UpdateCommands();
  void ChooseFont();
  void EditPortSetting();
  void ShowVersion();
  void AddRecent(const QString& path);
  void RebuildRecent();

  ToolDialogs dialogs_;
  LenkView* view_;
  QLabel* line_pane_;
  QLabel* save_pane_;
  QTimer* flush_timer_;
  QAction* connect_;
  QAction* disconnect_;
  QMenu* recent_menu_ = nullptr;
  QStringList recent_;
  std::unique_ptr<LenkViewLogic> logic_;
};

}  // namespace tarvek
