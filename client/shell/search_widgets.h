// The widgets of the search and playback mode that the window shows for the
// search viewer: the month calendar with the recorded days in bold, the list
// of a day's recorded files, the bar of the playing file's time under the
// position slider, and the play speed picture.
//
// Threads: user-interface thread only.
#pragma once

#include <QCalendarWidget>
#include <QLabel>
#include <QTreeWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "client/sessions/search_ui.h"

namespace shell {

class CMonthCalendar : public QCalendarWidget {
 public:
  explicit CMonthCalendar(QWidget* parent);
  // Marks the days of the month shown whose bits are set (bit i is day i+1)
  // and clears the others.
  void SetBoldDays(uint32_t mask);
  void ClearBoldDays() { SetBoldDays(0); }
  uint32_t bold_days() const { return bold_; }

 private:
  void FollowPage(int year, int month);
  uint32_t bold_ = 0;
};

class CRecordFileList : public QTreeWidget {
 public:
  explicit CRecordFileList(QWidget* parent);
  void SetRows(const std::vector<sessions::FileListRow>& rows);
  // The selected row's number, if any.
  std::optional<int> SelectedRow() const;
  std::optional<sessions::FileListRow> Row(int row) const;
  int rows() const { return topLevelItemCount(); }
  void SelectRow(int row);
};

// The playing file's part of the hour, drawn as a bar under the position
// slider. The widget covers the hour's width; spans are in the parent's
// (the main window's) pixels.
class CPlaybackStatusBar : public QWidget {
 public:
  explicit CPlaybackStatusBar(QWidget* parent);
  // Nothing empties the bar.
  void ShowSpan(std::optional<sessions::StatusBarSpan> span);
  std::optional<sessions::StatusBarSpan> span() const { return span_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<sessions::StatusBarSpan> span_;
};

class CSpeedPicture : public QLabel {
 public:
  explicit CSpeedPicture(QWidget* parent);
  // Speed index 0-4: x1 .. x16 of the search mode, or x1/8 .. x2 of the
  // players.
  void ShowIndex(int index, bool player_speeds = false);
  int index() const { return index_; }
  bool player_speeds() const { return player_speeds_; }

 private:
  int index_ = 0;
  bool player_speeds_ = false;
};

}  // namespace shell
