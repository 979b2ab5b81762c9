#include "client/shell/removable_player.h"

#include <QByteArray>
#include <QMenu>
#include <cstdlib>

#include "client/sessions/session_ui.h"
#include "client/shell/export_progress.h"
#include "client/shell/search_widgets.h"
#include "client/shell/select_device_dialog.h"
#include "client/shell/shell_window.h"
#include "client/shell/time_to_time_dialog.h"
#include "platform/trace.h"

namespace shell {
namespace {

using enum ControlId;

constexpr PlayerDispIds kRemovableIds{.open = 1,
                                      .forward = 3,
                                      .fast_forward = 4,
                                      .reverse = 5,
                                      .fast_reverse = 6,
                                      .stop = 9,
                                      .record = 10,
                                      .frame_forward = 8,
                                      .frame_back = 7,
                                      .layout = 13,
                                      .reset = 11,
                                      .speed = 14};
constexpr int kOpenAtMinute = 2;
constexpr int kJump = 12;
constexpr PlayerTexts kRemovableTexts{"[REMOVABLE PLAYER]", "[REMOVABLEPLAYER]",
                                      "[REMOVABLE PLAYER] RemovablePlayCtl is destroy !!!"};

uint8_t Bcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | (value % 10)); }

// Two digits of the file name text ("14:05:00/14:59:59") from `at`.
int Digits(const std::string& name, size_t at) {
  if (name.size() < at + 2) return 0;
  return (name[at] - '0') * 10 + (name[at + 1] - '0');
}

}  // namespace

CRemovablePlayer::CRemovablePlayer(IShellWindow& window)
    : CPlayerHost(window, ViewerMode::kRemovablePlayer, new media::CRemovablePlayerCtl(window.host()), kRemovableIds,
                  kRemovableTexts) {
  disk_.AttachIndexTable(&table_);
  connect(control_, &media::CMediaPlayerCtl::PositionEvent, this, [this](int position) {
    if (active()) OnPosition(position);
  });
}

ModeView CRemovablePlayer::View() const {
  ModeView view = kRemovablePlayerHostView;
  // One recording on the CD: there is no start minute to choose.
  if (cd_mode_) view.time_select = false;
  return view;
}

bool CRemovablePlayer::OpenDevice(int device) {
  cd_mode_ = false;
  if (device == CSelectDeviceDialog::kCompactDisk) return OpenBackupCd();
  disk_.Reset();
  if (!disk_.OpenAndList()) {
    window_.ShowMessage("Can not find Removable hard disk drive !!!", BoxIcon::kError);
    return false;
  }
  return true;
}

bool CRemovablePlayer::OpenBackupCd() {
  disk_.Reset();
  if (!cd_.FindBackupCd()) {
    window_.ShowMessage("Can not find Backup CD !!!", BoxIcon::kError);
    return false;
  }
  cd_mode_ = true;
  return true;
}

void CRemovablePlayer::Enter() {
  CPlayerHost::Enter();
  selection_ = media::kAllEight;
  window_.SetFileRows({});
  ShowMonth();
  // The window's file list is shared with the search mode: the export menu is ours only here.
  if (auto* list = window_.host()->findChild<CRecordFileList*>()) {
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    export_menu_ = connect(list, &QWidget::customContextMenuRequested, this, &CRemovablePlayer::OfferExport);
  }
}

void CRemovablePlayer::OfferExport(const QPoint& point) {
  auto* list = window_.host()->findChild<CRecordFileList*>();
  if (list == nullptr || !ChosenRow()) return;
  QMenu menu(list);
  QAction* action = menu.addAction("Export");
  if (menu.exec(list->viewport()->mapToGlobal(point)) != action) return;
  const auto folder = window_.dialogs().BrowseForFolder(window_.host(), "Export to");
  if (!folder) return;
  QString out;
  ExportRow(*folder, &out);
}

bool CRemovablePlayer::ExportRow(const std::string& folder, QString* out_path) {
  const auto row = ChosenRow();
  if (!row) return false;
  char name[64];
  std::snprintf(name, sizeof name, "/%04d%02d%02d%02d_%ld.mp4", disk_.Year(*row), disk_.Month(*row), disk_.Day(*row),
                disk_.Hour(*row), disk_.FileIndex(*row));
  *out_path = QString::fromStdString(folder + name);
  media::LoadedRecording loaded;
  std::string error;
  if (!media::LoadDiskFile(disk_.disk_path(), static_cast<uint32_t>(disk_.StartAddress(*row)),
                           static_cast<uint32_t>(disk_.Size(*row)), disk_.VideoMode(*row) == 1, &loaded, &error)) {
    window_.ShowMessage("Export failed: " + error, BoxIcon::kError);
    return false;
  }
  return ExportWithProgress(window_, loaded, *out_path);
}

void CRemovablePlayer::Leave() {
  disconnect(export_menu_);
  CPlayerHost::Leave();
  disk_.Reset();
  cd_mode_ = false;
  window_.SetBoldDays(0);
  window_.SetFileRows({});
  jump_low_ = jump_high_ = 0;
}

void CRemovablePlayer::ShowMonth() {
  const sessions::CalendarDate shown = window_.CalendarDate();
  uint32_t mask = 0;
  if (cd_mode_) {
    if (IsCdDay(shown, /*match_day=*/false)) mask = 1u << (std::atoi(cd_.day().c_str()) - 1);
    window_.SetBoldDays(mask);
    return;
  }
  for (int row = 0; row < disk_.RowCount(); ++row) {
    const int day = disk_.Day(row);
    if (disk_.Year(row) == shown.year && disk_.Month(row) == shown.month && day >= 1 && day <= 31) {
      mask |= 1u << (day - 1);
    }
  }
  window_.SetBoldDays(mask);
}

