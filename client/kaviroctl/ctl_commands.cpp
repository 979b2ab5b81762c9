#include "client/kaviroctl/ctl_commands.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include "client/kaviroctl/ctl_download.h"
#include "client/kaviroctl/ctl_report.h"
#include "client/kaviroctl/ctl_search.h"
#include "client/kaviroctl/ctl_services.h"
#include "client/kaviroctl/download_finder.h"
#include "client/kaviroctl/interrupt.h"
#include "client/kaviroctl/live_link.h"
#include "client/kaviroctl/media_commands.h"
#include "client/kaviroctl/modem_link.h"
#include "client/kaviroctl/temporary_video_folder.h"
#include "platform/registry.h"
#include "platform/settings_keys.h"

namespace kaviroctl {

const char kUsageText[] =
    "Usage: kaviroctl [--json] [--verbose] [--modem DEVICE --phone NUMBER [--bridge-port N]] COMMAND\n"
    "       [options]\n"
    "commands:\n"
    "  probe      log on, print the channel count and pan/tilt mask, then the\n"
    "             pictures per second of each channel over --seconds\n"
    "  snapshot   write DIR/chNN.png, the first picture of every channel (--out DIR)\n"
    "  record     record every channel for --seconds into --out DIR\n"
    "  status     print the DVR's status block; with --set-email TEXT, --set-dvr-id TEXT,\n"
    "             --set-call-number TEXT or --set-service-address A.B.C.D (user admin only)\n"
    "             first send the calling service setting (the rest as the DVR has it)\n"
    "  log        print a page of the DVR's event log: --date YYYY-MM-DD [--page N]\n"
    "  light      print the light status, or switch lights with --set 0xNN\n"
    "  ptz        --channel N --action up|down|left|right|zoom-in|zoom-out|focus-near|focus-far\n"
    "             [--ms 500], or --preset N --go|--store [--channel N]\n"
    "  watch      print alarms and event-log lines for --seconds [--ack: acknowledge alarms]\n"
    "             [--reconnect: after a drop, reconnect with the client's back-off]\n"
    "             [--dvr HOST:PORT ...: up to 4 DVRs in one process, lines tagged HOST:PORT]\n"
    "  search     log on in search mode (user admin): the recorded days of the month\n"
    "             [--month YYYY-MM], or the files of a day --date YYYY-MM-DD\n"
    "  play       --date YYYY-MM-DD --file INDEX [--from MM] [--speed 1|2|4|8|16] [--reverse]\n"
    "             [--seconds N] [--out DIR] [--record]: play a recorded file, print its\n"
    "             positions, write DIR/chNN.png and with --record its PLAY files into DIR\n"
    "  download   copy a recorded file: --date YYYY-MM-DD --file INDEX [--from MM:SS]\n"
    "             [--to MM:SS] [--out DIR] into DIR, else the video storage folder\n"
    "  disk       print the index of a DVR hard disk [--image FILE]; --play INDEX --out DIR\n"
    "             writes DIR/chNN.png, the first picture of each channel of that file\n"
    "  cd         print the backup CD's recording (time, size, date) [--image FILE]\n"
    "  play-file  FILE.rmp|FILE.amg --out DIR: DIR/chNN.png, the first picture of each channel\n"
    "  export     (FILE.rmp | FILE.amg | --disk INDEX [--image FILE]) --out CLIP.mp4\n"
    "             [--channel N]: one channel into an MP4 file, pictures copied as recorded\n"
    "global options, before the command:\n"
    "  --json             print the result as one JSON object on standard output;\n"
    "                     watch, play and download print one JSON line per event\n"
    "                     and then the result; a failure adds \"error\",\n"
    "                     \"messages\" and \"exit\" (the exit code) to it\n"
    "  --verbose          print the logon lines on standard output (else on standard\n"
    "                     error) and the DVR's notices on standard error\n"
    "  --modem DEVICE     reach the DVR over the modem on this tty, through the\n"
    "                     loopback bridge run in process\n"
    "  --phone NUMBER     the DVR modem's telephone number, dialed as typed\n"
    "  --bridge-port N    the bridge's command port (2000); stream N+1, file N+2\n"
    "options:\n"
    "  --host ADDRESS     the DVR's IPv4 address (127.0.0.1)\n"
    "  --port N           its command port (4000)\n"
    "  --dvr HOST:PORT    watch: a DVR to watch, instead of --host and --port; repeat it\n"
    "                     for up to 4 DVRs, each with its own session and back-off\n"
    "  --user NAME        user name (admin)\n"
    "  --password TEXT    password (required)\n"
    "  --seconds N        streaming time for probe and record (3)\n"
    "  --timeout N        seconds allowed to connect and to wait for pictures (10)\n"
    "  --out DIR          output folder of snapshot, record, play, download and disk --play\n"
    "  --image FILE       a DVR disk image instead of the drives (or $KAVIRO_DISKS)\n"
    "  --trace            print the debug trace on standard error\n"
    "  --version          print the version and the commit it was built from\n"
    "  --help             print this help\n"
    "times: watch lines and JSON in ISO 8601 with the local offset\n"
    "exit codes: 0 ok, 1 failed, 2 usage, 3 unreachable host, 4 connection refused,\n"
    "  5 wrong user name, 6 wrong password, 7 logon failed, 8 administrator busy, 9 timed out,\n"
    "  10 record file not found, 11 the DVR's administrator is playing back,\n"
    "  12 permission denied (search needs admin), 13 no such file row or a bad range,\n"
    "  14 no DVR hard disk or backup CD found, 15 connection lost, 16 recording write failed,\n"
    "  128 + N ended by signal N (SIGINT, SIGTERM)\n";

namespace {

struct CtlOptions {
  ModemTarget modem;
  bool json = false;
  bool verbose = false;
  bool has_password = false;
  std::string command;
  LinkTarget target;
  int seconds = 3;
  int timeout = 10;
  std::string out;
  ServiceOptions service;
  bool has_date = false;
  SearchOptions search;
  DownloadRow download;
  // watch --dvr: the DVRs as HOST:PORT, in the order given.
  std::vector<std::pair<std::string, uint16_t>> dvrs;
  bool has_host = false;
};

// The most DVRs one client watches, as the viewer's slots.
constexpr size_t kMostWatchedDvrs = 4;

// The options that take a value, for telling an unknown option from a bad value.
// clang-format off
constexpr const char* kValueOptions[] = {
    "--host", "--port", "--user", "--password", "--seconds", "--timeout", "--out", "--date", "--from", "--to",
    "--page", "--set", "--set-email", "--set-dvr-id", "--set-call-number", "--set-service-address", "--channel",
    "--action", "--ms", "--preset", "--month", "--file", "--speed", "--dvr"};
// clang-format on

bool IsValueOption(const std::string& flag) {
  return std::find(std::begin(kValueOptions), std::end(kValueOptions), flag) != std::end(kValueOptions);
}

bool IsCommand(const std::string& command) {
  for (const char* known :
       {"probe", "snapshot", "record", "status", "log", "light", "ptz", "watch", "search", "play", "download"}) {
    if (command == known) return true;
  }
  return false;
}

bool ParseNumber(const std::string& text, int low, int high, int* value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size() && *value >= low && *value <= high;
}

// "HOST:PORT" with a port the stream and file ports still fit above.
bool ParseDvr(const std::string& text, std::vector<std::pair<std::string, uint16_t>>* dvrs) {
  const size_t colon = text.rfind(':');
  int port = 0;
  if (colon == std::string::npos || colon == 0 || !ParseNumber(text.substr(colon + 1), 1, 65534, &port)) return false;
  dvrs->emplace_back(text.substr(0, colon), static_cast<uint16_t>(port));
  return true;
}

// "0xNN" or a decimal number up to 255.
bool ParseHexByte(const std::string& text, int* value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* begin = text.data() + (hex ? 2 : 0);
  const auto [end, error] = std::from_chars(begin, text.data() + text.size(), *value, hex ? 16 : 10);
  return error == std::errc() && end == text.data() + text.size() && *value >= 0 && *value <= 255;
}

// What is missing from a well-formed command line, one line per option.
std::vector<std::string> MissingOptions(const CtlOptions& options) {
  std::vector<std::string> missing;
  const std::string& command = options.command;
  if (!options.has_password) missing.push_back("--password is required");
  const bool dated = command == "log" || command == "download" || command == "play";
  if (dated && !options.has_date) missing.push_back("--date is required");
  if ((command == "download" || command == "play") && !options.search.file) missing.push_back("--file is required");
  if (command == "ptz" && options.service.action.empty() && options.service.preset == 0) {
    missing.push_back("--action or --preset is required");
  }
  if ((command == "snapshot" || command == "record") && options.out.empty()) missing.push_back("--out is required");
  if (command == "play" && options.search.record && options.out.empty()) {
    missing.push_back("--out is required with --record");
  }
  return missing;
}

// False with the error's lines: one for a bad option, one per missing option.
bool Parse(const std::vector<std::string>& args, CtlOptions* options, std::vector<std::string>* errors) {
  std::string message;
  std::string* error = &message;
  const auto failed = [&] {
    errors->push_back(message);
    return false;
  };
  if (args.empty()) {
    *error = "no command";
    return failed();
  }
  size_t first = 0;
  // The global options come before the command name.
  while (first + 1 < args.size() &&
         (args[first] == "--modem" || args[first] == "--phone" || args[first] == "--bridge-port")) {
    const std::string& value = args[first + 1];
    int number = 0;
    if (args[first] == "--modem") {
      options->modem.device = value;
    } else if (args[first] == "--phone") {
      options->modem.phone = value;
    } else if (ParseNumber(value, 1, 65533, &number)) {
      options->modem.bridge_port = static_cast<uint16_t>(number);
    } else {
      *error = "bad value for --bridge-port: " + value;
      return failed();
    }
    first += 2;
  }
  if (first >= args.size()) {
    *error = "no command";
    return failed();
  }
  if (options->modem.device.empty() != options->modem.phone.empty()) {
    *error = "--modem and --phone go together";
    return failed();
  }
  options->target.modem = !options->modem.device.empty();
  if (options->target.modem) options->target.host = options->modem.phone;
  options->command = args[first];
  for (size_t i = first + 1; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (flag == "--trace") continue;  // taken by main before anything is traced
    if (flag == "--go" || flag == "--store") {
      options->service.store = flag == "--store";
      continue;
    }
    if (flag == "--ack") {
      options->service.acknowledge = true;
      continue;
    }
    if (flag == "--reconnect" && options->command == "watch") {
      options->target.reconnect = true;
      continue;
    }
    if (flag == "--reverse" || flag == "--record") {
      (flag == "--reverse" ? options->search.reverse : options->search.record) = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      *error = IsValueOption(flag) ? flag + " needs a value" : "unknown option " + flag;
      return failed();
    }
    const std::string& value = args[++i];
    int number = 0;
    sessions::CalendarDate month;
    if (flag == "--host") {
      options->target.host = value;
      options->has_host = true;
    } else if (flag == "--port" && ParseNumber(value, 1, 65534, &number)) {
      options->target.port = static_cast<uint16_t>(number);
      options->has_host = true;
    } else if (flag == "--dvr" && ParseDvr(value, &options->dvrs)) {
    } else if (flag == "--user") {
      options->target.user = value;
    } else if (flag == "--password") {
      options->target.password = value;
      // The sessions take no empty password: that is none.
      options->has_password = !value.empty();
    } else if (flag == "--seconds" && ParseNumber(value, 1, 86400, &number)) {
      options->seconds = number;
    } else if (flag == "--timeout" && ParseNumber(value, 1, 3600, &number)) {
      options->timeout = number;
    } else if (flag == "--out") {
      options->out = value;
    } else if (flag == "--date" && ParseDate(value, &options->service)) {
      options->has_date = true;
    } else if (flag == "--from" && ParseMinuteSecond(value, &number)) {  // download's MM:SS
      options->download.from_s = number;
    } else if (flag == "--to" && ParseMinuteSecond(value, &number)) {
      options->download.to_s = number;
    } else if (flag == "--page" && ParseNumber(value, 1, 1000000, &number)) {
      options->service.page = number;
    } else if (flag == "--set" && ParseHexByte(value, &number)) {
      options->service.light_set = static_cast<uint8_t>(number);
    } else if (flag == "--set-email") {
      options->service.set_email = value;
    } else if (flag == "--set-dvr-id") {
      options->service.set_dvr_id = value;
    } else if (flag == "--set-call-number") {
      options->service.set_call_number = value;
    } else if (flag == "--set-service-address" && ParseAddress(value)) {
      options->service.set_service_address = ParseAddress(value);
    } else if (flag == "--channel" && ParseNumber(value, 1, 8, &number)) {
      options->service.channel = number;
    } else if (flag == "--action" && IsPtzAction(value)) {
      options->service.action = value;
    } else if (flag == "--ms" && ParseNumber(value, 1, 60000, &number)) {
      options->service.ms = number;
    } else if (flag == "--preset" && ParseNumber(value, 1, 8, &number)) {
      options->service.preset = number;
    } else if (flag == "--month" && ParseMonth(value, &month)) {
      options->search.month = month;
    } else if (flag == "--file" && ParseNumber(value, 0, 0x7FFFFFFF, &number)) {
      options->search.file = static_cast<uint32_t>(number);
    } else if (flag == "--from" && ParseNumber(value, 0, 59, &number)) {
      options->search.from_minute = number;
    } else if (flag == "--speed" && ParseNumber(value, 1, 16, &number) && (number & (number - 1)) == 0) {
      options->search.speed = number;
    } else {
      // Only the messages rely on the list: an option it lacks still works.
      *error = IsValueOption(flag) ? "bad value for " + flag + ": " + value : "unknown option " + flag;
      return failed();
    }
  }
  if (!IsCommand(options->command)) {
    *error = "unknown command " + options->command;
    return failed();
  }
  if (!options->dvrs.empty()) {
    if (options->command != "watch") {
      *error = "--dvr belongs to watch";
      return failed();
    }
    if (options->has_host || options->target.modem) {
      *error = "--dvr takes the place of --host, --port and --modem";
      return failed();
    }
    if (options->dvrs.size() > kMostWatchedDvrs) {
      *error = "at most 4 DVRs with --dvr";
      return failed();
    }
  }
  const ServiceOptions& service = options->service;
  if (options->command != "status" &&
      (service.set_service_address || service.set_email || service.set_dvr_id || service.set_call_number)) {
    *error = "the --set-... options of the calling service belong to status";
    return failed();
  }
  *errors = MissingOptions(*options);
  return errors->empty();
}

// Says why a logged-on link went down; returns its exit code.
int ReportLoss(LiveLink& link, const std::string& kept, std::ostream& err) {
  const Outcome lost = link.LossOutcome();
  err << "kaviroctl: " << OutcomeText(lost) << kept << "\n";
  return static_cast<int>(lost);
}

std::string Seconds(std::chrono::steady_clock::duration duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(duration).count());
  return text;
}

// Made before connecting, so that a folder that cannot be had costs no logon.
bool MakeOutputFolder(const std::string& folder, std::ostream& err) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error && !std::filesystem::is_directory(folder, error)) error = std::make_error_code(std::errc::not_a_directory);
  if (!error) return true;
  err << "kaviroctl: cannot make the folder " << folder << ": " << error.message() << "\n";
  return false;
}

