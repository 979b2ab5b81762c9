// The terminal widget of the tool's view: shows what the logic inserts and
// forwards typed keys to it. Everything else lives in LenkViewLogic.
//
// UI thread only.
#pragma once

#include <QPlainTextEdit>

namespace tarvek {

class LenkViewLogic;

class LenkView : public QPlainTextEdit {
 public:
  explicit LenkView(QWidget* parent);
  void SetLogic(LenkViewLogic* logic) { logic_ = logic; }

  void Insert(const std::string& text);
  void SetTextColor(const QColor& color);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  LenkViewLogic* logic_ = nullptr;
};

}  // namespace tarvek
