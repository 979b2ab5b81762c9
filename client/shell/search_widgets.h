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
  void OnPageChanged();
  uint32_t bold_ = 0;
};

// One row of the file list, its four columns as shown.
struct FileRow {
  std::string time;   // "hh:mm:ss/hh:mm:ss" or "hh:mm:ss/Recording"
  std::string event;  // four letters
  std::string size;   // "12MB"
  std::string index;  // decimal
};

class CRecordFileList : public QTreeWidget {
 public:
  explicit CRecordFileList(QWidget* parent);
  void AddRow(const FileRow& row);
  // The selected row, if any.
  std::optional<FileRow> Selected() const;
  std::optional<FileRow> Row(int row) const;
  int rows() const { return topLevelItemCount(); }
  void SelectRow(int row);
};

// The playing file's part of the hour, drawn as a bar 5 pixels high. Its
// geometry is the hour's width under the slider; the span is in
// main-window pixels.
class CPlaybackStatusBar : public QWidget {
 public:
  static constexpr int kLeft = 116;
  static constexpr int kTop = 562;
  static constexpr int kHourWidth = 688;

  explicit CPlaybackStatusBar(QWidget* parent);
  // Seconds within the hour; start and end both 0 draw nothing.
  void ShowSpan(int start_seconds, int end_seconds);
  void Clear() { ShowSpan(0, 0); }
  // The bar's first and last x in window pixels, if one is drawn.
  std::optional<std::pair<int, int>> span() const { return span_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<std::pair<int, int>> span_;
};

class CSpeedPicture : public QLabel {
 public:
  explicit CSpeedPicture(QWidget* parent);
  // Speed index 0-4 (x1 .. x16).
  void ShowIndex(int index);
  int index() const { return index_; }

 private:
  int index_ = 0;
};

}  // namespace shell
