// kaviroctl for scripts: the --json output of the commands against the
// emulated DVR, parsed as a script would; the short usage errors; the logon
// lines off standard output; the times on log records and watch lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <thread>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/ctl_commands.h"
#include "client/kaviroctl/ctl_report.h"
#include "client/kaviroctl/ctl_services.h"
#include "tools/dvremu/dvr_emulator.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace kaviroctl {
namespace {

using namespace std::chrono_literals;

const QRegularExpression kIsoTime(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d)$)");

std::string DateText(const std::tm& day) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
  return text;
}

std::tm Day(int days_back) {
  const std::time_t now = std::time(nullptr);
  std::tm day{};
  localtime_r(&now, &day);
  day.tm_mday -= days_back;
  day.tm_hour = 12;
  std::mktime(&day);
  return day;
}

// Every line of the output is one JSON object; a line that is not fails.
std::vector<QJsonObject> JsonLines(const std::string& text) {
  std::vector<QJsonObject> objects;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_TRUE(document.isObject()) << line;
    objects.push_back(document.object());
  }
  return objects;
}

// The one object a command prints.
QJsonObject JsonResult(const std::string& text) {
  const std::vector<QJsonObject> objects = JsonLines(text);
  EXPECT_EQ(objects.size(), 1u) << text;
  return objects.empty() ? QJsonObject() : objects.back();
}

class CtlJsonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vistrel::test::EnsureApplication();
    dir_ = std::filesystem::temp_directory_path() / ("kaviroctl-json-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    dvremu::EmulatorOptions options;
    options.read_stdin = false;
    dvr_ = dvremu::DvrEmulator::StartOnFreePorts(options);
    ASSERT_TRUE(dvr_);
  }
  void TearDown() override {
    if (dvr_) dvr_->Stop();
    std::filesystem::remove_all(dir_);
  }

  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    args.insert(args.end(), {"--port", std::to_string(dvr_->command_port()), "--timeout", "30"});
    return RunCommand(args, out_, err_);
  }

  std::filesystem::path dir_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(CtlJsonTest, TheLiveCommandsPrintOneObjectWithTheirFields) {
  ASSERT_EQ(Run({"--json", "probe", "--password", "1234", "--seconds", "1"}), 0) << err_.str();
  QJsonObject probe = JsonResult(out_.str());
  EXPECT_EQ(probe["command"].toString(), "probe");
  EXPECT_EQ(probe["channels"].toInt(), 4);
  EXPECT_EQ(probe["pan_tilt_mask"].toInt(), 0x05);
  ASSERT_EQ(probe["rates"].toArray().size(), 4);
  EXPECT_GT(probe["rates"].toArray()[3].toObject()["pictures_per_second"].toDouble(), 0.0);
  EXPECT_NE(err_.str().find("logon: accepted\n"), std::string::npos) << err_.str();

  ASSERT_EQ(Run({"status", "--password", "1234", "--json"}), 0) << err_.str();
  const QJsonObject status = JsonResult(out_.str());
  EXPECT_EQ(status["version"].toString(), "1.20.07");
  EXPECT_EQ(status["e_mail"].toString(), "dvr@example.com");
  EXPECT_EQ(status["service_address"].toString(), "192.168.0.200");

  ASSERT_EQ(Run({"light", "--password", "1234", "--json"}), 0) << err_.str();
  const QJsonObject light = JsonResult(out_.str());
  EXPECT_EQ(light["status"].toInt(), 0xF5);
  ASSERT_EQ(light["lights"].toArray().size(), 4);
  EXPECT_EQ(light["lights"].toArray()[1].toObject()["state"].toString(), "off");

  const std::string today = DateText(Day(0));
  ASSERT_EQ(Run({"log", "--password", "1234", "--date", today, "--json"}), 0) << err_.str();
  const QJsonObject log = JsonResult(out_.str());
  EXPECT_EQ(log["page"].toInt(), 1);
  EXPECT_GE(log["pages"].toInt(), 1);
  const QJsonArray records = log["records"].toArray();
  ASSERT_FALSE(records.isEmpty());
  const QString time = records[0].toObject()["time"].toString();
  EXPECT_TRUE(kIsoTime.match(time).hasMatch()) << time.toStdString();
  EXPECT_TRUE(time.startsWith(QString::fromStdString(today + "T"))) << time.toStdString();
  EXPECT_EQ(records[0].toObject()["event"].toString(), "Power on");

  ASSERT_EQ(Run({"snapshot", "--password", "1234", "--out", dir_.string(), "--json"}), 0) << err_.str();
  const QJsonArray pictures = JsonResult(out_.str())["pictures"].toArray();
  ASSERT_EQ(pictures.size(), 4);
  EXPECT_EQ(pictures[2].toObject()["channel"].toInt(), 3);
  EXPECT_EQ(pictures[2].toObject()["width"].toInt(), 352);
  EXPECT_TRUE(std::filesystem::exists(pictures[2].toObject()["path"].toString().toStdString()));
}

