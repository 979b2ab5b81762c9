// CTimeToTimeDialog: the operator picks the minute of a recorded file from
// which playback starts. Search and the removable player open it on a file's
// range, given as the eight BCD bytes month, day, year, hour, start minute,
// start second, end minute, end second; the Playback button ends it with
// kPlayback and the chosen minute's text.
//
// Threads: user-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "client/shell/skinned_widgets.h"

class QComboBox;

namespace shell {

class CColourLabel;

class CTimeToTimeDialog : public CSkinnedDialog {
 public:
  static constexpr int kPlayback = 1078;
  using Range = std::array<uint8_t, 8>;

  CTimeToTimeDialog(QWidget* parent, const Range& range);

  // The text of the item chosen with Playback ("%02d"), empty before.
  const std::string& chosen() const { return chosen_; }
  QComboBox* minutes() const { return minutes_; }
  CColourLabel* date_label() const { return date_; }
  CColourLabel* hour_label() const { return hour_; }
  CColourLabel* second_hour_label() const { return second_hour_; }
  CColourLabel* end_minute_label() const { return end_minute_; }
  // Presses Playback, as the operator's click does.
  void PressPlayback();

  // The BCD start-minute byte of a chosen text: first digit in the high
  // nibble; nothing for a text that is not two digits.
  static std::optional<uint8_t> StartMinuteByte(const std::string& text);

 private:
  CColourLabel* AddLabel(const QString& text, int id, const QRect& place);

  QComboBox* minutes_;
  CColourLabel* date_;
  CColourLabel* hour_;
  CColourLabel* second_hour_;
  CColourLabel* end_minute_;
  std::string chosen_;
};

// Runs the dialog through the operator's door: the chosen start minute
// (0-59), or nothing when the dialog was cancelled.
class COperatorDialogs;
std::optional<int> AskStartMinute(COperatorDialogs& dialogs, QWidget* parent, const CTimeToTimeDialog::Range& range);

}  // namespace shell
