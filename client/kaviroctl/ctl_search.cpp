#include "client/kaviroctl/ctl_search.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "client/kaviroctl/interrupt.h"
#include "client/kaviroctl/search_link.h"
#include "client/kaviroctl/temporary_video_folder.h"
#include "client/sessions/search_rows.h"

namespace kaviroctl {
namespace {

sessions::CalendarDate Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

int Fail(Outcome outcome, std::ostream& err) {
  err << "kaviroctl: " << OutcomeText(outcome) << "\n";
  return static_cast<int>(outcome);
}

// Connects and prints the logon lines; 0 or the exit code.
int ConnectAndGreet(SearchLink& link, const SearchOptions& options, const sessions::CalendarDate& date,
                    std::ostream& preamble, std::ostream& err) {
  const Outcome outcome = link.Connect(options.target, date, options.timeout);
  if (const int signal = InterruptSignal()) {
    err << "kaviroctl: interrupted\n";
    return 128 + signal;
  }
  if (outcome != Outcome::kOk) return Fail(outcome, err);
  preamble << "logon: accepted\nchannels: " << link.viewer().session().channel_count() << "\n";
  return 0;
}

int PrintDays(SearchLink& link, const sessions::CalendarDate& month, CtlReport& report, std::ostream& err) {
  if (link.month_info_failed()) return Fail(Outcome::kFailed, err);
  char month_text[16];
  std::snprintf(month_text, sizeof month_text, "%04d-%02d", month.year, month.month);
  report.Set("month", month_text);
  report.Set("days", QJsonArray());
  for (int day = 1; day <= 31; ++day) {
    if ((link.ui().bold_days >> (day - 1) & 1) == 0) continue;
    char line[16];
    std::snprintf(line, sizeof line, "%04d-%02d-%02d", month.year, month.month, day);
    report.text() << line << "\n";
    report.Append("days", line);
  }
  return 0;
}

// A file of the day's list: the list's texts, and its times as ISO 8601.
QJsonObject FileJson(const sessions::CalendarDate& date, const protocol::FileRecord& file) {
  const sessions::FileListRow row = sessions::MakeFileListRow(file);
  const bool recording = sessions::IsStillRecording(file);
  return QJsonObject{
      {"file", static_cast<qint64>(file.index)},
      {"start", BcdTimeJson(date.year, date.month, date.day, file.hour, file.start_minute, file.start_second)},
      {"end", recording ? QJsonValue()
                        : BcdTimeJson(date.year, date.month, date.day, file.hour, file.end_minute, file.end_second)},
      {"recording", recording},
      {"time_text", JsonText(row.time)},
      {"events", JsonText(row.events)},
      {"size", JsonText(row.size)},
  };
}

int PrintRows(SearchLink& link, const sessions::CalendarDate& date, CtlReport& report) {
  for (const sessions::FileListRow& row : link.ui().rows) {
    report.text() << row.time << "\t" << row.events << "\t" << row.size << "\t" << row.file_index << "\n";
  }
  char date_text[16];
  std::snprintf(date_text, sizeof date_text, "%04d-%02d-%02d", date.year, date.month, date.day);
  report.Set("date", date_text);
  report.Set("files", QJsonArray());
  for (const protocol::FileRecord& file : link.viewer().files()) report.Append("files", FileJson(date, file));
  return 0;
}

// The row of the file index, or nothing.
std::optional<int> RowOfFile(SearchLink& link, uint32_t index) {
  const auto& files = link.viewer().files();
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].index == index) return static_cast<int>(i);
  }
  return std::nullopt;
}

// A time-to-time start must lie after the file's first minute, up to its last.
bool FromMinuteFits(const protocol::FileRecord& file, int minute) {
  if (sessions::IsStillRecording(file)) return false;
  return minute > sessions::StartSeconds(file) / 60 && minute <= sessions::EndSeconds(file) / 60;
}

int WritePictures(SearchLink& link, const std::string& folder, CtlReport& report, std::ostream& err) {
  const int channels = link.viewer().session().channel_count();
  for (int channel = 1; channel <= channels; ++channel) {
    if (SaveChannelPicture(link.frames().first(channel - 1), channel, folder, report, err) == PictureSaved::kFailed) {
      return static_cast<int>(Outcome::kFailed);
    }
  }
  return 0;
}

bool EveryChannelPictured(SearchLink& link) {
  const int channels = link.viewer().session().channel_count();
  for (int channel = 1; channel <= channels; ++channel) {
    if (link.frames().count(channel - 1) == 0) return false;
  }
  return channels > 0;
}