std::string MaskText(uint8_t mask) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", mask);
  return text;
}

int Probe(LiveLink& link, const CtlOptions& options, CtlReport& report, std::ostream& err) {
  const int channels = link.channel_count();
  // The channel count and the mask are probe's own result, wherever the logon lines go.
  report.text() << "channels: " << channels << "\npan/tilt mask: " << MaskText(link.pan_tilt_mask()) << "\n";
  report.Set("channels", channels);
  report.Set("pan_tilt_mask", link.pan_tilt_mask());
  report.Set("seconds", options.seconds);
  link.frames().ResetCounts();
  const auto started = std::chrono::steady_clock::now();
  if (!link.PumpWhileConnected(std::chrono::seconds(options.seconds))) {
    return ReportLoss(link, " after " + Seconds(std::chrono::steady_clock::now() - started), err);
  }
  for (int channel = 1; channel <= channels; ++channel) {
    const double rate = static_cast<double>(link.frames().count(link.SlotOfChannel(channel))) / options.seconds;
    char line[64];
    std::snprintf(line, sizeof line, "channel %d: %.1f pictures/s\n", channel, rate);
    report.text() << line;
    report.Append("rates", QJsonObject{{"channel", channel}, {"pictures_per_second", rate}});
  }
  return 0;
}

