#include "client/shell/skin_artwork.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <map>
#include <vector>

#include "client/shell/control_ids.h"

namespace shell::skin {
namespace {

// A dark control-room palette: quiet panels, one cyan accent for what is
// selected or under the pointer, red only for what stops or alarms.
const QColor kPanel(0x16, 0x1b, 0x22);
const QColor kPanelEdge(0x2b, 0x35, 0x43);
const QColor kInk(0xe4, 0xea, 0xf1);
const QColor kDimInk(0x5a, 0x64, 0x72);
const QColor kAccent(0x3d, 0xb2, 0xff);
const QColor kAlarm(0xff, 0x5a, 0x4e);

enum class Face { kNormal, kPressed, kHover, kDisabled };
enum class Glyph {
  kText,
  kUp,
  kDown,
  kLeft,
  kRight,
  kClose,
  kMinimize,
  kPower,
  kHelp,
  kLive,
  kSearch,
  kLocal,
  kRemovable,
  kFastReverse,
  kReverse,
  kFrameBack,
  kStop,
  kFrameForward,
  kPlay,
  kFastForward,
  kRecord,
  kDisconnect,
  kBook,
  kCamera,
  kGear,
  kPrinter,
  kStatus,
  kLog,
  kPreset,
  kRotate,
  kGrid1,
  kGrid4,
  kGrid9,
  kGrid16,
  kPtz,
  kChannels
};

struct FaceSet {
  int control_id;  // main-window control, or 0 for a dialog's set
  FaceIds ids;
  int width;
  int height;
  const char* label;
  Glyph glyph;
  bool danger = false;
};

std::vector<FaceSet> BuildFaceSets() {
  std::vector<FaceSet> sets;
  int next = res::kFirstFaceSet;
  using enum ControlId;
  // `control` is a ControlId, or -1 for a set no main-window control owns.
  auto own = [&](auto control, int w, int h, const char* label, Glyph glyph, bool danger = false) {
    sets.push_back({static_cast<int>(control), {next, next + 2, next + 1, next + 3}, w, h, label, glyph, danger});
    next += 4;
  };
  own(kLiveMode, 83, 63, "LIVE", Glyph::kLive);
  own(kSearchMode, 83, 64, "SEARCH", Glyph::kSearch);
  own(kLocalMode, 83, 63, "LOCAL", Glyph::kLocal);
  own(kRemovableMode, 83, 63, "REMOVABLE", Glyph::kRemovable);
  own(kHelp, 30, 30, "", Glyph::kHelp);
  own(kMinimize, 30, 30, "", Glyph::kMinimize);
  own(kClose, 30, 30, "", Glyph::kClose);
  own(kTurnOff, 30, 30, "", Glyph::kPower, true);
  own(kCapture, 43, 43, "", Glyph::kCamera);
  own(kPrint, 43, 43, "", Glyph::kPrinter);
  own(kSetup, 43, 43, "", Glyph::kGear);
  own(kDvr1, 61, 21, "DVR 1", Glyph::kText);
  own(DvrButton(1), 61, 21, "DVR 2", Glyph::kText);
  own(DvrButton(2), 61, 21, "DVR 3", Glyph::kText);
  own(kDvr4, 61, 21, "DVR 4", Glyph::kText);
  own(kDvrStatus, 43, 43, "", Glyph::kStatus);
  own(kLogFile, 43, 43, "", Glyph::kLog);
  own(kPtzPreset, 43, 43, "", Glyph::kPreset);
  own(kAddressBook, 43, 43, "", Glyph::kBook);
  own(kDisconnect, 56, 56, "", Glyph::kDisconnect, true);
  own(kLight, 68, 22, "LIGHT", Glyph::kText);
  own(kFastReverse, 23, 23, "", Glyph::kFastReverse);
  own(kReversePlay, 23, 23, "", Glyph::kReverse);
  own(kFrameBack, 23, 23, "", Glyph::kFrameBack);
  own(kStop, 23, 23, "", Glyph::kStop);
  own(kFrameForward, 23, 23, "", Glyph::kFrameForward);
  own(kPlay, 29, 29, "", Glyph::kPlay);
  own(kFastForward, 23, 23, "", Glyph::kFastForward);
  own(kRecord, 23, 23, "", Glyph::kRecord, true);
  own(kSpeedUp, 15, 15, "", Glyph::kUp);
  own(kSpeedDown, 15, 15, "", Glyph::kDown);
  own(kLayout1Ch, 74, 46, "1", Glyph::kGrid1);
  own(kLayout4Ch, 50, 79, "4", Glyph::kGrid4);
  own(kLayout8Ch, 74, 48, "8", Glyph::kGrid9);
  own(kLayout16Ch, 50, 79, "16", Glyph::kGrid16);
  own(kPtz, 74, 79, "PTZ", Glyph::kPtz);
  own(kChannels, 74, 79, "CH", Glyph::kChannels);
  own(kArrowUp, 74, 46, "", Glyph::kUp);
  own(kArrowLeft, 50, 79, "", Glyph::kLeft);
  own(kArrowRight, 50, 79, "", Glyph::kRight);
  own(kArrowDown, 74, 48, "", Glyph::kDown);
  own(kPanTilt, 43, 43, "MOVE", Glyph::kText);
  own(kZoom, 43, 43, "ZOOM", Glyph::kText);
  own(kFocus, 43, 43, "FOCUS", Glyph::kText);
  own(kRotation, 43, 43, "", Glyph::kRotate);
  own(kFileSelect, 68, 22, "SELECT", Glyph::kText);
  own(kTimeSelect, 68, 22, "TIME", Glyph::kText);
  own(kDownload, 68, 22, "DOWNLOAD", Glyph::kText);
  own(-1, 20, 20, "...", Glyph::kText);  // browse buttons of the dialogs
  own(kReconnect, 68, 22, "RECONNECT", Glyph::kText);
  // Sets whose numbers the resource file gives.
  sets.push_back({ToInt(kTelephoneConnect), {185, 187, 186, 437}, 68, 22, "CONNECT", Glyph::kText});
  sets.push_back({ToInt(kEthernetConnect), {185, 187, 186, 437}, 68, 22, "CONNECT", Glyph::kText});
  sets.push_back({ToInt(kTelephoneBook), {201, 203, 202, 438}, 28, 28, "", Glyph::kBook});
  sets.push_back({ToInt(kEthernetBook), {204, 206, 205, 439}, 28, 28, "", Glyph::kBook});
  sets.push_back({ToInt(kLogonOk), {207, 209, 208, 482}, 68, 22, "OK", Glyph::kText});
  sets.push_back({0, {421, 423, 422, 483}, 68, 22, "CANCEL", Glyph::kText});
  sets.push_back({0, {521, 522, 523, 0}, 68, 22, "PLAYBACK", Glyph::kText});
  sets.push_back({0,
                  {res::kStartFaces, res::kStartFaces + 2, res::kStartFaces + 1, res::kStartFaces + 3},
                  68,
                  22,
                  "START",
                  Glyph::kText});
  sets.push_back({0, {464, 466, 465, 467}, 68, 22, "ADD", Glyph::kText});
  sets.push_back({0, {472, 474, 473, 475}, 68, 22, "MODIFY", Glyph::kText});
  sets.push_back({0, {468, 470, 469, 471}, 68, 22, "DELETE", Glyph::kText, true});
  sets.push_back({0, {476, 478, 477, 479}, 68, 22, "CLOSE", Glyph::kText});
  sets.push_back({0, {427, 429, 428, 0}, 68, 22, "PRESET SET", Glyph::kText});
  sets.push_back({0, {518, 520, 519, 0}, 68, 22, "SET E-MAIL", Glyph::kText});
  sets.push_back({0, {524, 526, 525, 0}, 68, 22, "NEXT", Glyph::kText});
  sets.push_back({0, {527, 529, 528, 0}, 68, 22, "BACK", Glyph::kText});
  static const char* kNumbers[] = {"1", "2",  "3",  "4",  "5",  "6",  "7",  "8",
                                   "9", "10", "11", "12", "13", "14", "15", "16"};
  for (int n = 1; n <= 16; ++n) {
    const int base = 299 + 4 * (n - 1);
    sets.push_back(
        {ToInt(CameraButton(n - 1)), {base, base + 2, base + 1, base + 3}, 30, 31, kNumbers[n - 1], Glyph::kText});
  }
  // Presets 3 to 6 have pictures of their own; 1, 2, 7 and 8 share the cameras'.
  const int preset_bases[] = {1239, 1243, 1247, 1251};
  for (int i = 0; i < 4; ++i) {
    const int base = preset_bases[i];
    sets.push_back({0, {base, base + 2, base + 1, base + 3}, 30, 30, kNumbers[i + 2], Glyph::kText});
  }
  return sets;
}

const std::vector<FaceSet>& FaceSets() {
  static const std::vector<FaceSet> sets = BuildFaceSets();
  return sets;
}

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c) {
  QPainterPath path;
  path.moveTo(a);
  path.lineTo(b);
  path.lineTo(c);
  path.closeSubpath();
  p.fillPath(path, p.pen().color());
}

void DrawGrid(QPainter& p, const QRectF& box, int per_row) {
  const qreal cell = box.width() / per_row;
  for (int r = 0; r < per_row; ++r) {
    for (int c = 0; c < per_row; ++c) {
      p.drawRect(QRectF(box.left() + c * cell + 1, box.top() + r * cell + 1, cell - 2, cell - 2));
    }
  }
}

// Draws the symbol of a glyph centred in `area`, in the pen's colour.
void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& area) {
  const qreal s = std::min(area.width(), area.height());
  const QPointF c = area.center();
  const qreal r = s * 0.32;
  const QColor ink = p.pen().color();
  p.setBrush(Qt::NoBrush);
  switch (glyph) {
    case Glyph::kUp:
      Triangle(p, {c.x() - r, c.y() + r * 0.6}, {c.x() + r, c.y() + r * 0.6}, {c.x(), c.y() - r * 0.7});
      break;
    case Glyph::kDown:
      Triangle(p, {c.x() - r, c.y() - r * 0.6}, {c.x() + r, c.y() - r * 0.6}, {c.x(), c.y() + r * 0.7});
      break;
    case Glyph::kLeft:
      Triangle(p, {c.x() + r * 0.6, c.y() - r}, {c.x() + r * 0.6, c.y() + r}, {c.x() - r * 0.7, c.y()});
      break;
    case Glyph::kRight:
      Triangle(p, {c.x() - r * 0.6, c.y() - r}, {c.x() - r * 0.6, c.y() + r}, {c.x() + r * 0.7, c.y()});
      break;
    case Glyph::kClose:
      p.drawLine(QPointF(c.x() - r * 0.8, c.y() - r * 0.8), QPointF(c.x() + r * 0.8, c.y() + r * 0.8));
      p.drawLine(QPointF(c.x() + r * 0.8, c.y() - r * 0.8), QPointF(c.x() - r * 0.8, c.y() + r * 0.8));
      break;
    case Glyph::kMinimize:
      p.drawLine(QPointF(c.x() - r, c.y() + r * 0.6), QPointF(c.x() + r, c.y() + r * 0.6));
      break;
    case Glyph::kPower:
      p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 120 * 16, 300 * 16);
      p.drawLine(QPointF(c.x(), c.y() - r * 1.1), QPointF(c.x(), c.y()));
      break;
    case Glyph::kHelp: {
      QFont font("DejaVu Sans", 1, QFont::Bold);
      font.setPixelSize(static_cast<int>(s * 0.55));
      p.setFont(font);
      p.drawText(area, Qt::AlignCenter, "?");
      break;
    }
    case Glyph::kLive:
      p.drawRoundedRect(QRectF(c.x() - r * 1.1, c.y() - r * 0.7, r * 1.5, r * 1.4), 3, 3);
      Triangle(p, {c.x() + r * 0.5, c.y()}, {c.x() + r * 1.2, c.y() - r * 0.6}, {c.x() + r * 1.2, c.y() + r * 0.6});
      p.setBrush(kAlarm);
      p.setPen(Qt::NoPen);
      p.drawEllipse(QPointF(c.x() - r * 0.75, c.y() - r * 0.35), r * 0.16, r * 0.16);
      p.setPen(QPen(ink, 2));
      break;
    case Glyph::kSearch:
      p.drawEllipse(QPointF(c.x() - r * 0.2, c.y() - r * 0.2), r * 0.7, r * 0.7);
      p.drawLine(QPointF(c.x() + r * 0.3, c.y() + r * 0.3), QPointF(c.x() + r, c.y() + r));
      break;
    case Glyph::kLocal:
      p.drawRoundedRect(QRectF(c.x() - r, c.y() - r * 0.7, 2 * r, r * 1.3), 2, 2);
      p.drawLine(QPointF(c.x() - r * 0.5, c.y() + r * 0.95), QPointF(c.x() + r * 0.5, c.y() + r * 0.95));
      break;
    case Glyph::kRemovable:
      p.drawRoundedRect(QRectF(c.x() - r, c.y() - r * 0.6, 2 * r, r * 1.2), 3, 3);
      p.drawEllipse(QPointF(c.x() + r * 0.6, c.y()), r * 0.12, r * 0.12);
      break;
    case Glyph::kFastReverse:
      Triangle(p, {c.x(), c.y() - r}, {c.x(), c.y() + r}, {c.x() - r, c.y()});
      Triangle(p, {c.x() + r, c.y() - r}, {c.x() + r, c.y() + r}, {c.x(), c.y()});
      break;
    case Glyph::kReverse:
      Triangle(p, {c.x() + r * 0.6, c.y() - r}, {c.x() + r * 0.6, c.y() + r}, {c.x() - r * 0.8, c.y()});
      break;
    case Glyph::kFrameBack:
      p.drawLine(QPointF(c.x() - r * 0.8, c.y() - r), QPointF(c.x() - r * 0.8, c.y() + r));
      Triangle(p, {c.x() + r * 0.7, c.y() - r}, {c.x() + r * 0.7, c.y() + r}, {c.x() - r * 0.5, c.y()});
      break;
    case Glyph::kStop:
      p.fillRect(QRectF(c.x() - r * 0.7, c.y() - r * 0.7, r * 1.4, r * 1.4), ink);
      break;
    case Glyph::kFrameForward:
      p.drawLine(QPointF(c.x() + r * 0.8, c.y() - r), QPointF(c.x() + r * 0.8, c.y() + r));
      Triangle(p, {c.x() - r * 0.7, c.y() - r}, {c.x() - r * 0.7, c.y() + r}, {c.x() + r * 0.5, c.y()});
      break;
    case Glyph::kPlay:
      Triangle(p, {c.x() - r * 0.6, c.y() - r}, {c.x() - r * 0.6, c.y() + r}, {c.x() + r * 0.9, c.y()});
      break;
    case Glyph::kFastForward:
      Triangle(p, {c.x() - r, c.y() - r}, {c.x() - r, c.y() + r}, {c.x(), c.y()});
      Triangle(p, {c.x(), c.y() - r}, {c.x(), c.y() + r}, {c.x() + r, c.y()});
      break;
    case Glyph::kRecord:
      p.setBrush(kAlarm);
      p.setPen(Qt::NoPen);
      p.drawEllipse(c, r * 0.75, r * 0.75);
      p.setPen(QPen(ink, 2));
      break;
    case Glyph::kDisconnect:
      p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 120 * 16, 300 * 16);
      p.drawLine(QPointF(c.x(), c.y() - r * 1.1), QPointF(c.x(), c.y() - r * 0.1));
      break;
    case Glyph::kBook:
      p.drawRoundedRect(QRectF(c.x() - r * 0.8, c.y() - r, r * 1.6, r * 2), 2, 2);
      p.drawEllipse(QPointF(c.x(), c.y() - r * 0.25), r * 0.3, r * 0.3);
      p.drawArc(QRectF(c.x() - r * 0.5, c.y() + r * 0.15, r, r * 0.8), 0, 180 * 16);
      break;
    case Glyph::kCamera:
      p.drawRoundedRect(QRectF(c.x() - r, c.y() - r * 0.6, 2 * r, r * 1.4), 3, 3);
      p.drawEllipse(QPointF(c.x(), c.y() + r * 0.1), r * 0.42, r * 0.42);
      p.drawLine(QPointF(c.x() - r * 0.4, c.y() - r * 0.8), QPointF(c.x() + r * 0.2, c.y() - r * 0.8));
      break;
    case Glyph::kPrinter:
      p.drawRect(QRectF(c.x() - r, c.y() - r * 0.3, 2 * r, r * 0.9));
      p.drawRect(QRectF(c.x() - r * 0.6, c.y() - r, r * 1.2, r * 0.7));
      p.drawRect(QRectF(c.x() - r * 0.6, c.y() + r * 0.6, r * 1.2, r * 0.5));
      break;
    case Glyph::kGear:
      for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(45.0 * i);
        p.drawLine(QPointF(0, -r * 0.6), QPointF(0, -r));
        p.restore();
      }
      p.drawEllipse(c, r * 0.6, r * 0.6);
      p.drawEllipse(c, r * 0.22, r * 0.22);
      break;
    case Glyph::kStatus:
      for (int i = 0; i < 4; ++i) {
        const qreal h = r * (0.5 + 0.4 * i);
        p.fillRect(QRectF(c.x() - r + i * r * 0.55, c.y() + r - h, r * 0.35, h), ink);
      }
      break;
    case Glyph::kLog:
      p.drawRect(QRectF(c.x() - r * 0.8, c.y() - r, r * 1.6, r * 2));
      for (int i = 0; i < 3; ++i) {
        const qreal y = c.y() - r * 0.45 + i * r * 0.45;
        p.drawLine(QPointF(c.x() - r * 0.45, y), QPointF(c.x() + r * 0.45, y));
      }
      break;
    case Glyph::kPreset:
      p.drawEllipse(c, r, r);
      p.drawEllipse(c, r * 0.35, r * 0.35);
      p.drawLine(QPointF(c.x(), c.y() - r * 1.2), QPointF(c.x(), c.y() - r * 0.6));
      break;
    case Glyph::kRotate:
      p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 30 * 16, 280 * 16);
      Triangle(p, {c.x() + r * 0.55, c.y() - r * 0.95}, {c.x() + r * 1.15, c.y() - r * 0.3},
               {c.x() + r * 0.35, c.y() - r * 0.2});
      break;
    case Glyph::kGrid1:
      DrawGrid(p, QRectF(c.x() - r * 0.55, c.y() - r * 0.55, r * 1.1, r * 1.1), 1);
      break;
    case Glyph::kGrid4:
      DrawGrid(p, QRectF(c.x() - r * 0.6, c.y() - r * 0.6, r * 1.2, r * 1.2), 2);
      break;
    case Glyph::kGrid9:
      DrawGrid(p, QRectF(c.x() - r * 0.6, c.y() - r * 0.6, r * 1.2, r * 1.2), 3);
      break;
    case Glyph::kGrid16:
      DrawGrid(p, QRectF(c.x() - r * 0.6, c.y() - r * 0.6, r * 1.2, r * 1.2), 4);
      break;
    case Glyph::kPtz:
    case Glyph::kChannels:
    case Glyph::kText:
      break;
  }
}

