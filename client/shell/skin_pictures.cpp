// The skin's pictures that are not button faces: window and dialog
// backgrounds, the splash, selector strips, indicators and the slider parts.
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "client/shell/skin_artwork.h"

namespace shell::skin {
namespace {

const QColor kBackdrop(0x0f, 0x13, 0x18);
const QColor kPanel(0x16, 0x1b, 0x22);
const QColor kPanelEdge(0x2b, 0x35, 0x43);
const QColor kInk(0xe4, 0xea, 0xf1);
const QColor kMutedInk(0x8b, 0x97, 0xa8);
const QColor kAccent(0x3d, 0xb2, 0xff);

QFont UiFont(int pixels, int weight = QFont::Bold) {
  QFont font("DejaVu Sans", 1, weight);
  font.setPixelSize(pixels);
  return font;
}

void Panel(QPainter& p, const QRectF& box, const char* caption = nullptr) {
  p.setPen(QPen(kPanelEdge, 1));
  p.setBrush(kPanel);
  p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
  if (caption != nullptr) {
    p.setPen(kMutedInk);
    p.setFont(UiFont(10));
    p.drawText(QRectF(box.left() + 10, box.top() + 3, box.width() - 20, 14), Qt::AlignLeft | Qt::AlignVCenter, caption);
  }
}

void Backdrop(QPainter& p, const QSize& size) {
  QLinearGradient fill(0, 0, 0, size.height());
  fill.setColorAt(0, QColor(0x14, 0x19, 0x20));
  fill.setColorAt(1, kBackdrop);
  p.fillRect(QRect(QPoint(0, 0), size), fill);
}

void Wordmark(QPainter& p, const QRectF& box, int pixels) {
  p.setPen(kInk);
  p.setFont(UiFont(pixels, QFont::Black));
  p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, "KAVIRO");
  const QFontMetrics metrics(p.font());
  const qreal x = box.left() + metrics.horizontalAdvance("KAVIRO") + pixels * 0.25;
  p.setBrush(kAccent);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(x, box.center().y() + pixels * 0.25), pixels * 0.14, pixels * 0.14);
}