int Snapshot(LiveLink& link, const CtlOptions& options, CtlReport& report, std::ostream& err) {
  const int channels = link.channel_count();
  auto all_in = [&] {
    for (int channel = 1; channel <= channels; ++channel) {
      if (link.frames().first(link.SlotOfChannel(channel)).isNull()) return false;
    }
    return true;
  };
  link.Pump([&] { return all_in() || !link.connected(); }, std::chrono::seconds(options.timeout));
  const bool complete = all_in();
  int written = 0;
  for (int channel = 1; channel <= channels; ++channel) {
    const PictureSaved saved =
        SaveChannelPicture(link.frames().first(link.SlotOfChannel(channel)), channel, options.out, report, err);
    if (saved == PictureSaved::kFailed) return static_cast<int>(Outcome::kFailed);
    if (saved == PictureSaved::kSaved) ++written;
  }
  if (!complete && !link.connected()) {
    return ReportLoss(link, "; kept " + std::to_string(written) + " of " + std::to_string(channels) + " pictures", err);
  }
  return complete && written == channels ? 0 : static_cast<int>(Outcome::kTimeout);
}

int Record(LiveLink& link, const CtlOptions& options, CtlReport& report, std::ostream& err) {
  TemporaryVideoFolder folder(options.out);
  if (!folder.ok()) {
    err << "kaviroctl: cannot set the video folder\n";
    return static_cast<int>(Outcome::kFailed);
  }
  vistrel::IVistrelControl& control = link.control();
  const auto started = std::chrono::steady_clock::now();
  // A write that fails ends the run: what follows could not be recorded.
  if (control.SetMpeg4Recording(0, 1) == vistrel::ControlResult::kDone) {
    link.Pump([&] { return !link.connected() || !control.RecordingFailureText(0).empty(); },
              std::chrono::seconds(options.seconds));
  }
  const bool stayed = link.connected();
  const auto recorded = std::chrono::steady_clock::now() - started;
  control.SetMpeg4Recording(0, 0);
  const std::string failure = control.RecordingFailureText(0);

  const RecordedFiles files = ListRecordedFiles(options.out, report);
  const std::string kept = "kept " + std::to_string(files.count) + " files, " + std::to_string(files.bytes) + " bytes";
  if (!failure.empty()) {
    err << "kaviroctl: " << OutcomeText(Outcome::kWriteFailed) << ": " << failure << "\n"
        << "kaviroctl: " << kept << ", whole pictures only\n";
    return static_cast<int>(Outcome::kWriteFailed);
  }
  if (!stayed) {
    return ReportLoss(link, " after " + Seconds(recorded) + " of " + std::to_string(options.seconds) + " s; " + kept,
                      err);
  }
  return files.count == 0 ? static_cast<int>(Outcome::kFailed) : 0;
}

