// CRemovablePlayer: mode 4, the removable player. The "Select Device"
// dialog's Hard Disk lists the DVR disk's index (CRemovableDisk); the month
// calendar marks the recorded days, a day lists its files, and Select or
// Time Select plays the chosen file's sectors in the removable player
// control. Compact Disk reads the backup CD's header instead (CBackupCd):
// its one recording is the only row, played by the CD descriptor.
//
// Threads: user-interface thread only.
#pragma once

#include <optional>

#include "client/media/engine/backup_cd.h"
#include "client/media/engine/removable_disk.h"
#include "client/media/removable_player_ctl.h"
#include "client/sessions/search_ui.h"
#include "client/shell/player_host.h"

namespace shell {

inline constexpr ModeView kRemovablePlayerHostView = [] {
  ModeView view = kRemovablePlayerView;
  view.title = "Kaviro - Removable Mpeg player";
  return view;
}();

class CRemovablePlayer final : public CPlayerHost {
  Q_OBJECT

 public:
  explicit CRemovablePlayer(IShellWindow& window);

  ModeView View() const override;
  // The "Select Device" answer: false (with its box shown) leaves the mode.
  bool OpenDevice(int device) override;
  void Enter() override;
  void Leave() override;
  void OnSliderSeek(int position) override;

  media::CRemovableDisk& disk() { return disk_; }
  const media::IndexTable& table() const { return table_; }
  bool cd_mode() const { return cd_mode_; }
  int jump_low() const { return jump_low_; }
  int jump_high() const { return jump_high_; }
  // Exports the file of the chosen row into `folder`; the clip's path in *out_path.
  bool ExportRow(const std::string& folder, QString* out_path);

 protected:
  void Select() override;
  void OnOtherCommand(ControlId id) override;
  void OnPlayerEvent(int kind, int value) override;

 private:
  bool OpenBackupCd();
  // The CD's recording falls in the shown month (and on the chosen day).
  bool IsCdDay(const sessions::CalendarDate& date, bool match_day) const;
  void ShowMonth();
  void ShowDay();
  // The index-table row of the file chosen in the file list.
  std::optional<int> ChosenRow() const;
  QByteArray Descriptor(int row) const;
  void SetJumpRange(int row);
  void TimeSelect();
  void OnPosition(int position);
  void OfferExport(const QPoint& point);

  media::IndexTable table_;
  media::CRemovableDisk disk_;
  media::CBackupCd cd_;
  bool cd_mode_ = false;  // the backup CD, not the disk, is listed
  int jump_low_ = 0;
  int jump_high_ = 0;
  QMetaObject::Connection export_menu_;  // the file list's menu, while the mode is active
};

}  // namespace shell
