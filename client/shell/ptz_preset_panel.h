// CPtzPresetPanel: the captionless preset panel that the live viewer shows
// over the lower area: eight preset buttons (go to a preset), a preset list
// with "Preset Setting" (store the current position) and Close. It can be
// dragged by any point.
//
// Threads: user-interface thread only.
#pragma once

#include <QWidget>

class QComboBox;

namespace shell {

class CHoverButton;

class CPtzPresetPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kGoToPreset = 20;
  static constexpr int kStorePreset = 18;
  static constexpr int kFirstPresetButton = 1228;

  explicit CPtzPresetPanel(QWidget* parent);

  int latched_button() const { return latched_; }
  CHoverButton* preset_button(int index) const { return presets_[index]; }
  QComboBox* preset_list() const { return list_; }

  void OnPreset(int button_id);
  void OnPresetSetting();

 signals:
  // The preset message: (button 1228-1235, 20 go / 18 store).
  void Preset(int button_id, int action);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  CHoverButton* presets_[8] = {};
  QComboBox* list_;
  int latched_ = 0;
  QPoint drag_start_;
};

}  // namespace shell
