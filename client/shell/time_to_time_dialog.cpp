#include "client/shell/time_to_time_dialog.h"

#include <QComboBox>

#include "client/shell/hover_button.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/skin_artwork.h"
#include "platform/string_table.h"

namespace shell {
namespace {

constexpr unsigned kLabelColour = 0xCECECE;  // RGB(206,206,206)

enum Byte { kMonth, kDay, kYear, kHour, kStartMinute, kStartSecond, kEndMinute, kEndSecond };

// The two digits of a BCD byte, as the labels print them one by one.
QString Digits(uint8_t bcd) { return QString::asprintf("%01d%01d", bcd >> 4, bcd & 0x0F); }

// A BCD byte's value; a nibble beyond 9 counts as it stands, so that a bad
// byte cannot widen the list past the hour.
int Value(uint8_t bcd) { return (bcd >> 4) * 10 + (bcd & 0x0F); }

}  // namespace

CTimeToTimeDialog::CTimeToTimeDialog(QWidget* parent, const Range& range)
    : CSkinnedDialog(parent, skin::res::kTimeToTimeBackground, QSize(597, 245),
                     QString::fromStdString(platform::LoadString(162))) {
  const uint8_t year = range[kYear];
  const uint8_t month = range[kMonth];
  const uint8_t day = range[kDay];
  date_ = AddLabel(QString::asprintf("20%01d%01d/%01d%01d/%01d%01d", year >> 4, year & 0x0F, month >> 4, month & 0x0F,
                                     day >> 4, day & 0x0F),
                   1189, QRect(278, 72, 100, 20));
  hour_ = AddLabel(Digits(range[kHour]), 1190, QRect(212, 133, 20, 20));
  second_hour_ = AddLabel(Digits(range[kHour]), 1205, QRect(421, 133, 20, 20));
  end_minute_ = AddLabel(Digits(range[kEndMinute]), 1221, QRect(492, 133, 20, 20));

  minutes_ = new QComboBox(this);
  minutes_->setGeometry(270, 129, 50, 20);
  // Playback starts at the chosen minute with the file's start second: in the
  // end minute that lies past the end when the start second is the later one.
  int end = std::min(Value(range[kEndMinute]), 59);
  if (Value(range[kStartSecond]) > Value(range[kEndSecond])) --end;
  for (int minute = Value(range[kStartMinute]) + 1; minute <= end; ++minute) {
    minutes_->addItem(QString::asprintf("%02d", minute));
  }
  if (minutes_->count() > 0) minutes_->setCurrentIndex(0);

  auto* playback = new CHoverButton(this, kPlayback);
  playback->SetBitmaps(521, 522, 523, 0);
  playback->Place(441, 193);
  connect(playback, &QAbstractButton::clicked, this, &CTimeToTimeDialog::PressPlayback);
  auto* cancel = new CHoverButton(this, 2);
  cancel->SetBitmaps(421, 423, 422, 483);
  cancel->Place(514, 193);
  connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
}

CColourLabel* CTimeToTimeDialog::AddLabel(const QString& text, int id, const QRect& place) {
  auto* label = new CColourLabel(text, this);
  label->setObjectName(QString::number(id));
  label->setGeometry(place);
  label->setAlignment(Qt::AlignCenter);
  label->SetColour(kLabelColour);
  return label;
}

void CTimeToTimeDialog::PressPlayback() {
  // Without a minute to start from there is nothing to play.
  if (minutes_->currentIndex() < 0) return;
  chosen_ = minutes_->currentText().toStdString();
  done(kPlayback);
}

std::optional<uint8_t> CTimeToTimeDialog::StartMinuteByte(const std::string& text) {
  if (text.size() != 2 || text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') return std::nullopt;
  return static_cast<uint8_t>(((text[0] - '0') << 4) | (text[1] - '0'));
}

std::optional<int> AskStartMinute(COperatorDialogs& dialogs, QWidget* parent, const CTimeToTimeDialog::Range& range) {
  CTimeToTimeDialog dialog(parent, range);
  if (dialogs.RunModal(dialog) != CTimeToTimeDialog::kPlayback) return std::nullopt;
  const std::optional<uint8_t> bcd = CTimeToTimeDialog::StartMinuteByte(dialog.chosen());
  if (!bcd) return std::nullopt;
  return (*bcd >> 4) * 10 + (*bcd & 0x0F);
}

}  // namespace shell