void CRemovablePlayer::ShowDay() {
  const sessions::CalendarDate chosen = window_.CalendarDate();
  std::vector<sessions::FileListRow> rows;
  if (cd_mode_) {
    if (IsCdDay(chosen, /*match_day=*/true))
      rows.push_back({cd_.time_text(), "", media::SizeText(cd_.size_sectors()), "0"});
    window_.SetFileRows(rows);
    return;
  }
  for (int row = 0; row < disk_.RowCount(); ++row) {
    if (disk_.Year(row) != chosen.year || disk_.Month(row) != chosen.month || disk_.Day(row) != chosen.day) continue;
    rows.push_back({disk_.FileName(row), "", media::SizeText(disk_.Size(row)), std::to_string(disk_.FileIndex(row))});
  }
  window_.SetFileRows(rows);
}

void CRemovablePlayer::OnOtherCommand(ControlId id) {
  if (id == kMonthCalendar) {
    ShowMonth();
    ShowDay();
  } else if (id == kTimeSelect) {
    TimeSelect();
  }
}

std::optional<int> CRemovablePlayer::ChosenRow() const {
  const auto chosen = window_.SelectedFileRow();
  if (!chosen) return std::nullopt;
  // The rows are the chosen day's, in index order: find the file by its index.
  const sessions::CalendarDate day = window_.CalendarDate();
  int seen = 0;
  for (int row = 0; row < disk_.RowCount(); ++row) {
    if (disk_.Year(row) != day.year || disk_.Month(row) != day.month || disk_.Day(row) != day.day) continue;
    if (seen++ == *chosen) return disk_.FindRow(disk_.FileIndex(row));
  }
  return std::nullopt;
}

QByteArray CRemovablePlayer::Descriptor(int row) const {
  media::OpenDescriptor descriptor;
  descriptor.year = disk_.Year(row) - 2000;
  descriptor.month = disk_.Month(row);
  descriptor.day = disk_.Day(row);
  descriptor.hour = disk_.Hour(row);
  descriptor.start_sector = static_cast<uint32_t>(disk_.StartAddress(row));
  descriptor.size_sectors = static_cast<uint32_t>(disk_.Size(row));
  descriptor.ntsc = disk_.VideoMode(row) == 1;
  const auto bytes = media::BuildOpenDescriptor(descriptor);
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

void CRemovablePlayer::SetJumpRange(int row) {
  const std::string name = disk_.FileName(row);
  jump_low_ = Digits(name, 3) * 60 + 60;
  jump_high_ = Digits(name, 12) * 60 - 60;
}

bool CRemovablePlayer::IsCdDay(const sessions::CalendarDate& date, bool match_day) const {
  const int day = std::atoi(cd_.day().c_str());
  return day >= 1 && day <= 31 && cd_.year() == date.year && std::atoi(cd_.month().c_str()) == date.month &&
         (!match_day || day == date.day);
}

void CRemovablePlayer::Select() {
  if (cd_mode_) {
    if (!window_.SelectedFileRow()) return;
    QByteArray descriptor(static_cast<qsizetype>(media::kOpenDescriptorSize), '\0');
    descriptor[0] = static_cast<char>(media::kBackupCdYear);
    if (Call(ids_.open, {descriptor}) == 0) Trace("[REMOVABLE PLAYER] File open error !!!");
    return;
  }
  const auto row = ChosenRow();
  if (!row) return;
  if (Call(ids_.open, {Descriptor(*row)}) == 0) Trace("[REMOVABLE PLAYER] File open error !!!");
  SetJumpRange(*row);
}

void CRemovablePlayer::TimeSelect() {
  if (cd_mode_) return;
  const auto row = ChosenRow();
  if (!row) return;
  const std::string name = disk_.FileName(*row);
  const CTimeToTimeDialog::Range range = {Bcd(disk_.Month(*row)), Bcd(disk_.Day(*row)), Bcd(disk_.Year(*row) % 100),
                                          Bcd(disk_.Hour(*row)),  Bcd(Digits(name, 3)), Bcd(Digits(name, 6)),
                                          Bcd(Digits(name, 12)),  Bcd(Digits(name, 15))};
  const auto minute = AskStartMinute(window_.dialogs(), window_.host(), range);
  if (!minute) return;
  if (Call(kOpenAtMinute, {Descriptor(*row), *minute}) == 0) Trace("[REMOVABLE PLAYER] File open error !!!");
  window_.AddEventLog(sessions::kEventColour, "[EVENT] Time to time Playback");
  SetJumpRange(*row);
}

void CRemovablePlayer::OnSliderSeek(int position) {
  if (!active() || position <= jump_low_ || position >= jump_high_) return;
  Trace("[REMOVABLEPLAYER] Jump position %d", position);
  Call(kJump, {position});
  if (mode_ == HostPlayMode::kForward) Call(ids_.forward);
  if (mode_ == HostPlayMode::kReverse) Call(ids_.reverse);
}

void CRemovablePlayer::OnPlayerEvent(int kind, int value) {
  // This control raises no channel-count event; its playback knows the count.
  if (kind == media::kEventPlaying && value == 1 && control_) channel_count_ = control_->playback().channel_count();
  CPlayerHost::OnPlayerEvent(kind, value);
  if (kind == media::kEventPlaying && value == 1) {
    window_.EnableSlider(true);
    Trace("%s Channel change Mux full 8Ch !!!", texts_.prefix);
    Layout(media::kAllEight);
    window_.LatchLayoutButton(kLayout8Ch);
  }
}

void CRemovablePlayer::OnPosition(int position) {
  if (position < 1 || position > 3599) return;
  window_.SetSliderPos(position);
  Trace("[REMOVABLE PLAYER] Playback Position %d", position);
}

}  // namespace shell