// What a DVR sends back is untrusted: bytes that are no UTF-8 still make a
// document that parses.
TEST_F(CtlJsonTest, TextsThatAreNoUtf8StillMakeValidJson) {
  const std::string bytes = "cam\xff\xfe\xc3(\"\\\x01 end";
  ASSERT_EQ(Run({"status", "--password", "1234", "--set-email", bytes, "--json"}), 0) << err_.str();
  const QJsonObject status = JsonResult(out_.str());
  const QString email = status["e_mail"].toString();
  EXPECT_TRUE(email.startsWith("cam")) << out_.str();
  EXPECT_TRUE(email.contains(QChar(0xFFFD)));
  EXPECT_TRUE(email.endsWith("(\"\\\x01 end")) << email.toStdString();

  // A time the DVR sent in bad BCD, or a day the calendar lacks, is null.
  sessions::DvrLogRecord record;
  record.hour = 0x1A;
  EXPECT_TRUE(LogRecordJson(2026, 12, 9, record)["time"].isNull());
  record.hour = 0x23;
  record.minute = 0x59;
  EXPECT_TRUE(LogRecordJson(2026, 2, 30, record)["time"].isNull());
  EXPECT_TRUE(kIsoTime.match(LogRecordJson(2026, 12, 9, record)["time"].toString()).hasMatch());
  EXPECT_EQ(Run({"log", "--password", "1234", "--date", "2026-02-30"}), static_cast<int>(Outcome::kUsage));
}

TEST_F(CtlJsonTest, AFailureKeepsItsExitCodeAndSaysWhyInTheObject) {
  EXPECT_EQ(Run({"--json", "probe", "--password", "0000"}), static_cast<int>(Outcome::kWrongPassword));
  QJsonObject failure = JsonResult(out_.str());
  EXPECT_EQ(failure["exit"].toInt(), static_cast<int>(Outcome::kWrongPassword));
  EXPECT_EQ(failure["error"].toString(), "wrong password");
  EXPECT_NE(err_.str().find("kaviroctl: wrong password\n"), std::string::npos) << err_.str();

  EXPECT_EQ(Run({"--json", "record", "--password", "1234"}), static_cast<int>(Outcome::kUsage));
  failure = JsonResult(out_.str());
  EXPECT_EQ(failure["command"].toString(), "record");
  EXPECT_EQ(failure["error"].toString(), "--out is required");

  EXPECT_EQ(Run({"--json", "disk", "--play", "1"}), static_cast<int>(Outcome::kUsage));
  EXPECT_EQ(JsonResult(out_.str())["exit"].toInt(), static_cast<int>(Outcome::kUsage));
}