// A command ended by SIGINT or SIGTERM exits as the shells expect.
int Interrupted(int signal, std::ostream& err) {
  err << "kaviroctl: interrupted\n";
  return 128 + signal;
}

// The row by the search session, then the file port by the download session.
int Download(const CtlOptions& options, CtlReport& report, std::ostream& err) {
  DownloadRow row = options.download;
  row.file_index = *options.search.file;
  row.date = {options.service.year, options.service.month, options.service.day};
  sessions::FileDownloadRecord record;
  SearchLink link(!options.verbose);
  const Outcome found =
      FindDownloadRecord(link, options.target, row, std::chrono::seconds(options.timeout), &record, err);
  if (const int signal = InterruptSignal()) return Interrupted(signal, err);
  if (found != Outcome::kOk) {
    err << "kaviroctl: " << OutcomeText(found) << "\n";
    return static_cast<int>(found);
  }
  DownloadOptions download;
  download.out = options.out;
  download.timeout = std::chrono::seconds(options.timeout);
  download.terminal = isatty(STDERR_FILENO) != 0;
  return DownloadRecord(record, download, report, err);
}

ServiceOptions ServiceOptionsOf(const CtlOptions& options) {
  ServiceOptions service = options.service;
  service.timeout = std::chrono::seconds(options.timeout);
  service.seconds = options.seconds;
  return service;
}

