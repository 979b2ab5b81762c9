// The skin's artwork, addressed by resource number as the bitmaps of the
// resource file were. Every picture is drawn once with QPainter at its fixed
// size in window units and kept for the life of the process. On a scaled
// display (the window's "Scale" setting) it is drawn with that many device
// pixels per unit, so that it stays sharp instead of being stretched.
//
// Threads: user-interface thread only (QPixmap).
#pragma once

#include <QPixmap>
#include <QRectF>
#include <QSize>

class QPainter;

namespace shell::skin {

// Faces of a button set, in the order a CHoverButton takes them.
struct FaceIds {
  int normal;
  int pressed;
  int hover;
  int disabled;
};

// Resource numbers of the pictures that have no number of their own in the
// resource file (the main window's buttons, panels and pictures).
namespace res {
inline constexpr int kMainBackground = 156;
inline constexpr int kSplash = 407;
inline constexpr int kSetupBackground = 434;
inline constexpr int kAddressBookBackground = 458;
inline constexpr int kEthernetEntryBackground = 480;
inline constexpr int kTelephoneEntryBackground = 481;
inline constexpr int kDomainEntryBackground = 542;
inline constexpr int kPtzPresetBackground = 538;
inline constexpr int kDvrStatusBackground = 485;
inline constexpr int kLogViewerBackground = 492;
inline constexpr int kLightOff = 544;  // icon of a light check box, unchecked
inline constexpr int kLightOn = 545;
inline constexpr int kTimeToTimeBackground = 515;
inline constexpr int kFrame = 3000;          // the main window outside Idle
inline constexpr int kChannelOff = 3001;     // channel indicator without PTZ camera
inline constexpr int kChannelOn = 3002;      // channel indicator with a PTZ camera
inline constexpr int kSliderChannel = 3003;  // 688 x 12
inline constexpr int kSliderChannelLit = 3004;
inline constexpr int kSliderThumb = 3005;  // 12 x 12, magenta key colour
inline constexpr int kVideoIdle = 3006;    // the video area before any stream
inline constexpr int kWaitBackground = 3007;
inline constexpr int kAboutBackground = 3008;
inline constexpr int kSelectDeviceBackground = 3009;
inline constexpr int kSpeedPicture = 3010;  // 84 x 25, then one per speed index 0-4
inline constexpr int kLightBackground = 3015;
inline constexpr int kFileDownloadBackground = 3020;
inline constexpr int kSaveFileListBackground = 3021;
inline constexpr int kPreviewBackground = 3016;
inline constexpr int kStartFaces = 3022;          // normal, hover, pressed, disabled
inline constexpr int kPlayerSpeedPicture = 3030;  // the players' steps, x1/8 .. x2, as above
inline constexpr int kSlotStateMarks = 3040;      // 9 x 9, one per slot state from offline (1) on
inline constexpr int kFirstFaceSet = 3100;        // then four numbers per set
}  // namespace res

// The picture of a resource number; a null pixmap for an unknown number.
// Its size in window units is deviceIndependentSize().
QPixmap Pixmap(int id);

// An empty picture of `size` window units at the display's pixel ratio, for
// painting in window units.
QPixmap Canvas(QSize size);

// The face set of a main-window button (by its control ID), or {0,0,0,0}.
FaceIds FacesOfControl(int control_id);

// The program's icon, the live-view camera on a skin button, drawn to fill
// `box` at any size (the desktop icons are rendered from it at build time).
void DrawProgramIcon(QPainter& painter, const QRectF& box);

// The key colour of transparent pictures.
inline constexpr unsigned kKeyColour = 0xFF00FF;

}  // namespace shell::skin
