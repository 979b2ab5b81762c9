// The tool's Qt dialogs: "COM Port Setting", "DownLoad Progress", "Boot code",
// and the presenter that shows message boxes and file dialogs for the dialog
// layer (tool_dialogs.h).
//
// UI thread only.
#pragma once

#include <QDialog>

#include <memory>

#include "flash_tool/tool_dialogs.h"

class QButtonGroup;
class QLabel;
class QProgressBar;

namespace tarvek {

class PortSettingDialog : public QDialog {
 public:
  PortSettingDialog(int port, int baud, QWidget* parent);
  int port() const;
  int baud() const;

 private:
  QButtonGroup* ports_;
  QButtonGroup* bauds_;
};

class ProgressDialog : public QDialog, public ProgressView {
 public:
  explicit ProgressDialog(QWidget* parent);
  void Show(const std::string& image_path, uint32_t length, int range_max) override;
  void SetPercent(int percent) override;
  void SetPosition(int position) override;
  bool Cancelled() override;
  void Hide() override;

 private:
  QLabel* path_;
  QLabel* percent_;
  QLabel* length_;
  QProgressBar* bar_;
  bool cancelled_ = false;
};

// Installs the Qt presenter on `dialogs`, with `parent` owning the dialogs.
void InstallQtDialogs(ToolDialogs& dialogs, QWidget* parent);

}  // namespace tarvek