TEST_F(CtlJsonTest, WatchStreamsAStampedLinePerEventThenItsResult) {
  std::thread alarms([this] {
    for (int i = 0; i < 1000 && dvr_->ConnectionCount(dvremu::Target::kStream) == 0; ++i)
      std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(300ms);
    dvr_->SensorAlarm(3);
  });
  const int code = Run({"watch", "--password", "1234", "--seconds", "3", "--ack", "--json"});
  alarms.join();
  ASSERT_EQ(code, 0) << err_.str();
  const std::vector<QJsonObject> lines = JsonLines(out_.str());
  ASSERT_GE(lines.size(), 3u) << out_.str();
  EXPECT_EQ(lines.back()["command"].toString(), "watch");
  EXPECT_TRUE(lines.back()["acknowledge"].toBool());
  bool alarm_seen = false;
  bool acknowledged = false;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_TRUE(kIsoTime.match(lines[i]["time"].toString()).hasMatch()) << out_.str();
    if (lines[i]["kind"].toString() == "alarm") {
      alarm_seen = true;
      EXPECT_EQ(lines[i]["caption"].toString(), "Sensor Alarm Out");
      EXPECT_EQ(lines[i]["dvr"].toInt(), 1);
      EXPECT_EQ(lines[i]["sensor"].toInt(), 3);
    }
    acknowledged |= lines[i]["kind"].toString() == "acknowledged" && lines[i]["sensor"].toInt() == 3;
  }
  EXPECT_TRUE(alarm_seen) << out_.str();
  EXPECT_TRUE(acknowledged) << out_.str();

  // As text, each line starts with its time.
  ASSERT_EQ(Run({"watch", "--password", "1234", "--seconds", "1"}), 0) << err_.str();
  std::istringstream text(out_.str());
  std::string line;
  ASSERT_TRUE(std::getline(text, line)) << out_.str();
  const size_t space = line.find(' ');
  EXPECT_TRUE(kIsoTime.match(QString::fromStdString(line.substr(0, space))).hasMatch()) << line;
  EXPECT_EQ(line.substr(space + 1, 5), "log: ") << line;
}

