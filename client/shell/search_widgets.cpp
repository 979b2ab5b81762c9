#include "client/shell/search_widgets.h"

#include <QHeaderView>
#include <QPainter>
#include <QTextCharFormat>

#include <algorithm>

#include "client/shell/skin_artwork.h"
#include "platform/string_table.h"

namespace shell {

CMonthCalendar::CMonthCalendar(QWidget* parent) : QCalendarWidget(parent) {
  setObjectName("1110");
  setGridVisible(false);
  setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
  setStyleSheet(
      "QCalendarWidget QWidget { background: #0d1117; color: #c9d3df; alternate-background-color: #111821; }"
      "QCalendarWidget QToolButton { color: #e4eaf1; background: #1f2732; border: 0; font-weight: bold;"
      " font-size: 11px; padding: 1px 4px; }"
      "QCalendarWidget QToolButton::menu-indicator { image: none; }"
      "QCalendarWidget QSpinBox { background: #0d1117; color: #e4eaf1; }"
      "QCalendarWidget QAbstractItemView { font-size: 10px; selection-background-color: #1d70b4;"
      " selection-color: #ffffff; }"
      "QCalendarWidget QAbstractItemView:disabled { color: #5a6472; }");
  // Weekends read like any other day: a DVR records every day alike.
  QTextCharFormat plain;
  plain.setForeground(QColor(0xc9, 0xd3, 0xdf));
  setWeekdayTextFormat(Qt::Saturday, plain);
  setWeekdayTextFormat(Qt::Sunday, plain);
  connect(this, &QCalendarWidget::currentPageChanged, this, [this](int year, int month) { FollowPage(year, month); });
}

void CMonthCalendar::SetBoldDays(uint32_t mask) {
  bold_ = mask;
  // The marks belong to the month on show; the other months' dates lose theirs.
  setDateTextFormat(QDate(), QTextCharFormat());
  const QDate first(yearShown(), monthShown(), 1);
  QTextCharFormat marked;
  marked.setFontWeight(QFont::Black);
  marked.setForeground(QColor(0x3d, 0xb2, 0xff));
  marked.setFontUnderline(true);
  // A mask with bits beyond the month's last day marks nothing there.
  for (int day = 1; day <= std::min(31, first.daysInMonth()); ++day) {
    if ((mask >> (day - 1)) & 1U) setDateTextFormat(QDate(first.year(), first.month(), day), marked);
  }
}

void CMonthCalendar::FollowPage(int year, int month) {
  // Turning the page selects the same day of the new month, so that the
  // viewer hears of the change and asks for that month's recorded days.
  const QDate selected = selectedDate();
  if (selected.year() == year && selected.month() == month) return;
  const QDate first(year, month, 1);
  setSelectedDate(QDate(year, month, std::min(selected.day(), first.daysInMonth())));
}

CRecordFileList::CRecordFileList(QWidget* parent) : QTreeWidget(parent) {
  setObjectName("1111");
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAllColumnsShowFocus(true);
  setHeaderLabels({QString::fromStdString(platform::LoadString(110)), QString::fromStdString(platform::LoadString(111)),
                   QString::fromStdString(platform::LoadString(112)),
                   QString::fromStdString(platform::LoadString(113))});
  header()->setStretchLastSection(false);
  setColumnWidth(0, 108);
  setColumnWidth(1, 44);
  setColumnWidth(2, 56);
  setColumnWidth(3, 62);
  setStyleSheet(
      "QTreeWidget { background: #000000; color: #ffffff; border: 1px solid #33404f; font-size: 10px;"
      " selection-background-color: #1d70b4; selection-color: #ffffff; }"
      // Room below the text for the underscores of the event letters.
      "QTreeWidget::item { padding: 1px 0px 2px 0px; }"
      "QHeaderView::section { background: #1f2732; color: #aab6c6; border: 0; border-right: 1px solid #2b3543;"
      " padding: 2px; font-weight: bold; font-size: 10px; }");
}

void CRecordFileList::SetRows(const std::vector<sessions::FileListRow>& rows) {
  clear();
  for (const sessions::FileListRow& row : rows) {
    auto* item = new QTreeWidgetItem(this);
    item->setText(0, QString::fromStdString(row.time));
    item->setText(1, QString::fromStdString(row.events));
    item->setText(2, QString::fromStdString(row.size));
    item->setText(3, QString::fromStdString(row.file_index));
  }
}

std::optional<sessions::FileListRow> CRecordFileList::Row(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  if (item == nullptr) return std::nullopt;
  return sessions::FileListRow{item->text(0).toStdString(), item->text(1).toStdString(), item->text(2).toStdString(),
                               item->text(3).toStdString()};
}

std::optional<int> CRecordFileList::SelectedRow() const {
  const QList<QTreeWidgetItem*> chosen = selectedItems();
  if (chosen.isEmpty()) return std::nullopt;
  return indexOfTopLevelItem(chosen.front());
}

void CRecordFileList::SelectRow(int row) {
  if (QTreeWidgetItem* item = topLevelItem(row)) {
    setCurrentItem(item);
    item->setSelected(true);
  }
}

CPlaybackStatusBar::CPlaybackStatusBar(QWidget* parent) : QWidget(parent) {
  // One pixel more than the hour: a file that ends on the hour ends on x = left + width.
  setGeometry(sessions::kStatusBarLeft, sessions::kStatusBarTop, sessions::kStatusBarWidth + 1,
              sessions::kStatusBarHeight);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CPlaybackStatusBar::ShowSpan(std::optional<sessions::StatusBarSpan> span) {
  span_ = span;
  update();
}

void CPlaybackStatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(0x16, 0x1b, 0x22));
  if (!span_) return;
  const int from = std::min(span_->x_begin, span_->x_end) - x();
  const int to = std::max(span_->x_begin, span_->x_end) - x();
  painter.fillRect(QRect(from, 0, to - from + 1, height()), QColor(0xff, 0xa8, 0x2e));
}

CSpeedPicture::CSpeedPicture(QWidget* parent) : QLabel(parent) {
  setObjectName("1090");
  setGeometry(703, 570, 84, 25);
  ShowIndex(0);
}

void CSpeedPicture::ShowIndex(int index, bool player_speeds) {
  index_ = std::clamp(index, 0, 4);
  player_speeds_ = player_speeds;
  setPixmap(skin::Pixmap((player_speeds ? skin::res::kPlayerSpeedPicture : skin::res::kSpeedPicture) + index_));
}

}  // namespace shell