// A dialog's background: a title strip with the product mark and its name.
QPixmap DialogBackground(QSize size, const char* title) {
  QPixmap pixmap = Canvas(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  Backdrop(p, size);
  p.fillRect(QRect(0, 0, size.width(), 40), QColor(0x1a, 0x21, 0x2b));
  p.fillRect(QRect(0, 40, size.width(), 2), kAccent);
  Wordmark(p, QRectF(16, 4, 160, 32), 18);
  p.setPen(kMutedInk);
  p.setFont(UiFont(12, QFont::DemiBold));
  p.drawText(QRectF(0, 4, size.width() - 16, 32), Qt::AlignRight | Qt::AlignVCenter, title);
  p.setPen(QPen(kPanelEdge, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, size.width() - 1.0, size.height() - 1.0));
  return pixmap;
}

// The status dialog's background carries the labels of its fields, right
// aligned against the fields at x 395 (edits at x 322).
QPixmap DvrStatusBackground() {
  QPixmap pixmap = DialogBackground({597, 595}, "REMOTE DVR STATUS & CALLING SERVICE");
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  Panel(p, QRectF(24, 80, 549, 280), "DVR STATUS");
  Panel(p, QRectF(24, 372, 549, 146), "CALLING SERVICE");
  p.setFont(UiFont(11, QFont::DemiBold));
  p.setPen(kMutedInk);
  struct Label {
    int y;
    const char* text;
  };
  for (const Label& label :
       {Label{107, "Firmware version"}, Label{130, "Model"}, Label{153, "DVR address"}, Label{216, "Disk capacity"},
        Label{239, "Disk 1 (used / total)"}, Label{262, "Disk 2 (used / total)"}, Label{285, "Record mode"},
        Label{308, "Video system"}, Label{331, "Calling service"}}) {
    p.drawText(QRectF(60, label.y - 2, 320, 17), Qt::AlignRight | Qt::AlignVCenter, label.text);
  }
  for (const Label& label : {Label{407, "E-mail"}, Label{432, "Service IP address"}, Label{457, "DVR-ID"},
                             Label{482, "Call service number"}}) {
    p.drawText(QRectF(40, label.y, 270, 19), Qt::AlignRight | Qt::AlignVCenter, label.text);
  }
  p.setPen(QPen(kPanelEdge, 1));
  p.drawLine(QPointF(40, 190), QPointF(557, 190));
  return pixmap;
}

QPixmap LogViewerBackground() {
  QPixmap pixmap = DialogBackground({750, 383}, "LOGFILE VIEWER");
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  Panel(p, QRectF(194, 92, 187, 190), "DAY");
  Panel(p, QRectF(379, 112, 342, 198), "DVR EVENT LOG");
  p.setPen(kMutedInk);
  p.setFont(UiFont(11, QFont::DemiBold));
  p.drawText(QRectF(24, 115, 160, 60), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             "Choose a day;\nthe DVR sends its\nlog a page at a time.");
  return pixmap;
}

// A light check box's icon: a bulb, lit or dark.
QPixmap LightIcon(bool on) {
  QPixmap pixmap = Canvas(QSize(32, 32));
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  if (on) {
    QRadialGradient glow(QPointF(16, 13), 15);
    glow.setColorAt(0, QColor(0xff, 0xe0, 0x70, 200));
    glow.setColorAt(1, QColor(0xff, 0xe0, 0x70, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(QPointF(16, 13), 15, 15);
  }
  p.setPen(QPen(on ? QColor(0xc8, 0x96, 0x10) : QColor(0x5a, 0x64, 0x72), 1.5));
  p.setBrush(on ? QColor(0xff, 0xd2, 0x3c) : QColor(0x2c, 0x35, 0x42));
  p.drawEllipse(QPointF(16, 12), 8, 8);
  p.setBrush(QColor(0x8b, 0x97, 0xa8));
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(12, 20, 8, 6));
  p.setPen(QPen(QColor(0x5a, 0x64, 0x72), 1));
  p.drawLine(QPointF(12, 23), QPointF(20, 23));
  return pixmap;
}

QPixmap MainFrame(bool idle) {
  const QSize size(1024, 768);
  QPixmap pixmap = Canvas(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  Backdrop(p, size);
  // Title bar.
  p.fillRect(QRect(0, 0, 1024, 46), QColor(0x18, 0x1e, 0x27));
  p.fillRect(QRect(0, 46, 1024, 1), kPanelEdge);
  Wordmark(p, QRectF(18, 6, 200, 34), 24);
  p.setPen(kMutedInk);
  p.setFont(UiFont(11, QFont::DemiBold));
  p.drawText(QRectF(150, 6, 400, 34), Qt::AlignLeft | Qt::AlignVCenter, "NETWORK DVR CLIENT");
  // Left rail of mode buttons, the video area, the right column and the lower area.
  Panel(p, QRectF(4, 76, 91, 300));
  Panel(p, QRectF(103, 52, 716, 488));
  Panel(p, QRectF(824, 40, 190, 244), "EVENT LOG");
  Panel(p, QRectF(824, 292, 190, 176), "CAMERAS");
  Panel(p, QRectF(103, 566, 716, 196));
  Panel(p, QRectF(820, 534, 196, 228));
  if (idle) {
    // The idle screen: the product mark in the middle of the video area.
    QRadialGradient glow(QPointF(461, 296), 300);
    glow.setColorAt(0, QColor(0x1e, 0x3a, 0x55));
    glow.setColorAt(1, kPanel);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawRoundedRect(QRectF(104, 53, 714, 486), 6, 6);
    p.setPen(kInk);
    p.setFont(UiFont(64, QFont::Black));
    p.drawText(QRectF(103, 210, 716, 90), Qt::AlignCenter, "KAVIRO");
    p.setPen(kMutedInk);
    p.setFont(UiFont(15, QFont::DemiBold));
    p.drawText(QRectF(103, 300, 716, 30), Qt::AlignCenter, "Choose a viewer on the left to begin");
  } else {
    p.fillRect(QRect(104, 53, 714, 486), QColor(0x05, 0x07, 0x0a));
  }
  return pixmap;
}

QPixmap Splash() {
  const QSize size(480, 280);
  QPixmap pixmap = Canvas(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 480, 280);
  fill.setColorAt(0, QColor(0x10, 0x24, 0x3a));
  fill.setColorAt(1, kBackdrop);
  p.fillRect(QRect(QPoint(0, 0), size), fill);
  p.setPen(kInk);
  p.setFont(UiFont(54, QFont::Black));
  p.drawText(QRectF(0, 70, 480, 80), Qt::AlignCenter, "KAVIRO");
  p.fillRect(QRect(170, 156, 140, 3), kAccent);
  p.setPen(kMutedInk);
  p.setFont(UiFont(13, QFont::DemiBold));
  p.drawText(QRectF(0, 170, 480, 24), Qt::AlignCenter, "Live view  -  Search  -  Playback");
  p.setPen(QPen(kPanelEdge, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, 479, 279));
  return pixmap;
}

QPixmap Selector(QSize size, const char* caption, bool selected) {
  QPixmap pixmap = Canvas(size);
  // Transparent, so that it sits on any background.
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal r = size.height() * 0.32;
  const QPointF centre(size.height() * 0.5, size.height() * 0.5);
  p.setPen(QPen(selected ? kAccent : kMutedInk, 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(centre, r, r);
  if (selected) {
    p.setBrush(kAccent);
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, r * 0.5, r * 0.5);
  }
  p.setPen(selected ? kInk : kMutedInk);
  p.setFont(UiFont(std::max(9, size.height() - 8)));
  p.drawText(QRectF(size.height() + 2, 0, size.width() - size.height() - 2, size.height()),
             Qt::AlignLeft | Qt::AlignVCenter, caption);
  return pixmap;
}

QPixmap ChannelIndicator(bool ptz) {
  QPixmap pixmap = Canvas(QSize(30, 30));
  pixmap.fill(kPanel);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(ptz ? kAccent : kPanelEdge, 1.5));
  p.setBrush(ptz ? QColor(0x17, 0x3c, 0x5c) : QColor(0x1c, 0x22, 0x2b));
  p.drawRoundedRect(QRectF(2, 2, 26, 26), 5, 5);
  p.setPen(ptz ? kInk : kMutedInk);
  p.setFont(UiFont(9));
  p.drawText(QRectF(2, 2, 26, 26), Qt::AlignCenter, ptz ? "PTZ" : "CAM");
  return pixmap;
}

QPixmap SliderChannel(bool lit) {
  QPixmap pixmap = Canvas(QSize(688, 12));
  pixmap.fill(kPanel);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(lit ? kAccent : QColor(0x2c, 0x35, 0x42));
  p.drawRoundedRect(QRectF(0, 4, 688, 4), 2, 2);
  return pixmap;
}

QPixmap SliderThumb() {
  QPixmap pixmap = Canvas(QSize(12, 12));
  pixmap.fill(QColor(0xFF, 0x00, 0xFF));
  QPainter p(&pixmap);
  p.setPen(QPen(QColor(0x8c, 0xd2, 0xff), 1));
  p.setBrush(kInk);
  p.drawEllipse(QRect(1, 1, 9, 9));
  return pixmap;
}

// The play speed: five steps lit up to the index, and the factor; the
// players step from an eighth to twice the normal speed.
QPixmap SpeedPicture(int index, bool player) {
  static const char* kFactors[] = {"x1", "x2", "x4", "x8", "x16"};
  static const char* kPlayerFactors[] = {"x1/8", "x1/4", "x1/2", "x1", "x2"};
  QPixmap pixmap = Canvas(QSize(84, 25));
  pixmap.fill(kPanel);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  for (int step = 0; step < 5; ++step) {
    p.setBrush(step <= index ? kAccent : QColor(0x2c, 0x35, 0x42));
    const qreal height = 5 + step * 3.5;
    p.drawRoundedRect(QRectF(4 + step * 8, 21 - height, 6, height), 1, 1);
  }
  p.setPen(kInk);
  p.setFont(UiFont(12));
  p.drawText(QRectF(44, 0, 40, 25), Qt::AlignCenter, player ? kPlayerFactors[index] : kFactors[index]);
  return pixmap;
}

QPixmap Plain(QSize size) {
  QPixmap pixmap = Canvas(size);
  QPainter p(&pixmap);
  Backdrop(p, size);
  p.setPen(QPen(kAccent, 1));
  p.drawRect(QRect(0, 0, size.width() - 1, size.height() - 1));
  return pixmap;
}

// A DVR slot's state mark (offline 1 .. failed 5): a ring while nothing is
// up or still coming up, a dot once the state is settled, red only for what
// failed.
QPixmap StateMark(int state) {
  QPixmap pixmap(9, 9);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box(1, 1, 7, 7);
  switch (state) {
    case 1:
      p.setPen(QPen(QColor(0x5a, 0x64, 0x72), 1.5));
      p.setBrush(Qt::NoBrush);
      break;
    case 2:
      p.setPen(QPen(kAccent, 1.5));
      p.setBrush(Qt::NoBrush);
      break;
    case 3:
      p.setPen(QPen(kBackdrop, 1));
      p.setBrush(QColor(0x3d, 0xd6, 0x8c));
      break;
    case 4:
      p.setPen(QPen(kBackdrop, 1));
      p.setBrush(QColor(0xff, 0xb0, 0x3d));
      break;
    default:
      p.setPen(QPen(kBackdrop, 1));
      p.setBrush(QColor(0xff, 0x5a, 0x4e));
      break;
  }
  p.drawEllipse(box);
  return pixmap;
}

}  // namespace

QPixmap DrawSkinPicture(int id) {
  if (id >= res::kSlotStateMarks && id < res::kSlotStateMarks + 5) return StateMark(id - res::kSlotStateMarks + 1);
  switch (id) {
    case res::kMainBackground:
      return MainFrame(true);
    case res::kFrame:
      return MainFrame(false);
    case res::kSplash:
      return Splash();
    case res::kSetupBackground:
      return DialogBackground({597, 535}, "SETUP");
    case res::kTimeToTimeBackground:
      return DialogBackground({597, 245}, "TIME TO TIME PLAYBACK");
    case res::kAddressBookBackground:
      return DialogBackground({751, 584}, "ADDRESS BOOK");
    case res::kEthernetEntryBackground:
      return DialogBackground({600, 420}, "ETHERNET ENTRY");
    case res::kTelephoneEntryBackground:
      return DialogBackground({600, 420}, "TELEPHONE ENTRY");
    case res::kDomainEntryBackground:
      return DialogBackground({600, 420}, "DOMAIN NAME ENTRY");
    case res::kDvrStatusBackground:
      return DvrStatusBackground();
    case res::kLogViewerBackground:
      return LogViewerBackground();
    case res::kLightBackground:
      return DialogBackground({440, 200}, "LIGHT CONTROL");
    case res::kLightOff:
      return LightIcon(false);
    case res::kLightOn:
      return LightIcon(true);
    case res::kPtzPresetBackground: {
      QPixmap pixmap = Canvas(QSize(179, 146));
      QPainter p(&pixmap);
      Backdrop(p, pixmap.deviceIndependentSize().toSize());
      p.setPen(QPen(kAccent, 1));
      p.drawRect(QRect(0, 0, 178, 145));
      return pixmap;
    }
    case 243:
      return Selector({273, 19}, "ETHERNET", true);
    case 244:
      return Selector({273, 19}, "ETHERNET", false);
    case 245:
      return Selector({186, 19}, "TELEPHONE", true);
    case 246:
      return Selector({186, 19}, "TELEPHONE", false);
    case 460:
      return Selector({220, 24}, "ETHERNET", true);
    case 461:
      return Selector({220, 24}, "ETHERNET", false);
    case 462:
      return Selector({220, 24}, "TELEPHONE", true);
    case 463:
      return Selector({220, 24}, "TELEPHONE", false);
    case 540:
      return Selector({220, 24}, "DOMAIN NAME", true);
    case 541:
      return Selector({220, 24}, "DOMAIN NAME", false);
    case res::kChannelOff:
      return ChannelIndicator(false);
    case res::kChannelOn:
      return ChannelIndicator(true);
    case res::kSliderChannel:
      return SliderChannel(false);
    case res::kSliderChannelLit:
      return SliderChannel(true);
    case res::kSliderThumb:
      return SliderThumb();
    case res::kWaitBackground:
      return Plain({320, 96});
    case res::kAboutBackground:
      return DialogBackground({420, 230}, "ABOUT");
    case res::kSpeedPicture:
    case res::kSpeedPicture + 1:
    case res::kSpeedPicture + 2:
    case res::kSpeedPicture + 3:
    case res::kSpeedPicture + 4:
      return SpeedPicture(id - res::kSpeedPicture, false);
    case res::kPlayerSpeedPicture:
    case res::kPlayerSpeedPicture + 1:
    case res::kPlayerSpeedPicture + 2:
    case res::kPlayerSpeedPicture + 3:
    case res::kPlayerSpeedPicture + 4:
      return SpeedPicture(id - res::kPlayerSpeedPicture, true);
    case res::kSelectDeviceBackground:
      return DialogBackground({420, 230}, "SELECT DEVICE");
    case res::kFileDownloadBackground:
      return DialogBackground({460, 260}, "FILE DOWNLOAD");
    case res::kPreviewBackground:
      return DialogBackground({634, 780}, "PREVIEW");
    case res::kSaveFileListBackground:
      return DialogBackground({597, 430}, "SAVE FILE LIST");
    default:
      return {};
  }
}

}  // namespace shell::skin