TEST_F(CtlJsonTest, SearchPlayAndDownloadPrintTheirObjectsAndProgressLines) {
  const std::tm yesterday = Day(1);
  const dvremu::RecordFile* file = nullptr;
  for (const dvremu::RecordFile* candidate :
       dvr_->recordings().Day(yesterday.tm_year + 1900, yesterday.tm_mon + 1, yesterday.tm_mday)) {
    if (!candidate->still_recording && candidate->duration_s >= 120) file = candidate;
  }
  ASSERT_NE(file, nullptr);
  const std::string date = DateText(yesterday);

  ASSERT_EQ(Run({"search", "--password", "1234", "--date", date, "--json"}), 0) << err_.str();
  const QJsonObject search = JsonResult(out_.str());
  EXPECT_EQ(search["date"].toString().toStdString(), date);
  QJsonObject row;
  for (const QJsonValue value : search["files"].toArray()) {
    if (value.toObject()["file"].toInteger() == static_cast<qint64>(file->index)) row = value.toObject();
  }
  ASSERT_FALSE(row.isEmpty()) << out_.str();
  EXPECT_FALSE(row["recording"].toBool());
  const QDateTime start = QDateTime::fromString(row["start"].toString(), Qt::ISODate);
  EXPECT_EQ(start, QDateTime(QDate(yesterday.tm_year + 1900, yesterday.tm_mon + 1, yesterday.tm_mday),
                             QTime(file->hour, file->start_minute, file->start_second)))
      << row["start"].toString().toStdString();
  EXPECT_TRUE(kIsoTime.match(row["end"].toString()).hasMatch());

  const std::string index = std::to_string(file->index);
  ASSERT_EQ(Run({"play", "--password", "1234", "--date", date, "--file", index, "--seconds", "2", "--out",
                 dir_.string(), "--json"}),
            0)
      << err_.str();
  std::vector<QJsonObject> lines = JsonLines(out_.str());
  ASSERT_GE(lines.size(), 2u) << out_.str();
  EXPECT_TRUE(lines.front().contains("position_s")) << out_.str();
  EXPECT_EQ(lines.back()["command"].toString(), "play");
  EXPECT_EQ(lines.back()["pictures"].toArray().size(), 4);

  ASSERT_EQ(Run({"download", "--password", "1234", "--date", date, "--file", index, "--out", dir_.string(), "--json"}),
            0)
      << err_.str();
  lines = JsonLines(out_.str());
  ASSERT_GE(lines.size(), 1u);
  const QJsonObject saved = lines.back();
  EXPECT_EQ(saved["command"].toString(), "download");
  ASSERT_TRUE(saved["saved"].isString()) << out_.str();
  EXPECT_GT(saved["bytes"].toInteger(), 0);
  EXPECT_TRUE(std::filesystem::exists(saved["saved"].toString().toStdString()));
  for (size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_TRUE(lines[i].contains("position")) << out_.str();
}

TEST_F(CtlJsonTest, UsageErrorsAreShortAndNameWhatIsWrong) {
  const auto expect_usage = [this](const std::vector<std::string>& args, const std::string& errors) {
    out_.str("");
    err_.str("");
    EXPECT_EQ(RunCommand(args, out_, err_), static_cast<int>(Outcome::kUsage)) << errors;
    EXPECT_EQ(err_.str(), errors + "see kaviroctl --help\n");
    EXPECT_EQ(out_.str(), "");
  };
  expect_usage({"probe"}, "kaviroctl: --password is required\n");
  // The session takes no empty password: none given.
  expect_usage({"probe", "--password", ""}, "kaviroctl: --password is required\n");
  expect_usage({"download", "--date", "2026-12-01"},
               "kaviroctl: --password is required\nkaviroctl: --file is required\n");
  expect_usage({"play", "--password", "1", "--file", "3", "--record"},
               "kaviroctl: --date is required\nkaviroctl: --out is required with --record\n");
  expect_usage({"ptz", "--password", "1"}, "kaviroctl: --action or --preset is required\n");
  expect_usage({"probe", "--password", "1", "--colour", "red"}, "kaviroctl: unknown option --colour\n");
  expect_usage({"probe", "--password", "1", "--seconds", "0"}, "kaviroctl: bad value for --seconds: 0\n");
  expect_usage({"status", "--password"}, "kaviroctl: --password needs a value\n");
  expect_usage({"reboot", "--password", "1"}, "kaviroctl: unknown command reboot\n");
  expect_usage({"export", "a.rmp"}, "kaviroctl: --out is required\n");
  expect_usage({"play-file", "--out", "x", "--speed", "2"}, "kaviroctl: unknown option --speed\n");
}

TEST_F(CtlJsonTest, VerboseKeepsTheLogonLinesOnStandardOutput) {
  ASSERT_EQ(Run({"light", "--password", "1234", "--verbose"}), 0) << err_.str();
  EXPECT_EQ(out_.str().rfind("logon: accepted\nchannels: 4\npan/tilt mask: 0x05\nlights: 0xF5\n", 0), 0u) << out_.str();
  EXPECT_EQ(err_.str().find("logon: accepted"), std::string::npos) << err_.str();
  // With --json standard output stays one document.
  ASSERT_EQ(Run({"light", "--password", "1234", "--verbose", "--json"}), 0) << err_.str();
  EXPECT_EQ(JsonResult(out_.str())["status"].toInt(), 0xF5);
}

TEST(CtlReportTest, TheMessagesKeptForTheResultAreBounded) {
  std::ostringstream err;
  MessageTap tap(err);
  std::ostream stream(&tap);
  stream << "kaviroctl: first\nprogress 10%\r" << std::string(100000, 'x') << "\n";
  for (int i = 0; i < 10000; ++i) stream << "kaviroctl: more\n";
  stream.flush();
  const std::vector<std::string> messages = tap.messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(), "first");
  EXPECT_LE(messages.size(), 100u);
  EXPECT_EQ(err.str().size(), std::string("kaviroctl: first\nprogress 10%\r").size() + 100001 + 10000 * 16);
}

}  // namespace
}  // namespace kaviroctl
