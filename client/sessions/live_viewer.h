// CLiveViewer: the live mode's logic over the four DVR slots. It owns the four
// live sessions, shares the control's 16 cells among them, keeps each slot's
// keep-alive timer, takes the control's events for the slots they name and
// carries out the disconnect command. Each slot's ReconnectPolicy keeps its
// connection state and tries a dropped DVR again. The layouts and rotation (LiveLayouts), pan/tilt
// (PtzControl), the DVR services and alarms (DvrServices, AlarmPopups) are
// its parts; recording and slot selection are its own.
//
// Threads: everything here runs on the thread this object lives on (the
// owner thread, the user-interface thread in Kaviro), except RunOnOwnerThread
// and PostToOwnerThread, which the sessions' workers use to get there.
// Anything that may close a command socket is posted, never run with a
// wait: the closing thread would otherwise wait for the worker that waits for
// it.
#pragma once

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "client/sessions/alarm_popups.h"
#include "client/sessions/cell_allocator.h"
#include "client/sessions/command_socket.h"
#include "client/sessions/dvr_services.h"
#include "client/sessions/live_layouts.h"
#include "client/sessions/live_session.h"
#include "client/sessions/ptz_control.h"
#include "client/sessions/reconnect_policy.h"
#include "client/sessions/session_ui.h"
#include "viewer_control/engine/vistrel_control.h"
#include "viewer_control/engine/vistrel_events.h"

namespace sessions {

class CLiveViewer : public QObject, public vistrel::IVistrelEvents {
 public:
  CLiveViewer(ISessionUi& ui, vistrel::IVistrelControl* control, Pinger pinger = {}, QObject* parent = nullptr);
  ~CLiveViewer() override;

  CLiveSession& session(int slot) { return *sessions_.at(slot); }
  vistrel::IVistrelControl* control() const { return control_; }
  const CellAllocator& cells() const { return cells_; }
  int selected_slot() const { return selected_slot_; }
  ISessionUi& ui() { return ui_; }
  LiveLayouts& layouts() { return *layouts_; }
  const LiveLayouts& layouts() const { return *layouts_; }
  PtzControl& ptz() { return *ptz_; }
  DvrServices& services() { return *services_; }
  AlarmPopups& alarms() { return *alarms_; }

  // Runs `work` on the owner thread and waits for it (at once when already
  // there); a session's worker gives the wait up once its socket is stopping.
  void RunOnOwnerThread(const std::function<void()>& work);
  // Queues `work` for the owner thread without waiting.
  void PostToOwnerThread(std::function<void()> work);

  void SelectSlot(int slot);
  // The DVR buttons: select, show the slot's grid and log the selection.
  void SelectSlotButton(int slot);
  bool IsActive(int slot) const { return slots_.at(slot).active; }
  int ChannelCount(int slot) const { return slots_.at(slot).channel_count; }
  const std::array<uint8_t, 8>& ChannelFlags(int slot) const { return slots_.at(slot).pan_tilt; }

  // Called by the sessions (owner thread).
  int AssignCells(int slot, int channel_count);
  void ReleaseCells(int slot);
  void SetChannelFlags(int slot, const std::array<uint8_t, 8>& flags);
  bool IsKeepAliveRunning(int slot) const { return sessions_.at(slot)->IsKeepAliveRunning(); }
  int KeepAlivePeriodMs(int slot) const { return sessions_.at(slot)->KeepAlivePeriodMs(); }
  void StreamStarted(int slot);
  void ResetControls();
  bool IsRecording(int slot) const { return slots_.at(slot).recording; }
  void StopRecording(int slot);
  // The record button: flips the selected slot's recording.
  void ToggleRecording();
  // Replies that belong to the DVR services (worker thread); false when
  // none handles them.
  bool DispatchServiceReply(int slot, uint32_t code, std::span<const uint8_t> payload);
  bool DispatchBypassReply(int slot, bool succeeded, uint8_t sub_code, std::span<const uint8_t> data);

  // A connection request for a slot, kept for its reconnects; the result is
  // SetLogonData's.
  int ConnectSlot(int slot, const SlotTarget& target);
  const SlotStatus& SlotStatusOf(int slot) const { return policies_.at(slot)->status(); }
  // The one-click reconnect of a slot that dropped; false when it did not.
  bool ReconnectSlot(int slot);
  // Timers of the reconnect attempts other than Qt's (tests drive them by hand).
  void SetReconnectTimers(const ReconnectTimerFactory& make);
  // The sessions' word that a connection could not be made or a logon was
  // refused (owner thread).
  void SlotConnectFailed(int slot);
  void SlotRefused(int slot);

  // The disconnect command: selects the slot and disconnects it. Only a drop
  // may bring a reconnect.
  void DisconnectSlot(int slot, DisconnectCause cause = DisconnectCause::kOperator);
  // Leaving live mode: every slot at once, recordings off; the slots still
  // connecting are stopped too. Waits 5,000 ms at most for the workers.
  void DisconnectAll();

  // The control's events, each for the slot of its session index (owner
  // thread). A Close ends the slot whose stream was up; an
  // AuthenticationResult counts only for a slot whose stream port connected.
  void Connect(int nSessionOfNum, int nResult) override;
  void Close(int nSessionOfNum, int nResult) override;
  void AuthenticationResult(int nSessionOfNum, int nResult) override;
  // A write of the session's recording failed: the recording goes off and
  // the event log says why.
  void RecordingFailed(int nSessionOfNum, int nResult) override;

 private:
  struct SlotRecord {
    std::array<uint8_t, 8> pan_tilt{};
    int channel_count = 0;
    bool active = false;
    bool recording = false;
    bool awaiting_authentication = false;
  };

  // Resets every session, their workers stopped side by side.
  void ResetSessions();
  void AttemptReconnect(int slot);
  void ShowSlotStatus(int slot, const SlotStatus& status);

  ISessionUi& ui_;
  vistrel::IVistrelControl* control_;
  CellAllocator cells_;
  std::array<SlotRecord, kSlotCount> slots_{};
  std::array<std::unique_ptr<CLiveSession>, kSlotCount> sessions_;
  std::array<std::unique_ptr<ReconnectPolicy>, kSlotCount> policies_;
  int selected_slot_ = 0;
  std::unique_ptr<AlarmPopups> alarms_;  // ended after the sessions' workers, before the sessions
  std::unique_ptr<DvrServices> services_;
  std::unique_ptr<LiveLayouts> layouts_;
  std::unique_ptr<PtzControl> ptz_;
};

}  // namespace sessions
