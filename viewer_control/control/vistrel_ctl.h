// VistrelCtl, the viewer control: a widget that wraps the engine (four stream
// sessions, sixteen decoder channels, recorders) and shows its pictures in
// the video window, in the YUV or RGB mode chosen by the video device
// analysis. The project's own hosts call it as IVistrelControl (typed
// results) and receive its events, session index included, through
// SetEventSink. The automation surface keeps the names, arguments and results
// of the dispatch interface: the short* methods, Invoke (a method by its
// dispatch identifier, 1-7) and the five events as signals, where Close and
// AuthenticationResult carry (0, 0) as automation hosts know them.
//
// Threads: the control belongs to the user-interface thread that made it;
// every method is called there and every event and signal is raised there
// (the engine's receive threads wait while their handlers run). The video
// window's own locking is described in video_view.h.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include <QImage>
#include <QString>
#include <QVariantList>
#include <QWidget>

#include "viewer_control/engine/vistrel_engine.h"

class QMenu;

namespace vistrel {

class VideoView;
class EventRelay;

// Dispatch identifiers of the methods, in the order of the interface.
enum class DispId : int {
  kConnectStreamPort = 1,
  kDisconnectStreamPort = 2,
  kDisconnectAllStreamPort = 3,
  kSetStreamSessionInfo = 4,
  kSetAlignChannelMode = 5,
  kSetRecordEventType = 6,
  kSetMpeg4Recording = 7,
};

class VistrelCtl : public QWidget, public IVistrelControl {
  Q_OBJECT

 public:
  explicit VistrelCtl(QWidget* parent = nullptr);
  ~VistrelCtl() override;

  // --- IVistrelControl, for the project's own hosts.
  ControlResult ConnectStreamPort(int nSessionOfNum, const std::string& bstrIPAddress, uint16_t nPort,
                                  const std::string& bstrUserName, const std::string& bstrPassword) override;
  ControlResult DisconnectStreamPort(int nSessionOfNum) override;
  ControlResult DisconnectAllStreamPort() override;
  ControlResult SetStreamSessionInfo(int nSessionOfNum, std::span<const uint8_t> varDstChannel, int nChannelOfNum,
                                     int nVideoStreamMode) override;
  ControlResult SetAlignChannelMode(int nDstChannel, int nChannelPerRow) override;
  ControlResult SetRecordEventType(int nSessionOfNum, std::span<const uint8_t> varRecType) override;
  ControlResult SetMpeg4Recording(int nSessionOfIndex, int nRecording) override;
  std::string RecordingFailureText(int nSessionOfIndex) override;
  // The project's host of the events (session index on every one), called
  // before the signals are emitted; null for none.
  void SetEventSink(IVistrelEvents* host) { host_ = host; }

  // --- The automation methods; pVal may be null. Strings are converted to
  // the local code page. Sessions outside 0-3, counts outside 1-16 and
  // display slots above 15 fail with E_FAIL and pVal = 0.
  int32_t ConnectStreamPort(int nSessionOfNum, const QString& bstrIPAddress, short nPort, const QString& bstrUserName,
                            const QString& bstrPassword, short* pVal);
  int32_t DisconnectStreamPort(int nSessionOfNum, short* pVal);
  int32_t DisconnectAllStreamPort(short* pVal);
  // Entry k of `varDstChannel` is the display slot of stream channel k + 1.
  int32_t SetStreamSessionInfo(int nSessionOfNum, std::span<const uint8_t> varDstChannel, int nChannelOfNum,
                               int nVideoStreamMode, short* pVal);
  int32_t SetAlignChannelMode(int nDstChannel, int nChannelPerRow, short* pVal);
  // One byte per channel of the session.
  int32_t SetRecordEventType(int nSessionOfNum, std::span<const uint8_t> varRecType, short* pVal);
  int32_t SetMpeg4Recording(int nSessionOfIndex, int nRecording, short* pVal);

  // Calls a method by dispatch identifier with its arguments in order
  // (integers, QString for strings, QByteArray for byte arrays). An unknown
  // identifier or a wrong argument list fails with E_FAIL and pVal = 0.
  int32_t Invoke(int dispid, const QVariantList& args, short* pVal);

  // --- For the host and tests.
  // The engine, for the tools and tests to look at its state.
  VistrelEngine& engine() { return *engine_; }
  // 1 when the YUV mode is used, 0 for the RGB mode.
  int display_mode() const { return display_mode_; }
  // The video window and an image of what it shows.
  QWidget* video_window() const;
  QImage CaptureVideo();
  // The channel menu for a point of the video window, or null outside every
  // cell; its two actions are disabled when the slot's decoder is closed.
  std::unique_ptr<QMenu> ChannelMenu(const QPoint& point);
  // The slot (0-15) the last menu was made for.
  int menu_slot() const { return menu_slot_; }
  // Double-click selection at a point of the video window.
  void ToggleSelection(const QPoint& point);

 signals:
  void Connect(int nSessionOfNum, int nResult);
  void Receive(int nSessionOfNum, int nResult);
  void Close(int nSessionOfNum, int nResult);
  void AuthenticationResult(int nSessionOfNum, int nResult);
  void AnalysisVideoDeviceCard(int nPerformance, int nResult);
  // A write of a session's recording failed: (session index, errno); the
  // engine's session(i).recording_failure() names the file.
  void RecordingFailed(int nSessionOfNum, int nResult);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class EventRelay;
  void PushLayout();
  void OpenChannelSetting();
  void OpenAdjustColor();

  int display_mode_ = 0;
  int menu_slot_ = -1;
  IVistrelEvents* host_ = nullptr;
  VideoView* view_ = nullptr;  // child widget
  std::unique_ptr<EventRelay> relay_;
  std::unique_ptr<VistrelEngine> engine_;  // destroyed before the view: its threads draw into it
};

}  // namespace vistrel
