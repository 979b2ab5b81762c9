#include "client/sessions/live_layouts.h"

#include <QTimer>

#include "client/sessions/live_viewer.h"
#include "platform/result_codes.h"
#include "platform/string_table.h"
#include "platform/trace.h"

namespace sessions {
namespace {

constexpr int k4x4Text = 187;
constexpr int k3x3Text = 188;
constexpr int k2x2Text = 189;
constexpr int kChannel1x1Text = 295;
constexpr int k3x3SearchCells = 8;
constexpr uint8_t kFirstFour = 0x0F;
constexpr uint8_t kLastFour = 0xF0;
constexpr uint8_t kAllEight = 0xFF;

uint8_t AllChannels(int channel_count) { return channel_count == 8 ? kAllEight : kFirstFour; }

}  // namespace

LiveLayouts::LiveLayouts(CLiveViewer& viewer) : viewer_(viewer), rotation_(new QTimer(&viewer)) {
  rotation_->setInterval(kRotationPeriodMs);
  QObject::connect(rotation_, &QTimer::timeout, &viewer, [this] { Tick(); });
}

LiveLayouts::~LiveLayouts() { rotation_->stop(); }

int LiveLayouts::start_cell(Layout layout) const {
  switch (layout) {
    case Layout::k1x1:
      return start_1x1_;
    case Layout::k2x2:
      return start_2x2_;
    case Layout::k3x3:
      return start_3x3_;
    case Layout::k4x4:
      return 0;
  }
  return 0;
}

bool LiveLayouts::rotating() const { return rotation_->isActive(); }

void LiveLayouts::set_rotation_period_ms(int period_ms) { rotation_->setInterval(period_ms); }

int LiveLayouts::Align1x1(int cell) {
  StopRotation();
  return Apply1x1(cell);
}

int LiveLayouts::Align2x2(int cell) {
  StopRotation();
  return Apply2x2(cell);
}

int LiveLayouts::Align3x3(int cell) {
  StopRotation();
  return Apply3x3(cell);
}

int LiveLayouts::Align4x4() {
  StopRotation();
  return Apply4x4();
}

bool LiveLayouts::CallControl(int slot, int start_cell, Layout layout) {
  vistrel::IVistrelControl* control = viewer_.control();
  if (control == nullptr ||
      control->SetAlignChannelMode(start_cell, static_cast<int>(layout)) != vistrel::ControlResult::kDone) {
    Trace("[LIVE DVR %d] vistrel control change channel align mode failed.", slot);
    return false;
  }
  return true;
}

void LiveLayouts::SendMask(int slot, uint8_t mask) { viewer_.session(slot).SendChannelChange(mask); }

int LiveLayouts::Apply1x1(int cell) {
  const auto owner = viewer_.cells().OwnerOf(cell);
  if (!owner) return E_FAIL;
  const auto [slot, position] = *owner;
  viewer_.SelectSlot(slot);
  layout_ = Layout::k1x1;
  start_1x1_ = cell;
  camera_1x1_ = position + 1;
  viewer_.ui().ShowLayoutCells(cell, 1);
  if (!CallControl(slot, cell, Layout::k1x1)) return E_FAIL;
  Trace("[LIVE DVR %d] 1x1 Align mode, Ch %d", slot, position);
  SendMask(slot, static_cast<uint8_t>(1u << position));
  viewer_.ui().AddEventLog(kEventColour, platform::FormatString(kChannel1x1Text, cell + 1));
  return 0;
}

int LiveLayouts::Apply2x2(int cell) {
  const auto owner = viewer_.cells().OwnerOf(cell);
  if (!owner) return E_FAIL;
  const auto [slot, position] = *owner;
  const int channels = viewer_.ChannelCount(slot);
  // An 8-channel DVR shows its channels 1-4 or 5-8, nothing in between.
  if (channels == 8 && position != 0 && position != 4) return E_FAIL;
  viewer_.SelectSlot(slot);
  layout_ = Layout::k2x2;
  start_2x2_ = cell;
  viewer_.ui().ShowLayoutCells(cell, 4);
  if (!CallControl(slot, cell, Layout::k2x2)) return E_FAIL;
  Trace("[LIVE DVR %d] 2x2 Align mode", slot);
  SendMask(slot, channels == 8 && position == 4 ? kLastFour : kFirstFour);
  viewer_.ui().AddEventLog(kEventColour, platform::LoadString(k2x2Text));
  return 0;
}

int LiveLayouts::Apply3x3(int cell) {
  int start = -1;
  for (int candidate = cell; candidate < cell + k3x3SearchCells && candidate < kCellCount; ++candidate) {
    if (viewer_.cells().IsOccupied(candidate)) {
      start = candidate;
      break;
    }
  }
  if (start < 0) {
    start_3x3_ = cell > 7 ? 0 : 8;
    return E_FAIL;
  }
  const auto [slot, position] = *viewer_.cells().OwnerOf(start);
  viewer_.SelectSlot(slot);
  layout_ = Layout::k3x3;
  start_3x3_ = start;
  viewer_.ui().ShowLayoutCells(start, 8);
  if (!CallControl(slot, start, Layout::k3x3)) return E_FAIL;
  Trace("Dest channel : %d", start);
  Trace("[LIVE DVR %d] 3x3 Align mode", slot);
  const int channels = viewer_.ChannelCount(slot);
  SendMask(slot, AllChannels(channels));
  // A 4-channel DVR leaves room for the next slot's channels in the grid.
  const int next = slot + 1;
  if (channels == 4 && next < kSlotCount && viewer_.session(next).connected() && viewer_.ChannelCount(next) > 0) {
    SendMask(next, AllChannels(viewer_.ChannelCount(next)));
  }
  viewer_.ui().AddEventLog(kEventColour, platform::LoadString(k3x3Text));
  return 0;
}

int LiveLayouts::Apply4x4() {
  if (viewer_.cells().total() == 0) return E_FAIL;
  layout_ = Layout::k4x4;
  viewer_.ui().ShowLayoutCells(0, kCellCount);
  if (!CallControl(0, 0, Layout::k4x4)) return E_FAIL;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (viewer_.IsActive(slot)) SendMask(slot, AllChannels(viewer_.ChannelCount(slot)));
  }
  viewer_.ui().AddEventLog(kEventColour, platform::LoadString(k4x4Text));
  return 0;
}