int Play(SearchLink& link, const SearchOptions& options, CtlReport& report, std::ostream& err) {
  const std::optional<int> row = RowOfFile(link, *options.file);
  if (!row) return Fail(Outcome::kNoSuchFile, err);
  if (options.from_minute && !FromMinuteFits(link.viewer().files()[static_cast<size_t>(*row)], *options.from_minute)) {
    return Fail(Outcome::kNoSuchFile, err);
  }
  link.ui().on_position = [&report](int seconds) {
    char position[16];
    std::snprintf(position, sizeof position, "%02d:%02d", seconds / 60, seconds % 60);
    report.text() << "position " << position << "\n" << std::flush;
    report.Stream(QJsonObject{{"time", QString::fromStdString(IsoTime(std::chrono::system_clock::now()))},
                              {"position", position},
                              {"position_s", seconds}});
  };
  const Outcome started = link.Play(*row, options.from_minute, options.timeout);
  if (started != Outcome::kOk) return Fail(started, err);

  sessions::CSearchViewer& viewer = link.viewer();
  if (options.reverse) {
    viewer.ReversePlay();
  } else {
    viewer.ForwardPlay();
  }
  for (int speed = 1; speed < options.speed; speed *= 2) viewer.Faster();

  std::optional<TemporaryVideoFolder> folder;
  if (options.record) {
    folder.emplace(options.out);
    if (!folder->ok()) {
      err << "kaviroctl: cannot set the video folder\n";
      return static_cast<int>(Outcome::kFailed);
    }
    viewer.ToggleRecording();
    if (!viewer.recording()) {
      err << "kaviroctl: Only at the time of normal forward is possibility of recording.\n";
      return static_cast<int>(Outcome::kFailed);
    }
  }
  // A write that fails ends the run, as for a live recording.
  const int session = viewer.session().index();
  auto write_failure = [&] { return options.record ? link.engine().RecordingFailureText(session) : std::string(); };
  PumpEvents([&] { return !link.connected() || !write_failure().empty(); }, std::chrono::seconds(options.seconds));
  const bool stayed = link.connected();
  if (viewer.recording()) viewer.ToggleRecording();
  const std::string failure = write_failure();

  // The recording's files first, before the pictures join them in the folder.
  if (options.record) {
    const RecordedFiles files = ListRecordedFiles(options.out, report);
    if (!failure.empty()) {
      err << "kaviroctl: " << OutcomeText(Outcome::kWriteFailed) << ": " << failure << "\n"
          << "kaviroctl: kept " << files.count << " files, " << files.bytes << " bytes, whole pictures only\n";
      return static_cast<int>(Outcome::kWriteFailed);
    }
  }
  int code = 0;
  if (!options.out.empty()) code = WritePictures(link, options.out, report, err);
  if (code != 0) return code;
  if (!stayed) return Fail(link.LossOutcome(), err);
  return EveryChannelPictured(link) ? 0 : static_cast<int>(Outcome::kTimeout);
}

}  // namespace

bool ParseMonth(const std::string& text, sessions::CalendarDate* month) {
  if (text.size() != 7 || text[4] != '-') return false;
  int year = 0;
  int number = 0;
  const auto year_end = std::from_chars(text.data(), text.data() + 4, year);
  const auto month_end = std::from_chars(text.data() + 5, text.data() + 7, number);
  if (year_end.ptr != text.data() + 4 || month_end.ptr != text.data() + 7) return false;
  if (year < 2000 || year > 2099 || number < 1 || number > 12) return false;
  *month = {year, number, 1};
  return true;
}

int RunSearch(const SearchOptions& options, CtlReport& report, std::ostream& preamble, std::ostream& err) {
  const sessions::CalendarDate date = options.date.value_or(options.month.value_or(Today()));
  SearchLink link(options.quiet);
  if (const int code = ConnectAndGreet(link, options, date, preamble, err)) return code;
  const int code = options.date ? PrintRows(link, date, report) : PrintDays(link, date, report, err);
  link.Disconnect();
  return code;
}

int RunPlay(const SearchOptions& options, CtlReport& report, std::ostream& preamble, std::ostream& err) {
  SearchLink link(options.quiet);
  if (const int code = ConnectAndGreet(link, options, *options.date, preamble, err)) return code;
  report.Set("date", QString::asprintf("%04d-%02d-%02d", options.date->year, options.date->month, options.date->day));
  report.Set("file", static_cast<qint64>(*options.file));
  const int code = Play(link, options, report, err);
  link.Disconnect();
  if (const int signal = InterruptSignal()) {
    err << "kaviroctl: interrupted\n";
    return 128 + signal;
  }
  return code;
}

}  // namespace kaviroctl
