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
                    std::ostream& out, std::ostream& err) {
  const Outcome outcome = link.Connect(options.target, date, options.timeout);
  if (const int signal = InterruptSignal()) {
    err << "kaviroctl: interrupted\n";
    return 128 + signal;
  }
  if (outcome != Outcome::kOk) return Fail(outcome, err);
  out << "logon: accepted\nchannels: " << link.viewer().session().channel_count() << "\n";
  return 0;
}

int PrintDays(SearchLink& link, const sessions::CalendarDate& month, std::ostream& out, std::ostream& err) {
  if (link.month_info_failed()) return Fail(Outcome::kFailed, err);
  for (int day = 1; day <= 31; ++day) {
    if ((link.ui().bold_days >> (day - 1) & 1) == 0) continue;
    char line[16];
    std::snprintf(line, sizeof line, "%04d-%02d-%02d\n", month.year, month.month, day);
    out << line;
  }
  return 0;
}

int PrintRows(SearchLink& link, std::ostream& out) {
  for (const sessions::FileListRow& row : link.ui().rows) {
    out << row.time << "\t" << row.events << "\t" << row.size << "\t" << row.file_index << "\n";
  }
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

int WritePictures(SearchLink& link, const std::string& folder, std::ostream& out, std::ostream& err) {
  const int channels = link.viewer().session().channel_count();
  for (int channel = 1; channel <= channels; ++channel) {
    if (SaveChannelPicture(link.frames().first(channel - 1), channel, folder, out, err) == PictureSaved::kFailed) {
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

int Play(SearchLink& link, const SearchOptions& options, std::ostream& out, std::ostream& err) {
  const std::optional<int> row = RowOfFile(link, *options.file);
  if (!row) return Fail(Outcome::kNoSuchFile, err);
  if (options.from_minute && !FromMinuteFits(link.viewer().files()[static_cast<size_t>(*row)], *options.from_minute)) {
    return Fail(Outcome::kNoSuchFile, err);
  }
  link.ui().on_position = [&out](int seconds) {
    char line[32];
    std::snprintf(line, sizeof line, "position %02d:%02d\n", seconds / 60, seconds % 60);
    out << line << std::flush;
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
      err << "cannot set the video folder\n";
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
    const RecordedFiles files = ListRecordedFiles(options.out, out);
    if (!failure.empty()) {
      err << "kaviroctl: " << OutcomeText(Outcome::kWriteFailed) << ": " << failure << "\n"
          << "kaviroctl: kept " << files.count << " files, " << files.bytes << " bytes, whole pictures only\n";
      return static_cast<int>(Outcome::kWriteFailed);
    }
  }
  int code = 0;
  if (!options.out.empty()) code = WritePictures(link, options.out, out, err);
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

int RunSearch(const SearchOptions& options, std::ostream& out, std::ostream& err) {
  const sessions::CalendarDate date = options.date.value_or(options.month.value_or(Today()));
  SearchLink link(/*quiet=*/true);
  if (const int code = ConnectAndGreet(link, options, date, out, err)) return code;
  const int code = options.date ? PrintRows(link, out) : PrintDays(link, date, out, err);
  link.Disconnect();
  return code;
}

int RunPlay(const SearchOptions& options, std::ostream& out, std::ostream& err) {
  SearchLink link(/*quiet=*/true);
  if (const int code = ConnectAndGreet(link, options, *options.date, out, err)) return code;
  const int code = Play(link, options, out, err);
  link.Disconnect();
  if (const int signal = InterruptSignal()) {
    err << "kaviroctl: interrupted\n";
    return 128 + signal;
  }
  return code;
}

}  // namespace kaviroctl
