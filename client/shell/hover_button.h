// CHoverButton: a push button drawn from four skin pictures (normal,
// pressed, hover, disabled) with a latched state for radio groups and a
// tooltip from the string table.
//
// Threads: user-interface thread only.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

#include "client/shell/skin_artwork.h"

namespace shell {

class CHoverButton : public QAbstractButton {
  Q_OBJECT

 public:
  enum class Face { kNormal, kPressed, kHover, kDisabled };

  explicit CHoverButton(QWidget* parent = nullptr, int control_id = 0);

  int control_id() const { return control_id_; }

  // Takes the four pictures by resource number (disabled only when non-zero)
  // and resizes the button to the normal picture without moving it.
  void SetBitmaps(int normal, int pressed, int hover, int disabled);
  void SetBitmaps(const skin::FaceIds& ids) { SetBitmaps(ids.normal, ids.pressed, ids.hover, ids.disabled); }
  // An empty string leaves the button without tooltip.
  void SetTooltip(int string_id, bool active);
  void SetLatched(bool latched);
  bool latched() const { return latched_; }
  bool hovering() const { return hovering_; }
  // Places the button by its top-left corner (its size is the picture's).
  void Place(int x, int y) { move(x, y); }

  // A key held in the left button's place: down, then up with the click,
  // so that a shortcut reaches the same handlers as the mouse. A disabled
  // button ignores the press.
  void PressByKey();
  void ReleaseByKey();

  // The face the next paint draws.
  Face CurrentFace() const;

  QSize sizeHint() const override;

 signals:
  // Left button down and up over the button (press-and-hold controls).
  void Held(int control_id);
  void Released(int control_id);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const int control_id_;
  QPixmap normal_;
  QPixmap pressed_;
  QPixmap hover_;
  QPixmap disabled_;
  bool hovering_ = false;
  bool latched_ = false;
};

}  // namespace shell
