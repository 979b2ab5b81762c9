// The times of the event log's lines, the choice that hides them, and the
// saved log with its full dates.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "client/shell/event_log.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/settings_keys.h"
#include "client/shell/testing/shell_test_support.h"
#include "platform/registry.h"

namespace shell {
namespace {

class EventLogTimesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    ASSERT_TRUE(folder_.isValid());
    log_ = std::make_unique<CEventLog>();
    log_->SetClock([this] { return now_; });
    log_->SetDialogs(&dialogs_);
  }
  QStringList ShownText() const { return log_->toPlainText().split('\n'); }
  QStringList SavedLines(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  }

  testing::ScratchRegistry registry_;
  QTemporaryDir folder_;
  COperatorDialogs dialogs_;
  std::unique_ptr<CEventLog> log_;  // made once the application exists
  QDateTime now_{QDate(2026, 12, 9), QTime(22, 41, 3)};
};

TEST_F(EventLogTimesTest, EveryLineShowsItsTimeBeforeItsTextAndAlertsKeepItWhenTimesAreHidden) {
  log_->AddLine(0xFFFFFF, "[EVENT] DVR1 Selected");
  now_ = now_.addSecs(3661);
  log_->AddLine(0x0000FF, "[ALERT] DVR1, Sensor #2 Detection");
  log_->AddLine(0x00FFFF, "first\nsecond");
  EXPECT_EQ(ShownText(), (QStringList{"22:41:03 [EVENT] DVR1 Selected", "23:42:04 [ALERT] DVR1, Sensor #2 Detection",
                                      "23:42:04 first", "second"}));
  auto lines = log_->Lines();
  ASSERT_EQ(lines.size(), 4u);
  // The text reads without its time and keeps its own colour.
  EXPECT_EQ(lines[1].text, "[ALERT] DVR1, Sensor #2 Detection");
  EXPECT_EQ(lines[1].time, "23:42:04");
  EXPECT_EQ(lines[1].colour, QColor(255, 0, 0));
  EXPECT_EQ(lines[1].point_size, 9.0);
  EXPECT_TRUE(lines[3].time.isEmpty());

  log_->ShowTimes(false);
  EXPECT_EQ(ShownText(),
            (QStringList{"[EVENT] DVR1 Selected", "23:42:04 [ALERT] DVR1, Sensor #2 Detection", "first", "second"}));
  log_->AddLine(0xFFFFFF, "[EVENT] Live Stream Start");
  EXPECT_EQ(log_->Lines().back().text, "[EVENT] Live Stream Start");
  EXPECT_TRUE(log_->Lines().back().time.isEmpty());
  log_->ShowTimes(true);
  EXPECT_EQ(ShownText().front(), "22:41:03 [EVENT] DVR1 Selected");
  EXPECT_EQ(ShownText().back(), "23:42:04 [EVENT] Live Stream Start");
}

TEST_F(EventLogTimesTest, ALogMadeWhileTheStoredChoiceIsZeroStartsWithoutTimes) {
  platform::RegistryKey::Open(kLocalSettingKey)->WriteNumber(kEventLogTimeValue, 0);
  CEventLog hidden;
  hidden.AddLine(0xFFFFFF, "[EVENT] Stop");
  EXPECT_EQ(hidden.toPlainText(), "[EVENT] Stop");
}

TEST_F(EventLogTimesTest, SavedLogCarriesFullDatesOnEveryLine) {
  log_->ShowTimes(false);  // the file has its dates whatever the log shows
  log_->AddLine(0xFFFFFF, "[EVENT] DVR1 Selected");
  now_ = now_.addSecs(2 * 3600);  // past midnight: the date moves on
  log_->AddLine(0x0000FF, "two\r\nlines");
  const QString path = folder_.filePath("log.txt");
  EXPECT_EQ(log_->SaveTo(path), std::nullopt);
  const QStringList saved = SavedLines(path);
  ASSERT_EQ(saved.size(), 3);
  const QRegularExpression stamp(R"(^(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d) (.*)$)");
  const QDateTime expected[] = {QDateTime(QDate(2026, 12, 9), QTime(22, 41, 3)),
                                QDateTime(QDate(2026, 12, 10), QTime(0, 41, 3)),
                                QDateTime(QDate(2026, 12, 10), QTime(0, 41, 3))};
  const QString texts[] = {"[EVENT] DVR1 Selected", "two", "lines"};
  for (int i = 0; i < 3; ++i) {
    const auto match = stamp.match(saved[i]);
    ASSERT_TRUE(match.hasMatch()) << saved[i].toStdString();
    // The offset makes the stamp name the very instant of the line.
    EXPECT_EQ(QDateTime::fromString(match.captured(1), Qt::ISODate), expected[i]) << saved[i].toStdString();
    EXPECT_EQ(match.captured(2), texts[i]);
  }
  EXPECT_TRUE(saved[0].startsWith("2026-12-09T22:41:03"));
  // Cleared with the log: a later save has nothing of before.
  log_->ClearLog();
  log_->AddLine(0xFFFFFF, "[EVENT] Stop");
  EXPECT_EQ(log_->SaveTo(path), std::nullopt);
  ASSERT_EQ(SavedLines(path).size(), 1);
}

TEST_F(EventLogTimesTest, SaveLogAsksForAFileAndTellsTheOperatorWhenItCannotWrite) {
  testing::BoxRecorder boxes(dialogs_);
  std::vector<std::string> titles;
  std::optional<std::string> answer;
  dialogs_.SetChooserHook([&](const std::string& title) {
    titles.push_back(title);
    return answer;
  });
  std::unique_ptr<QMenu> menu = log_->ContextMenu();
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions()[0]->text(), "Save log...");
  EXPECT_FALSE(menu->actions()[0]->isEnabled());  // nothing to save yet
  log_->AddLine(0xFFFFFF, "[EVENT] DVR1 Selected");
  menu = log_->ContextMenu();
  ASSERT_TRUE(menu->actions()[0]->isEnabled());

  // Cancelled: nothing written, nothing told.
  menu->actions()[0]->trigger();
  EXPECT_EQ(titles, std::vector<std::string>{"Save log"});
  EXPECT_EQ(boxes.count(), 0u);

  answer = folder_.filePath("saved.txt").toStdString();
  menu->actions()[0]->trigger();
  EXPECT_EQ(SavedLines(QString::fromStdString(*answer)).size(), 1);
  EXPECT_EQ(boxes.count(), 0u);

  // A folder that does not exist: the operator is told, and no file appears.
  answer = folder_.filePath("missing/saved.txt").toStdString();
  log_->SaveWithDialog();
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kError);
  EXPECT_NE(boxes.boxes()[0].text.find("could not be saved to " + *answer), std::string::npos);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(*answer)));
}

}  // namespace
}  // namespace shell
