#include "client/sessions/search_viewer.h"

#include <QTimer>

#include <utility>

#include "client/sessions/owner_call.h"
#include "client/sessions/search_rows.h"
#include "platform/owner_thread_call.h"
#include "platform/result_codes.h"
#include "platform/string_table.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "protocol/payload.h"

namespace sessions {
namespace {

constexpr int kTimeToTimeEventTextId = 209;
constexpr int kLastDayBit = 31;  // a month has at most 31 days

uint32_t MonthDays(uint32_t mask) { return mask & ((uint32_t{1} << kLastDayBit) - 1); }

}  // namespace

CSearchViewer::CSearchViewer(ISearchUi& ui, vistrel::IVistrelControl* control, Pinger pinger, QObject* parent)
    : QObject(parent),
      ui_(ui),
      control_(control),
      session_(std::make_unique<CSearchSession>(*this, ui, std::move(pinger))),
      rotation_(new QTimer(this)),
      alarms_(std::make_unique<AlarmPopups>(ui)) {
  rotation_->setInterval(kRotationPeriodMs);
  connect(rotation_, &QTimer::timeout, this, [this] { RotateOnce(); });
}

// The session's worker may raise alarms until it has ended.
CSearchViewer::~CSearchViewer() {
  session_->Reset();
  alarms_.reset();
}

void CSearchViewer::RunOnOwnerThread(const std::function<void()>& work) { CallOnOwnerThread(this, work); }

void CSearchViewer::PostToOwnerThread(std::function<void()> work) {
  platform::PostToOwnerThread(this, std::move(work));
}

bool CSearchViewer::rotating() const { return rotation_->isActive(); }

void CSearchViewer::StartKeepAlive() { session_->StartKeepAlive(); }

void CSearchViewer::RaiseAlarm(AlarmKind kind, int number) {
  alarms_->Raise(1, kind, number, [this] { session_->StopAlarmOut(); });
}

void CSearchViewer::OnRecordedDays(uint32_t day_mask) {
  const uint32_t days = MonthDays(day_mask);
  for (int i = 0; i < kLastDayBit; ++i) {
    if ((days >> i & 1) != 0) Trace("Record Day list : %d", i + 1);
  }
  ui_.SetBoldDays(days);
  const CalendarDate date = ui_.CalendarCurrentDate();
  remembered_date_ = date;
  session_->RequestMonthInfo(date.year, date.month);
  session_->RequestDayInfo(date.year, date.month, date.day);
}

void CSearchViewer::ChangeCalendarDate(const CalendarDate& date) {
  if (!session_->connected()) return;
  Trace("[SEARCH DVR 0] Month Calendar MCN_SELCHANGE Current Day : %d/%d/%d", date.year, date.month, date.day);
  const bool month_changed =
      !remembered_date_ || remembered_date_->year != date.year || remembered_date_->month != date.month;
  if (month_changed) {
    ui_.ClearBoldDays();
    session_->RequestMonthInfo(date.year, date.month);
    remembered_date_ = date;
  }
  if (month_changed || remembered_date_->day != date.day) {
    ui_.ClearFileList();
    files_.clear();
    session_->RequestDayInfo(date.year, date.month, date.day);
    remembered_date_ = date;
  }
}

void CSearchViewer::OnMonthInfo(uint32_t day_mask) { ui_.SetBoldDays(MonthDays(day_mask)); }

void CSearchViewer::OnDayList(std::span<const protocol::FileRecord> files) {
  ui_.ClearFileList();
  files_.assign(files.begin(), files.end());
  std::vector<FileListRow> rows;
  rows.reserve(files_.size());
  for (const protocol::FileRecord& file : files_) {
    rows.push_back(MakeFileListRow(file));
    const FileListRow& row = rows.back();
    Trace("[SEARCH DVR 0] Days list %d. Time:%s, Event:%s, Size:%s, File Index:%ld", static_cast<int>(rows.size()),
          row.time.c_str(), row.events.c_str(), row.size.c_str(), static_cast<long>(file.index));
  }
  ui_.SetFileListRows(rows);
}

void CSearchViewer::OnPlaybackPosition(int seconds) { ui_.SetPlaybackPosition(seconds); }

const protocol::FileRecord* CSearchViewer::SelectedFile() {
  const std::optional<int> row = ui_.SelectedFileRow();
  if (!row || *row < 0 || static_cast<size_t>(*row) >= files_.size()) {
    ui_.ShowMessage("To select a record file", MessageIcon::kError);
    return nullptr;
  }
  return &files_[static_cast<size_t>(*row)];
}

void CSearchViewer::PlaySelectedFile() {
  const protocol::FileRecord* file = SelectedFile();
  if (file == nullptr) return;
  const protocol::FileRecord chosen = *file;
  const CalendarDate date = remembered_date_.value_or(ui_.CalendarCurrentDate());
  StartPlayback(chosen, MakePlaybackRange(date, chosen, false), StartSeconds(chosen));
  ui_.AddEventLog(kEventColour, "[EVENT] Select reocrd file");
  ui_.AddEventLog(kEventColour, MakeFileListRow(chosen).time);
}

void CSearchViewer::TimeToTimePlayback() {
  const protocol::FileRecord* file = SelectedFile();
  if (file == nullptr) return;
  const protocol::FileRecord chosen = *file;
  if (IsStillRecording(chosen)) {
    ui_.ShowMessage("This function is not available for currently recording  !!!", MessageIcon::kWarning);
    return;
  }
  const CalendarDate date = remembered_date_.value_or(ui_.CalendarCurrentDate());
  PlaybackRange range = MakePlaybackRange(date, chosen, true);
  const std::optional<int> minute = ui_.RunTimeToTimeDialog(range);
  if (!minute) return;
  // The dialog offers the minutes after the start up to the end; anything
  // else would ask the DVR for a stretch outside the file.
  const int first = StartSeconds(chosen) / 60 + 1;
  const int last = EndSeconds(chosen) / 60;
  if (*minute < first || *minute > last) {
    Trace("[SEARCH DVR 0] time to time playback minute %d outside %d-%d; ignored.", *minute, first, last);
    return;
  }
  range[4] = protocol::BcdFromNumber(*minute);
  ui_.AddEventLog(kEventColour, platform::LoadString(kTimeToTimeEventTextId));
  StartPlayback(chosen, range, *minute * 60 + StartSeconds(chosen) % 60);
}

void CSearchViewer::StartPlayback(const protocol::FileRecord& file, const PlaybackRange& range, int start_seconds) {
  speed_index_ = 0;
  ui_.ShowPlaybackSpeed(0);
  if (session_->connected()) {
    StopRotation();
    StopRecording();
    session_->RequestStopRecordStream(protocol::sub::kCloseRecStream, StopKind::kPlayAnother);
  }
  ui_.EnableChannelButtons(0);
  ui_.EnablePlaybackButtons(false);
  ui_.EnablePlaybackPosition(false);
  if (session_->channel_count() == 8) {
    view_ = kViewAll;
    SetAlign(0, 3);
  } else if (session_->channel_count() == 4) {
    view_ = kViewQuad1to4;
    SetAlign(0, 2);
  }
  ui_.ShowSelectedView(view_);
  direction_ = PlaybackDirection::kStopped;
  ui_.ShowPlaybackDirection(direction_);
  session_->DisconnectViewerControl();
  playing_still_recording_ = IsStillRecording(file);
  session_->RequestPlayback(file.index, range);
  start_seconds_ = start_seconds;
  end_seconds_ = EndSeconds(file);
  ui_.ShowStatusBar(StatusBarOf(start_seconds_, end_seconds_));
}

void CSearchViewer::DownloadSelectedFile() {
  const protocol::FileRecord* file = SelectedFile();
  if (file == nullptr) return;
  const CalendarDate date = ui_.CalendarCurrentDate();
  const CSearchSession::Credentials login = session_->credentials();
  FileDownloadRecord record;
  record.user_name = login.user_name;
  record.password = login.password;
  record.month = protocol::BcdFromNumber(date.month);
  record.day = protocol::BcdFromNumber(date.day);
  record.year = protocol::BcdFromNumber(date.year % 100);
  record.hour = file->hour;
  record.start_minute = file->start_minute;
  record.start_second = file->start_second;
  record.end_minute = file->end_minute;
  record.end_second = file->end_second;
  record.address = login.address;
  record.file_index = file->index;
  record.port = static_cast<uint16_t>(session_->info().port + 2);
  ui_.AddEventLog(kEventColour, "[EVENT] Record file download");
  ui_.OpenFileDownloadDialog(record);
}

void CSearchViewer::Disconnect() { session_->UserDisconnect(); }

void CSearchViewer::ResetControls() {
  StopRotation();
  StopRecording();
  ui_.ResetConnectionControls();
  ui_.EnableChannelButtons(0);
  ui_.EnablePlaybackButtons(false);
  ui_.EnablePlaybackPosition(false);
  ui_.ShowStatusBar(std::nullopt);
  view_ = kViewAll;
  ui_.ShowSelectedView(view_);
  speed_index_ = 0;
  ui_.ShowPlaybackSpeed(0);
  start_seconds_ = 0;
  end_seconds_ = 0;
  direction_ = PlaybackDirection::kStopped;
  ui_.ShowPlaybackDirection(direction_);
  playing_still_recording_ = false;
  ui_.ClearBoldDays();
  ui_.ClearFileList();
  files_.clear();
  remembered_date_.reset();
}

void CSearchViewer::Connect(int nSessionOfNum, int) {
  if (nSessionOfNum != session_->index() || !session_->connected()) return;
  ui_.EnableChannelButtons(session_->channel_count() >= 8 ? 8 : 4);
  ui_.EnablePlaybackButtons(true);
  ui_.EnablePlaybackPosition(!playing_still_recording_);
  // The selected file waits, stopped, for a playback command.
  Stop();
  session_->MarkStreamConnected();
  ui_.ClearPasswordField();
  ui_.AddEventLog(kEventColour, "[EVENT] Record Stream Start");
}

void CSearchViewer::Close(int nSessionOfNum, int) {
  // Only a stream that was up ends the session: the close of a stream the
  // viewer let go itself (another file chosen) is no loss.
  if (nSessionOfNum != session_->index() || !session_->stream_connected()) return;
  session_->UserDisconnect();
  ui_.AddEventLog(kEventColour, "[EVENT] Record Stream Stop");
}

void CSearchViewer::AuthenticationResult(int, int) {}

void CSearchViewer::RecordingFailed(int nSessionOfNum, int) {
  if (nSessionOfNum != session_->index() || !recording_) return;
  const std::string why = control_ != nullptr ? control_->RecordingFailureText(nSessionOfNum) : std::string();
  StopRecording();
  ui_.AddEventLog(kAlertColour, "[ALERT] DVR1, Recording stopped: " + why);
}

}  // namespace sessions
