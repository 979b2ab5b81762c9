// The engine of the viewer control, without widgets: four stream sessions,
// sixteen decoder channels (one per display slot) and the recorders, driven by
// the methods of IVistrelControl (vistrel_control.h).
//
// Threads: the engine belongs to the thread that constructs it (the owner),
// which must run a Qt event loop. Every method is called on the owner thread.
// Each connected session has a receive thread that reassembles, dispatches,
// records and decodes; decoded pictures go to the frame sink on that thread.
// Events (Connect, Close, AuthenticationResult, RecordingFailed) and the
// decoder start of a new VOL header are run on the owner thread while the
// receive thread waits, as the control's window messages were (platform::CallOnOwnerThread; the
// handlers own what they use, so begun ones may be left). A disconnect on the owner
// thread, even from inside an event handler, cancels such a wait, so it ends
// within its 1,000 ms bound and no event of that session is raised after it.
// A frame sink that does not return is the one thing that can hold a receive
// thread longer: the stop then leaves the thread to end on its own, and the
// disconnect's closing of the slot's decoder waits for that picture.
//
// Locks: `lock_` (the control's lock) is held by ConnectStreamPort, the two
// disconnects and while SetAlignChannelMode stores the layout. Order: lock_,
// then a session's locks, then a decoder channel's lock. The owner-thread
// state below (channel lists, record-event types, layout, mode) is written
// only on the owner thread.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "viewer_control/engine/decoder_channel.h"
#include "viewer_control/engine/frame_sink.h"
#include "viewer_control/engine/stream_session.h"
#include "viewer_control/engine/vistrel_control.h"
#include "viewer_control/engine/vistrel_events.h"

class QObject;

namespace vistrel {

inline constexpr int kSessionCount = 4;
inline constexpr int kDisplaySlots = 16;

// The control's copy of one session's channel map.
struct ChannelList {
  std::array<uint8_t, kDisplaySlots> entries;
  int32_t count;
};

class VistrelEngine final : public IVistrelControl, private IStreamSessionHost {
 public:
  explicit VistrelEngine(IVistrelEvents* events = nullptr, IFrameSink* frames = nullptr);
  ~VistrelEngine() override;
  VistrelEngine(const VistrelEngine&) = delete;
  VistrelEngine& operator=(const VistrelEngine&) = delete;

  void SetEventSink(IVistrelEvents* events) { events_ = events; }
  // The sink of every slot, or of one slot.
  void SetFrameSink(IFrameSink* frames);
  void SetFrameSink(int slot, IFrameSink* frames);
  // The clock that names recording folders (tests move it).
  void SetLocalTime(std::function<std::tm()> now);

  // --- IVistrelControl. Sessions outside 0-3, counts outside 1-16 and
  // display slots above 15 are refused.
  ControlResult ConnectStreamPort(int nSessionOfNum, const std::string& bstrIPAddress, uint16_t nPort,
                                  const std::string& bstrUserName, const std::string& bstrPassword) override;
  ControlResult DisconnectStreamPort(int nSessionOfNum) override;
  ControlResult DisconnectAllStreamPort() override;
  ControlResult SetStreamSessionInfo(int nSessionOfNum, std::span<const uint8_t> varDstChannel, int nChannelOfNum,
                                     int nVideoStreamMode) override;
  ControlResult SetAlignChannelMode(int nDstChannel, int nChannelPerRow) override;
  ControlResult SetRecordEventType(int nSessionOfNum, std::span<const uint8_t> varRecType) override;
  // Switching on is refused when no channel's files could be made;
  // RecordingFailureText then says why.
  ControlResult SetMpeg4Recording(int nSessionOfIndex, int nRecording) override;
  // RecordingFailure::Text() of the session's recording, "" while nothing failed.
  std::string RecordingFailureText(int nSessionOfIndex) override;

  // --- State for the renderer, the tools and tests (owner thread).
  DecoderChannel& decoder(int slot) { return decoders_[slot]; }
  StreamSession& session(int index) { return sessions_[index]; }
  const ChannelList& channel_list(int session) const { return channel_lists_[session]; }
  uint8_t record_event_type(int slot) const { return record_event_types_[slot]; }
  int video_stream_mode() const { return video_stream_mode_; }
  int first_slot() const { return first_slot_; }
  int channels_per_row() const { return channels_per_row_; }
  int selected_cell() const { return selected_cell_; }
  void set_selected_cell(int cell) { selected_cell_ = cell; }

 private:
  // IStreamSessionHost, on the receive threads.
  void SessionConnected(int index, IStreamTransport& transport) override;
  void SessionClosed(int index, IStreamTransport& transport) override;
  void SessionAuthenticated(int index, IStreamTransport& transport) override;
  void DecoderStart(int index, const VolHeader& vol, IStreamTransport& transport) override;
  void RecordingFailed(int index, int error, IStreamTransport& transport) override;
  DecoderChannel& Decoder(int slot) override { return decoders_[slot]; }

  // Owner thread.
  void StartDecoders(int index, const VolHeader& vol);
  void CloseDecoders(int index);
  void RunOnOwner(IStreamTransport& transport, std::function<void()> handler);

  IVistrelEvents* events_;
  std::array<IFrameSink*, kDisplaySlots> frame_sinks_{};
  std::unique_ptr<QObject> owner_;  // lives on the owner thread; handlers are queued to it
  std::mutex lock_;

  std::array<ChannelList, kSessionCount> channel_lists_;
  std::array<uint8_t, kDisplaySlots> record_event_types_;
  int video_stream_mode_ = 0;
  int first_slot_ = 0;
  int channels_per_row_ = 3;
  int selected_cell_ = -1;

  std::array<DecoderChannel, kDisplaySlots> decoders_;
  // Last, so that they are destroyed first: their threads use the members above.
  std::array<StreamSession, kSessionCount> sessions_;
};

}  // namespace vistrel
