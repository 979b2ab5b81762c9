// The control IDs of the main window's buttons, panels and pictures. The
// numbers are fixed: the skin's faces, the tooltips' order and the viewers'
// commands are keyed by them. Dialogs keep their own IDs beside their code.
#pragma once

#include <optional>

namespace shell {

enum class ControlId : int {
  // The sixteen camera buttons, created at run time.
  kCamera1 = 106,
  kCamera16 = 121,

  // Mode buttons and the window's own buttons.
  kLiveMode = 1000,
  kSearchMode = 1001,
  kLocalMode = 1002,
  kRemovableMode = 1003,
  kHelp = 1004,
  kMinimize = 1005,
  kClose = 1006,
  kTurnOff = 1007,
  kPrint = 1008,
  kCapture = 1009,
  kSetup = 1010,

  // DVR session selector.
  kDvr1 = 1040,
  kDvr4 = 1043,

  // Connect panel and logon prompt.
  kTelephoneConnect = 1048,
  kEthernetConnect = 1049,
  kTelephoneBook = 1051,
  kEthernetBook = 1052,
  kLogonOk = 1059,
  kReconnect = 1290,  // the one-click reconnect of a dropped DVR slot

  // DVR panel.
  kDvrStatus = 1063,
  kLogFile = 1064,
  kPtzPreset = 1065,
  kAddressBook = 1066,
  kDisconnect = 1067,
  kLight = 1252,

  // Playback group, record and play speed.
  kFastReverse = 1079,
  kReversePlay = 1080,
  kFrameBack = 1081,
  kStop = 1082,
  kFrameForward = 1083,
  kPlay = 1084,
  kFastForward = 1085,
  kSpeedDown = 1086,
  kSpeedUp = 1087,
  kRecord = 1088,

  // Channel panel: the layout cross, its PTZ view and the PTZ functions.
  kLayout1Ch = 1095,
  kLayout4Ch = 1096,
  kLayout8Ch = 1097,
  kLayout16Ch = 1098,
  kPtz = 1099,
  kArrowUp = 1100,
  kArrowLeft = 1101,
  kArrowRight = 1102,
  kArrowDown = 1103,
  kChannels = 1104,
  kPanTilt = 1106,
  kZoom = 1107,
  kFocus = 1108,
  kRotation = 1124,

  // File panel.
  kMonthCalendar = 1110,  // its selection changed
  kFileList = 1111,
  kFileSelect = 1112,
  kTimeSelect = 1113,
  kDownload = 1114,

  kPositionSlider = 1186,
};

constexpr int ToInt(ControlId id) { return static_cast<int>(id); }

constexpr bool InRange(ControlId id, ControlId first, ControlId last) {
  return ToInt(id) >= ToInt(first) && ToInt(id) <= ToInt(last);
}

// The camera button of display cell 0-15, and back.
constexpr ControlId CameraButton(int cell) { return static_cast<ControlId>(ToInt(ControlId::kCamera1) + cell); }
constexpr std::optional<int> CellOfCamera(ControlId id) {
  if (!InRange(id, ControlId::kCamera1, ControlId::kCamera16)) return std::nullopt;
  return ToInt(id) - ToInt(ControlId::kCamera1);
}

// The selector button of DVR slot 0-3, and back.
constexpr ControlId DvrButton(int slot) { return static_cast<ControlId>(ToInt(ControlId::kDvr1) + slot); }
constexpr std::optional<int> SlotOfDvrButton(ControlId id) {
  if (!InRange(id, ControlId::kDvr1, ControlId::kDvr4)) return std::nullopt;
  return ToInt(id) - ToInt(ControlId::kDvr1);
}

}  // namespace shell
