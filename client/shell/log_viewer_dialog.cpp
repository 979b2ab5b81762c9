#include "client/shell/log_viewer_dialog.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QHeaderView>
#include <QTextCharFormat>
#include <QTreeWidget>

#include "client/shell/hover_button.h"
#include "platform/string_table.h"

namespace shell {
namespace {

constexpr unsigned kLabelColour = 0xCECECE;
constexpr uint16_t kNoLogListCode = 0x0090;

// The title in RGB(198,210,162) with white text; the month's colours are
// the day view's palette, which also gives the trailing days their grey.
const char kCalendarStyle[] =
    "QCalendarWidget QWidget#qt_calendar_navigationbar { background: rgb(198, 210, 162); }"
    "QCalendarWidget QToolButton { background: rgb(198, 210, 162); color: white; font-weight: bold; }"
    "QCalendarWidget QSpinBox { background: rgb(198, 210, 162); color: white; }";

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

}  // namespace

CLogViewerDialog::CLogViewerDialog(QWidget* parent, sessions::DvrServices* services, int slot)
    : CSkinnedDialog(parent, skin::res::kLogViewerBackground, QSize(750, 383),
                     QString::fromUtf8(platform::LoadString(kTitleId))),
      services_(services),
      slot_(slot),
      calendar_(new QCalendarWidget(this)),
      list_(new QTreeWidget(this)),
      page_label_(new CColourLabel("0 / 0", this)),
      back_(new CHoverButton(this, 1213)),
      next_(new CHoverButton(this, 1078)) {
  calendar_->setGeometry(204, 115, 167, 158);
  calendar_->setStyleSheet(kCalendarStyle);
  calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  calendar_->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
  ColourMonth();
  connect(calendar_, &QCalendarWidget::selectionChanged, this, &CLogViewerDialog::OnDayChanged);

  list_->setGeometry(387, 136, 326, 137);
  list_->setColumnCount(2);
  list_->setHeaderLabels({"Date", "Log Event"});
  list_->setColumnWidth(0, 126);
  list_->setColumnWidth(1, 195);
  list_->setRootIsDecorated(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->header()->setSectionsMovable(false);

  page_label_->SetColour(kLabelColour);
  page_label_->setGeometry(517, 282, 70, 22);
  page_label_->setAlignment(Qt::AlignCenter);
  back_->SetBitmaps(527, 529, 528, 0);
  back_->Place(435, 278);
  connect(back_, &QAbstractButton::clicked, this, &CLogViewerDialog::OnBack);
  next_->SetBitmaps(524, 526, 525, 0);
  next_->Place(597, 278);
  connect(next_, &QAbstractButton::clicked, this, &CLogViewerDialog::OnNext);
  auto* close = new CHoverButton(this, 1170);
  close->SetBitmaps(476, 478, 477, 0);
  close->Place(660, 331);
  connect(close, &QAbstractButton::clicked, this, &QDialog::accept);
}

void CLogViewerDialog::showEvent(QShowEvent* event) {
  CSkinnedDialog::showEvent(event);
  // The first page is asked for once the window can be found by its title.
  if (requested_) return;
  requested_ = true;
  pager_.SelectDay();
  RequestPage();
}

void CLogViewerDialog::ColourMonth() {
  QTextCharFormat white;
  white.setForeground(Qt::white);
  for (int day = Qt::Monday; day <= Qt::Sunday; ++day) calendar_->setWeekdayTextFormat(Qt::DayOfWeek(day), white);
  QTextCharFormat header = white;
  header.setBackground(Qt::black);
  calendar_->setHeaderTextFormat(header);
  auto* days = calendar_->findChild<QAbstractItemView*>("qt_calendar_calendarview");
  if (days == nullptr) return;
  QPalette colours = days->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::Base, Qt::black);
    colours.setColor(group, QPalette::AlternateBase, Qt::black);
    colours.setColor(group, QPalette::Window, Qt::black);
    colours.setColor(group, QPalette::Text, Qt::white);
  }
  // The calendar draws the days of the months around in the disabled text colour.
  colours.setColor(QPalette::Disabled, QPalette::Text, QColor(180, 180, 180));
  colours.setColor(QPalette::Highlight, QColor(0x1d, 0x70, 0xb4));
  days->setPalette(colours);
  days->setStyleSheet("background: black;");
}

void CLogViewerDialog::RequestPage() {
  if (services_ == nullptr) return;
  const QDate day = calendar_->selectedDate();
  services_->RequestLogByDate(slot_, day.year(), day.month(), day.day(), static_cast<uint32_t>(pager_.current_page()));
}

void CLogViewerDialog::OnDayChanged() {
  pager_.SelectDay();
  RequestPage();
}

void CLogViewerDialog::OnNext() {
  if (pager_.Next()) RequestPage();
}

void CLogViewerDialog::OnBack() {
  if (pager_.Back()) RequestPage();
}

void CLogViewerDialog::ShowPage(const sessions::DvrLogPage& page) {
  if (!pager_.Accept(page)) return;
  list_->clear();
  page_label_->setText(FromUtf8(pager_.IndicatorText()));
  for (const sessions::DvrLogRecord& record : page.records) {
    new QTreeWidgetItem(list_, {FromUtf8(sessions::LogTimeText(record)), FromUtf8(sessions::LogEventText(record))});
  }
}

void CLogViewerDialog::ShowFailure() {
  pager_.ForgetPages();
  list_->clear();
  sessions::DvrLogRecord none;
  none.code = kNoLogListCode;
  new QTreeWidgetItem(list_, {QString(), FromUtf8(sessions::LogEventText(none))});
  page_label_->setText("0 / 0");
}

}  // namespace shell