QPixmap DrawFace(const FaceSet& set, Face face) {
  QPixmap pixmap = Canvas(QSize(set.width, set.height));
  pixmap.fill(kPanel);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box(0.5, 0.5, set.width - 1.0, set.height - 1.0);
  const qreal radius = std::min(set.width, set.height) > 24 ? 5.0 : 3.0;
  QLinearGradient fill(0, 0, 0, set.height);
  QColor edge = kPanelEdge;
  QColor ink = kInk;
  switch (face) {
    case Face::kNormal:
      fill.setColorAt(0, QColor(0x30, 0x3a, 0x48));
      fill.setColorAt(1, QColor(0x22, 0x29, 0x34));
      edge = QColor(0x3a, 0x46, 0x57);
      break;
    case Face::kHover:
      fill.setColorAt(0, QColor(0x2c, 0x4a, 0x66));
      fill.setColorAt(1, QColor(0x1f, 0x36, 0x4d));
      edge = kAccent;
      ink = QColor(0xf4, 0xfa, 0xff);
      break;
    case Face::kPressed:
      fill.setColorAt(0, QColor(0x16, 0x5a, 0x94));
      fill.setColorAt(1, QColor(0x1d, 0x70, 0xb4));
      edge = QColor(0x8c, 0xd2, 0xff);
      ink = Qt::white;
      break;
    case Face::kDisabled:
      fill.setColorAt(0, QColor(0x1d, 0x22, 0x2a));
      fill.setColorAt(1, QColor(0x1a, 0x1f, 0x26));
      edge = QColor(0x28, 0x2f, 0x39);
      ink = kDimInk;
      break;
  }
  if (set.danger && face != Face::kDisabled) ink = face == Face::kNormal ? QColor(0xff, 0x8a, 0x80) : Qt::white;
  p.setPen(QPen(edge, 1));
  p.setBrush(fill);
  p.drawRoundedRect(box, radius, radius);
  p.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const bool has_text = set.label[0] != '\0';
  QRectF glyph_area = box.adjusted(3, 3, -3, -3);
  if (set.glyph != Glyph::kText && has_text && set.height >= 40) {
    // Symbol above, caption below (mode and layout buttons).
    QRectF text_area = glyph_area;
    text_area.setTop(glyph_area.bottom() - 16);
    glyph_area.setBottom(text_area.top());
    DrawGlyph(p, set.glyph, glyph_area);
    QFont font("DejaVu Sans", 1, QFont::Bold);
    font.setPixelSize(10);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    p.setFont(font);
    p.drawText(text_area, Qt::AlignCenter, set.label);
  } else if (set.glyph != Glyph::kText && set.glyph != Glyph::kPtz && set.glyph != Glyph::kChannels) {
    DrawGlyph(p, set.glyph, glyph_area);
  } else {
    QFont font("DejaVu Sans", 1, QFont::Bold);
    font.setPixelSize(std::clamp(set.height / 2, 9, 16));
    if (set.width <= 43) font.setPixelSize(std::min(font.pixelSize(), 9));
    // Long captions shrink to fit their button.
    while (font.pixelSize() > 7 && QFontMetrics(font).horizontalAdvance(set.label) > set.width - 8) {
      font.setPixelSize(font.pixelSize() - 1);
    }
    p.setFont(font);
    p.drawText(box, Qt::AlignCenter, set.label);
  }
  return pixmap;
}

