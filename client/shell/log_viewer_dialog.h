// CLogViewerDialog: "Kaviro - Logfile Viewer", the DVR's own event log of
// the day chosen in the month calendar, a page at a time. The page number
// moves when a page is asked for, before the answer comes; a page that says
// the day has no pages changes nothing; a failed answer shows "No have log
// list" and "0 / 0", so that no earlier day's page stays on screen.
//
// Threads: user-interface thread only; pages reach it through
// CShellSessionUi, which finds it by its title.
#pragma once

#include "client/sessions/dvr_services.h"
#include "client/sessions/log_page.h"
#include "client/shell/skinned_widgets.h"

class QCalendarWidget;
class QTreeWidget;

namespace shell {

class CColourLabel;
class CHoverButton;

class CLogViewerDialog : public CSkinnedDialog {
 public:
  static constexpr int kTitleId = 159;

  // `services` may be null: nothing is asked and the list stays empty.
  CLogViewerDialog(QWidget* parent, sessions::DvrServices* services, int slot);

  // UM_LOG_PAGE.
  void ShowPage(const sessions::DvrLogPage& page);
  // The DVR's answer reported a failure.
  void ShowFailure();

  void OnDayChanged();
  void OnNext();
  void OnBack();

  const sessions::LogPager& pager() const { return pager_; }
  QCalendarWidget* calendar() const { return calendar_; }
  QTreeWidget* list() const { return list_; }
  CColourLabel* page_label() const { return page_label_; }
  CHoverButton* back_button() const { return back_; }
  CHoverButton* next_button() const { return next_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RequestPage();
  // Black month, white days, grey days of the months before and after.
  void ColourMonth();

  sessions::DvrServices* services_;
  const int slot_;
  bool requested_ = false;
  sessions::LogPager pager_;
  QCalendarWidget* calendar_;
  QTreeWidget* list_;
  CColourLabel* page_label_;
  CHoverButton* back_;
  CHoverButton* next_;
};

}  // namespace shell
