// The two smallest pieces of the skin: the coloured label and the skinned
// dialog, whose background picture is its whole look.
//
// Threads: user-interface thread only.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPixmap>

namespace shell {

// Converts a COLORREF (0x00BBGGRR) to a colour.
QColor FromColorRef(unsigned colour);

class CColourLabel : public QLabel {
 public:
  explicit CColourLabel(const QString& text = {}, QWidget* parent = nullptr);
  // Replaces the background and redraws at once.
  void SetColour(unsigned colour_ref);
  QColor colour() const { return colour_; }

 private:
  void Paint();

  QColor colour_;
};

class CSkinnedDialog : public QDialog {
 public:
  // The dialog takes the fixed size given and paints `background_id` at its
  // top-left corner.
  CSkinnedDialog(QWidget* parent, int background_id, QSize size, const QString& title);

  // Applies the skin's palette and fonts to a plain child (edits, lists, combos).
  static void SkinChild(QWidget* child);
  // A caption drawn on the background, for fields.
  QLabel* AddCaption(const QString& text, int x, int y, int width = 140);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QPixmap background_;
};

// The style sheet of the plain controls on a skinned surface.
const char* SkinStyleSheet();

}  // namespace shell