// watch --dvr: a link per DVR, each logged on in turn before the watch starts.
int WatchDvrs(const CtlOptions& options, CtlReport& report, std::ostream& preamble, std::ostream& err) {
  std::vector<std::unique_ptr<LiveLink>> links;
  std::vector<WatchedDvr> watched;
  for (const auto& [host, port] : options.dvrs) {
    const std::string tag = host + ":" + std::to_string(port);
    LinkTarget target = options.target;
    target.host = host;
    target.port = port;
    links.push_back(std::make_unique<LiveLink>(!options.verbose));
    const Outcome outcome = links.back()->Connect(target, std::chrono::seconds(options.timeout));
    if (const int signal = InterruptSignal()) return Interrupted(signal, err);
    if (outcome != Outcome::kOk) {
      err << "kaviroctl: " << tag << ": " << OutcomeText(outcome) << "\n";
      return static_cast<int>(outcome);
    }
    preamble << tag << ": logon: accepted, channels: " << links.back()->channel_count() << "\n";
    watched.push_back(WatchedDvr{links.back().get(), tag});
  }
  const int code = RunWatch(watched, ServiceOptionsOf(options), report, err);
  for (auto& link : links) link->Disconnect();
  if (const int signal = InterruptSignal()) return Interrupted(signal, err);
  return code;
}

