#include "viewer_control/engine/vistrel_engine.h"

#include <algorithm>

#include <QObject>

#include "platform/owner_thread_call.h"
#include "platform/trace.h"

namespace vistrel {
namespace {

constexpr ChannelList kUnsetList = {
    {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, -1};

bool ValidSession(int index) { return index >= 0 && index < kSessionCount; }

}  // namespace

VistrelEngine::VistrelEngine(IVistrelEvents* events, IFrameSink* frames)
    : events_(events), owner_(std::make_unique<QObject>()) {
  channel_lists_.fill(kUnsetList);
  record_event_types_.fill(0xFF);
  for (int slot = 0; slot < kDisplaySlots; ++slot) decoders_[slot].Bind(slot);
  for (int index = 0; index < kSessionCount; ++index) sessions_[index].Bind(index, this);
  // The last step of the control's creation: the four sessions are bound.
  Trace("6");
  SetFrameSink(frames);
}

VistrelEngine::~VistrelEngine() {
  // The host should have disconnected; threads still running end here without events.
  for (auto& session : sessions_) session.Shutdown();
  for (auto& decoder : decoders_) decoder.Close();
}

void VistrelEngine::SetFrameSink(IFrameSink* frames) {
  for (int slot = 0; slot < kDisplaySlots; ++slot) SetFrameSink(slot, frames);
}

void VistrelEngine::SetFrameSink(int slot, IFrameSink* frames) {
  if (slot < 0 || slot >= kDisplaySlots) return;
  frame_sinks_[slot] = frames;
  decoders_[slot].SetFrameSink(frames);
}

void VistrelEngine::SetLocalTime(std::function<std::tm()> now) {
  for (auto& session : sessions_) session.SetLocalTime(now);
}

ControlResult VistrelEngine::ConnectStreamPort(int nSessionOfNum, const std::string& bstrIPAddress, uint16_t nPort,
                                               const std::string& bstrUserName, const std::string& bstrPassword) {
  if (!ValidSession(nSessionOfNum)) return ControlResult::kRefused;
  std::lock_guard lock(lock_);
  StreamSession& session = sessions_[nSessionOfNum];
  // A session still connecting counts as connected: a second thread on it
  // would share its buffers.
  if (session.running()) return ControlResult::kRefused;
  if (session.Connect(bstrUserName, bstrPassword, bstrIPAddress, nPort) < 0) {
    Trace("Failed to connection stream port.");
    return ControlResult::kFailed;
  }
  return ControlResult::kDone;
}

void VistrelEngine::CloseDecoders(int index) {
  const ChannelList& list = channel_lists_[index];
  for (int i = 0; i < std::clamp(list.count, 0, kDisplaySlots); ++i) {
    const int slot = list.entries[i];
    if (slot >= kDisplaySlots) continue;
    decoders_[slot].Close();
    if (frame_sinks_[slot] != nullptr) frame_sinks_[slot]->ChannelClosed(slot);
  }
}

ControlResult VistrelEngine::DisconnectStreamPort(int nSessionOfNum) {
  if (!ValidSession(nSessionOfNum)) return ControlResult::kRefused;
  std::lock_guard lock(lock_);
  StreamSession& session = sessions_[nSessionOfNum];
  if (!session.running()) return ControlResult::kNotConnected;
  ControlResult result = ControlResult::kDone;
  if (session.Disconnect() < 0) {
    Trace("Failed to disconnection stream port.");
    result = ControlResult::kFailed;
  }
  CloseDecoders(nSessionOfNum);
  ChannelList& list = channel_lists_[nSessionOfNum];
  if (list.count > 0 && list.entries[0] < kDisplaySlots) {
    // Only the slots that exist, however long the list.
    const int first = list.entries[0];
    const int last = std::min(first + list.count, kDisplaySlots);
    std::fill(record_event_types_.begin() + first, record_event_types_.begin() + last, 0xFF);
  }
  list.entries.fill(0);
  list.count = 0;
  return result;
}

ControlResult VistrelEngine::DisconnectAllStreamPort() {
  std::lock_guard lock(lock_);
  ControlResult result = ControlResult::kDone;
  for (int index = 0; index < kSessionCount; ++index) {
    if (!sessions_[index].running()) continue;
    result = ControlResult::kDone;
    if (sessions_[index].Disconnect() < 0) {
      Trace("Failed to disconnection stream port.");
      result = ControlResult::kFailed;
    }
    CloseDecoders(index);
  }
  channel_lists_.fill(kUnsetList);
  return result;
}

ControlResult VistrelEngine::SetStreamSessionInfo(int nSessionOfNum, std::span<const uint8_t> varDstChannel,
                                                  int nChannelOfNum, int nVideoStreamMode) {
  if (!ValidSession(nSessionOfNum) || nChannelOfNum < 1 || nChannelOfNum > kDisplaySlots ||
      varDstChannel.size() < static_cast<size_t>(nChannelOfNum)) {
    return ControlResult::kRefused;
  }
  const auto map = varDstChannel.first(static_cast<size_t>(nChannelOfNum));
  if (std::any_of(map.begin(), map.end(), [](uint8_t slot) { return slot >= kDisplaySlots; })) {
    return ControlResult::kRefused;
  }
  sessions_[nSessionOfNum].SetSessionInfo(map, nChannelOfNum, nVideoStreamMode);
  ChannelList& list = channel_lists_[nSessionOfNum];
  std::copy(map.begin(), map.end(), list.entries.begin());
  list.count = nChannelOfNum;
  video_stream_mode_ = nVideoStreamMode;
  return ControlResult::kDone;
}

ControlResult VistrelEngine::SetAlignChannelMode(int nDstChannel, int nChannelPerRow) {
  if (nDstChannel < 0 || nDstChannel >= kDisplaySlots || nChannelPerRow < 1 || nChannelPerRow > 4) {
    return ControlResult::kRefused;
  }
  {
    std::lock_guard lock(lock_);
    selected_cell_ = -1;
    first_slot_ = nDstChannel;
    channels_per_row_ = nChannelPerRow;
  }
  return ControlResult::kDone;
}

ControlResult VistrelEngine::SetRecordEventType(int nSessionOfNum, std::span<const uint8_t> varRecType) {
  if (!ValidSession(nSessionOfNum)) return ControlResult::kRefused;
  const ChannelList& list = channel_lists_[nSessionOfNum];
  if (list.count <= 0) return ControlResult::kRefused;
  const int first = list.entries[0];
  // The bytes must exist and land inside the sixteen slots.
  if (varRecType.size() < static_cast<size_t>(list.count) || first + list.count > kDisplaySlots) {
    return ControlResult::kRefused;
  }
  std::copy_n(varRecType.begin(), list.count, record_event_types_.begin() + first);
  return ControlResult::kDone;
}

ControlResult VistrelEngine::SetMpeg4Recording(int nSessionOfIndex, int nRecording) {
  if (!ValidSession(nSessionOfIndex)) return ControlResult::kRefused;
  // Nothing recorded is never reported as a recording.
  if (!sessions_[nSessionOfIndex].SetRecording(nRecording != 0, video_stream_mode_ == kStreamLive)) {
    return ControlResult::kFailed;
  }
  return ControlResult::kDone;
}

std::string VistrelEngine::RecordingFailureText(int nSessionOfIndex) {
  if (!ValidSession(nSessionOfIndex)) return {};
  const auto failure = sessions_[nSessionOfIndex].recording_failure();
  return failure ? failure->Text() : std::string();
}

void VistrelEngine::RunOnOwner(IStreamTransport& transport, std::function<void()> handler) {
  platform::CallOnOwnerThread(
      owner_.get(), std::move(handler), [&transport] { return transport.StopRequested(); },
      platform::BegunWork::kLeave);
}

void VistrelEngine::SessionConnected(int index, IStreamTransport& transport) {
  RunOnOwner(transport, [this, index] {
    if (events_ != nullptr) events_->Connect(index, 0);
  });
}

void VistrelEngine::SessionClosed(int index, IStreamTransport& transport) {
  RunOnOwner(transport, [this, index] {
    if (events_ != nullptr) events_->Close(index, 0);
  });
}

void VistrelEngine::SessionAuthenticated(int index, IStreamTransport& transport) {
  RunOnOwner(transport, [this, index] {
    if (events_ != nullptr) events_->AuthenticationResult(index, 0);
  });
}

void VistrelEngine::DecoderStart(int index, const VolHeader& vol, IStreamTransport& transport) {
  RunOnOwner(transport, [this, index, vol] { StartDecoders(index, vol); });
}

void VistrelEngine::RecordingFailed(int index, int error, IStreamTransport& transport) {
  RunOnOwner(transport, [this, index, error] {
    if (events_ != nullptr) events_->RecordingFailed(index, error);
  });
}

void VistrelEngine::StartDecoders(int index, const VolHeader& vol) {
  const ChannelList& list = channel_lists_[index];
  for (int i = 0; i < std::clamp(list.count, 0, kDisplaySlots); ++i) {
    const int slot = list.entries[i];
    if (slot >= kDisplaySlots) break;
    if (decoders_[slot].Open(vol) == 0) break;
    if (decoders_[slot].Start() == 0) break;
  }
}

}  // namespace vistrel
