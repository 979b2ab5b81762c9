#include "client/sessions/ptz_control.h"

#include "client/sessions/live_viewer.h"
#include "platform/result_codes.h"
#include "platform/string_table.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"

namespace sessions {
namespace {

constexpr int kFocusText = 194;
constexpr int kZoomText = 195;
constexpr int kMoveText = 196;
constexpr int kPresetCount = 8;
constexpr uint8_t kNoAction = 0xFF;
constexpr uint8_t kMoveStop = 0;
constexpr uint8_t kLensStop = 9;

const char* const kDownTraces[] = {"Top button down", "Bottom button down", "Left button down", "Right button down"};
const char* const kUpTraces[] = {"Top button up", "Bottom button up", "Left button up", "Right button up"};

// The action byte of an arrow in a mode; zoom acts on up and down only,
// focus on left and right only.
uint8_t ActionOf(PanTiltMode mode, Arrow arrow) {
  switch (mode) {
    case PanTiltMode::kMove:
      return static_cast<uint8_t>(static_cast<int>(arrow) + 1);
    case PanTiltMode::kZoom:
      return arrow == Arrow::kUp ? 6 : arrow == Arrow::kDown ? 5 : kNoAction;
    case PanTiltMode::kFocus:
      return arrow == Arrow::kLeft ? 8 : arrow == Arrow::kRight ? 7 : kNoAction;
  }
  return kNoAction;
}

}  // namespace

PtzControl::PtzControl(CLiveViewer& viewer) : viewer_(viewer) {}

void PtzControl::SetMode(PanTiltMode mode) {
  mode_ = mode;
  switch (mode) {
    case PanTiltMode::kMove:
      viewer_.ui().EnablePanTiltArrows(kArrowUp | kArrowDown | kArrowLeft | kArrowRight);
      viewer_.ui().AddEventLog(kEventColour, platform::LoadString(kMoveText));
      break;
    case PanTiltMode::kZoom:
      viewer_.ui().EnablePanTiltArrows(kArrowUp | kArrowDown);
      viewer_.ui().AddEventLog(kEventColour, platform::LoadString(kZoomText));
      break;
    case PanTiltMode::kFocus:
      viewer_.ui().EnablePanTiltArrows(kArrowLeft | kArrowRight);
      viewer_.ui().AddEventLog(kEventColour, platform::LoadString(kFocusText));
      break;
  }
}

int PtzControl::Camera() const {
  const int slot = viewer_.selected_slot();
  if (!viewer_.IsActive(slot)) return 0;
  const auto& flags = viewer_.ChannelFlags(slot);
  const int channels = viewer_.ChannelCount(slot);
  const LiveLayouts& layouts = viewer_.layouts();
  if (layouts.layout() == Layout::k1x1) {
    const int camera = layouts.camera_1x1();
    const auto owner = viewer_.cells().OwnerOf(layouts.start_cell(Layout::k1x1));
    if (camera < 1 || !owner || owner->first != slot) return 0;
    return flags[camera - 1] != 0 ? camera : 0;
  }
  const bool single_dvr_layout =
      (layouts.layout() == Layout::k2x2 && channels == 4) || (layouts.layout() == Layout::k3x3 && channels == 8);
  if (!single_dvr_layout) return 0;
  int camera = 0;
  for (int channel = 1; channel <= channels; ++channel) {
    if (flags[channel - 1] == 0) continue;
    if (camera != 0) return 0;  // more than one: which to drive is unclear
    camera = channel;
  }
  return camera;
}

int PtzControl::Send(uint8_t camera, uint8_t action) {
  const int slot = viewer_.selected_slot();
  const uint8_t payload[3] = {protocol::sub::kPanTilt, camera, action};
  return viewer_.session(slot).SendPacket(protocol::cmd::REQ_PANTILT, payload) == 0 ? 0 : E_FAIL;
}

int PtzControl::ArrowDown(Arrow arrow) {
  const int slot = viewer_.selected_slot();
  if (!viewer_.IsActive(slot) || held_) return 1;
  const uint8_t action = ActionOf(mode_, arrow);
  if (action == kNoAction) return 1;
  held_ = true;
  Trace("%s", kDownTraces[static_cast<int>(arrow)]);
  const int camera = Camera();
  if (camera == 0) return 1;
  if (Send(static_cast<uint8_t>(camera), action) != 0) {
    Trace("[LIVE DVR %d] Pantilt move request failed...", slot);
    return E_FAIL;
  }
  Trace("[LIVE DVR %d] Request pantilt moving.", slot);
  return 0;
}

int PtzControl::ArrowUp(Arrow arrow) {
  const int slot = viewer_.selected_slot();
  if (!held_) return 1;
  held_ = false;
  if (!viewer_.IsActive(slot) || ActionOf(mode_, arrow) == kNoAction) return 1;
  Trace("%s", kUpTraces[static_cast<int>(arrow)]);
  const int camera = Camera();
  if (camera == 0) return 1;
  if (Send(static_cast<uint8_t>(camera), mode_ == PanTiltMode::kMove ? kMoveStop : kLensStop) != 0) {
    Trace("[LIVE DVR %d] Pantilt move request failed...", slot);
    return E_FAIL;
  }
  Trace("[LIVE DVR %d] Request pantilt moving.", slot);
  return 0;
}

int PtzControl::Preset(int preset, uint8_t action) {
  const int slot = viewer_.selected_slot();
  if (preset < 1 || preset > kPresetCount || !viewer_.IsActive(slot)) return 1;
  const int camera = Camera();
  if (camera == 0) return 1;
  if (Send(static_cast<uint8_t>(camera | (preset * 16)), action) != 0) {
    Trace("[LIVE DVR %d] Pantilt preset run request failed...", slot);
    return E_FAIL;
  }
  return 0;
}

int PtzControl::OnPresetMessage(int button_id, int command) {
  const int preset = button_id - kFirstPresetButton + 1;
  if (command == kPresetGoCommand) return Preset(preset, kPresetGo);
  if (command == kPresetStoreCommand) return Preset(preset, kPresetStore);
  return 1;
}

}  // namespace sessions