struct FaceRef {
  const FaceSet* set;
  Face face;
};

const std::map<int, FaceRef>& FaceIndex() {
  static const std::map<int, FaceRef> index = [] {
    std::map<int, FaceRef> map;
    for (const FaceSet& set : FaceSets()) {
      map.emplace(set.ids.normal, FaceRef{&set, Face::kNormal});
      map.emplace(set.ids.pressed, FaceRef{&set, Face::kPressed});
      map.emplace(set.ids.hover, FaceRef{&set, Face::kHover});
      if (set.ids.disabled != 0) map.emplace(set.ids.disabled, FaceRef{&set, Face::kDisabled});
    }
    return map;
  }();
  return index;
}

}  // namespace

QPixmap DrawSkinPicture(int id);

QPixmap Pixmap(int id) {
  static std::map<int, QPixmap> cache;
  if (const auto hit = cache.find(id); hit != cache.end()) return hit->second;
  QPixmap pixmap;
  const auto& index = FaceIndex();
  if (const auto face = index.find(id); face != index.end()) {
    pixmap = DrawFace(*face->second.set, face->second.face);
  } else {
    pixmap = DrawSkinPicture(id);
  }
  cache.emplace(id, pixmap);
  return pixmap;
}

QPixmap Canvas(QSize size) {
  const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(size * ratio);
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

FaceIds FacesOfControl(int control_id) {
  for (const FaceSet& set : FaceSets()) {
    if (set.control_id == control_id) return set.ids;
  }
  return {0, 0, 0, 0};
}

void DrawProgramIcon(QPainter& p, const QRectF& box) {
  // Drawn on a 64-unit square and scaled, so that every size keeps the proportions.
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(box.topLeft());
  p.scale(box.width() / 64.0, box.height() / 64.0);
  QLinearGradient fill(0, 0, 0, 64);
  fill.setColorAt(0, QColor(0x30, 0x3a, 0x48));
  fill.setColorAt(1, kPanel);
  p.setPen(QPen(kAccent, 2));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(3, 3, 58, 58), 12, 12);
  p.setPen(QPen(kInk, 3.5));
  DrawGlyph(p, Glyph::kLive, QRectF(4, 4, 56, 56));
  p.restore();
}

}  // namespace shell::skin