void LiveLayouts::ShowSlot(int slot) {
  const auto& cells = viewer_.cells().CellsOf(slot);
  if (cells.empty()) return;
  const Layout layout = viewer_.ChannelCount(slot) == 8 ? Layout::k3x3 : Layout::k2x2;
  const int first = cells.front();
  layout_ = layout;
  (layout == Layout::k3x3 ? start_3x3_ : start_2x2_) = first;
  Trace("Active Channel: start channel %d, Channel of row %d", first, static_cast<int>(layout));
  viewer_.ui().ShowLayoutCells(first, layout == Layout::k3x3 ? 8 : 4);
  vistrel::IVistrelControl* control = viewer_.control();
  if (control != nullptr) control->SetAlignChannelMode(first, static_cast<int>(layout));
}

void LiveLayouts::ToggleRotation() {
  if (rotating()) {
    StopRotation();
    return;
  }
  const int slot = viewer_.selected_slot();
  if (!viewer_.IsActive(slot)) return;
  SendMask(slot, kAllEight);
  rotation_->start();
  Trace("[LIVE DVR 0] Channel Rotation Start !!!");
  viewer_.ui().ShowRotation(true);
}

void LiveLayouts::StopRotation() {
  if (!rotating()) return;
  rotation_->stop();
  Trace("[LIVE DVR 0] Channel Rotation Stop !!!");
  viewer_.ui().ShowRotation(false);
}

void LiveLayouts::Tick() {
  const CellAllocator& cells = viewer_.cells();
  switch (layout_) {
    case Layout::k1x1:
      for (int step = 1; step <= kCellCount; ++step) {
        const int cell = (start_1x1_ + step) % kCellCount;
        if (cells.IsOccupied(cell)) {
          Apply1x1(cell);
          return;
        }
      }
      return;
    case Layout::k2x2: {
      int start = start_2x2_;
      for (int step = 0; step < kCellCount / 4; ++step) {
        start = start >= 12 ? 0 : start + 4;
        if (cells.IsOccupied(start)) {
          Apply2x2(start);
          return;
        }
      }
      return;
    }
    case Layout::k3x3:
      if (start_3x3_ <= 7 && (cells.IsOccupied(8) || cells.IsOccupied(12))) {
        Apply3x3(8);
      } else if (start_3x3_ >= 8 && (cells.IsOccupied(0) || cells.IsOccupied(4))) {
        Apply3x3(0);
      }
      return;
    case Layout::k4x4:
      StopRotation();
      return;
  }
}

}  // namespace sessions