int RunOnDvr(const CtlOptions& options, CtlReport& report, std::ostream& err) {
  const bool makes_files = options.command == "snapshot" || options.command == "record" ||
                           (options.command == "play" && !options.out.empty());
  if (makes_files && !MakeOutputFolder(options.out, err)) return static_cast<int>(Outcome::kFailed);
  // Every command's sessions reach the DVR through the bridge over the line.
  ModemLink modem_link(err);
  if (options.target.modem && !modem_link.Start(options.modem)) return static_cast<int>(Outcome::kFailed);
  // The logon lines are no result: scripts read standard output.
  std::ostream& preamble = options.verbose ? report.text() : err;
  if (options.command == "search" || options.command == "play") {
    SearchOptions search = options.search;
    search.target = options.target;
    search.timeout = std::chrono::seconds(options.timeout);
    search.seconds = options.seconds;
    search.out = options.out;
    search.quiet = !options.verbose;
    if (options.has_date)
      search.date = sessions::CalendarDate{options.service.year, options.service.month, options.service.day};
    return options.command == "search" ? RunSearch(search, report, preamble, err)
                                       : RunPlay(search, report, preamble, err);
  }
  if (options.command == "download") return Download(options, report, err);
  if (!options.dvrs.empty()) return WatchDvrs(options, report, preamble, err);
  LiveLink link(!options.verbose);
  const Outcome outcome = link.Connect(options.target, std::chrono::seconds(options.timeout));
  if (const int signal = InterruptSignal()) return Interrupted(signal, err);
  // A call that did not get through (busy, no carrier, no dial tone) is an
  // unreachable DVR; the bridge has shown its notice.
  if (outcome != Outcome::kOk && modem_link.lost()) return static_cast<int>(Outcome::kUnreachable);
  if (outcome != Outcome::kOk) {
    err << "kaviroctl: " << OutcomeText(outcome) << "\n";
    return static_cast<int>(outcome);
  }
  preamble << "logon: accepted\nchannels: " << link.channel_count()
           << "\npan/tilt mask: " << MaskText(link.pan_tilt_mask()) << "\n";

  int code = 0;
  if (options.command == "probe") {
    code = Probe(link, options, report, err);
  } else if (options.command == "snapshot") {
    code = Snapshot(link, options, report, err);
  } else if (options.command == "record") {
    code = Record(link, options, report, err);
  } else {
    const ServiceOptions service = ServiceOptionsOf(options);
    if (options.command == "status") code = RunStatus(link, service, report, err);
    if (options.command == "log") code = RunLog(link, service, report, err);
    if (options.command == "light") code = RunLight(link, service, report, err);
    if (options.command == "ptz") code = RunPtz(link, service, report, err);
    if (options.command == "watch") code = RunWatch(link, service, report, err);
  }
  link.Disconnect();
  if (const int signal = InterruptSignal()) return Interrupted(signal, err);
  return code;
}

int Run(const std::vector<std::string>& args, CtlReport& report, bool verbose, std::ostream& err) {
  if (!args.empty() && IsMediaCommand(args[0])) {
    report.Set("command", JsonText(args[0]));
    return RunMediaCommand(args, report, err);
  }
  CtlOptions options;
  options.verbose = verbose;
  std::vector<std::string> errors;
  const bool parsed = Parse(args, &options, &errors);
  if (!options.command.empty()) report.Set("command", JsonText(options.command));
  if (!parsed) return ReportUsageError(errors, err);
  return RunOnDvr(options, report, err);
}

}  // namespace

int RunCommand(const std::vector<std::string>& all_args, std::ostream& out, std::ostream& err) {
  // --json and --verbose may stand anywhere on the line, as --trace may.
  std::vector<std::string> args;
  bool json = false;
  bool verbose = false;
  for (const std::string& arg : all_args) {
    if (arg == "--json") {
      json = true;
    } else if (arg == "--verbose") {
      verbose = true;
    } else {
      args.push_back(arg);
    }
  }
  MessageTap tap(err);
  std::ostream messages(&tap);
  CtlReport report(out, json);
  int code = 0;
  // Nothing thrown below may end the program without the clean-up on the way
  // out (the recording, the temporary store) or without a message.
  try {
    code = Run(args, report, verbose, messages);
  } catch (const std::exception& failure) {
    messages << "kaviroctl: " << failure.what() << "\n";
    code = static_cast<int>(Outcome::kFailed);
  }
  messages.flush();
  report.Finish(code, tap.messages());
  return code;
}

}  // namespace kaviroctl
