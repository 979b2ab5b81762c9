#include "client/kaviroctl/ctl_services.h"

#include <QDate>

#include <cstdio>

#include "client/kaviroctl/interrupt.h"
#include "client/sessions/dvr_status_block.h"
#include "client/sessions/log_page.h"
#include "platform/string_table.h"

namespace kaviroctl {
namespace {

using sessions::Arrow;
using sessions::PanTiltMode;

struct PtzAction {
  const char* name;
  PanTiltMode mode;
  Arrow arrow;
};

// Zoom acts on the up and down arrows, focus on left and right.
constexpr PtzAction kActions[] = {
    {"up", PanTiltMode::kMove, Arrow::kUp},
    {"down", PanTiltMode::kMove, Arrow::kDown},
    {"left", PanTiltMode::kMove, Arrow::kLeft},
    {"right", PanTiltMode::kMove, Arrow::kRight},
    {"zoom-in", PanTiltMode::kZoom, Arrow::kUp},
    {"zoom-out", PanTiltMode::kZoom, Arrow::kDown},
    {"focus-near", PanTiltMode::kFocus, Arrow::kLeft},
    {"focus-far", PanTiltMode::kFocus, Arrow::kRight},
};

int Failed() { return static_cast<int>(Outcome::kFailed); }

// A watch line as text, after its time, or as a JSON line with the alarm's fields.
// Watching several DVRs, each line carries its DVR's tag after the time.
void PrintWatchLine(const WatchLine& line, const std::string& tag, CtlReport& report) {
  const std::string time = IsoTime(line.time);
  report.text() << time << " " << (tag.empty() ? "" : tag + " ") << line.kind << ": " << line.text << "\n";
  QJsonObject json{
      {"time", QString::fromStdString(time)}, {"kind", JsonText(line.kind)}, {"text", JsonText(line.text)}};
  if (!tag.empty()) json["address"] = JsonText(tag);
  if (line.dvr != 0) {
    json["dvr"] = line.dvr;
    json[JsonText(line.source)] = line.number;
    if (!line.caption.empty()) json["caption"] = JsonText(line.caption);
  }
  report.Stream(json);
}
int TimedOut() { return static_cast<int>(Outcome::kTimeout); }

std::string Hex(uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

}  // namespace

bool IsPtzAction(const std::string& action) {
  for (const PtzAction& entry : kActions) {
    if (action == entry.name) return true;
  }
  return false;
}

bool ParseDate(const std::string& text, ServiceOptions* options) {
  int year = 0, month = 0, day = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) != 3) return false;
  // A day the calendar does not have (2025-02-30) is no date either.
  if (year < 2000 || year > 2099 || !QDate(year, month, day).isValid()) return false;
  options->year = year;
  options->month = month;
  options->day = day;
  return true;
}

std::optional<std::array<uint8_t, 4>> ParseAddress(const std::string& text) {
  std::array<uint8_t, 4> address{};
  int parts[4] = {};
  char tail = 0;
  if (std::sscanf(text.c_str(), "%3d.%3d.%3d.%3d%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4) {
    return std::nullopt;
  }
  for (int i = 0; i < 4; ++i) {
    if (parts[i] < 0 || parts[i] > 255) return std::nullopt;
    address[static_cast<size_t>(i)] = static_cast<uint8_t>(parts[i]);
  }
  return address;
}

namespace {

std::string DateText(int year, int month, int day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

}  // namespace

QJsonObject LogRecordJson(int year, int month, int day, const sessions::DvrLogRecord& record) {
  return QJsonObject{
      {"time", BcdTimeJson(year, month, day, record.hour, record.minute, record.second)},
      {"time_text", JsonText(sessions::LogTimeText(record))},
      {"event", JsonText(sessions::LogEventText(record))},
      {"code", record.code},
  };
}

namespace {

bool HasSetting(const ServiceOptions& options) {
  return options.set_service_address || options.set_email || options.set_dvr_id || options.set_call_number;
}

// The status block, or the exit code why there is none.
std::optional<sessions::DvrStatusBlock> FetchStatus(LiveLink& link, const ServiceOptions& options, std::ostream& err,
                                                    int* code) {
  if (link.viewer().services().RequestDvrStatus(0) != 0) {
    err << "kaviroctl: the status request could not be sent\n";
    *code = Failed();
    return std::nullopt;
  }
  std::optional<sessions::DvrStatusBlock> status;
  const LinkTrace failed = LinkTrace::kStatusFailed;
  link.Pump([&] { return (status = link.ui().TakeStatus()).has_value() || link.Traced(failed); }, options.timeout);
  if (!status) {
    err << "kaviroctl: no status from the DVR\n";
    *code = link.Traced(failed) ? Failed() : TimedOut();
  }
  return status;
}

// Sends the setting built from the DVR's own and the options; 0 once the
// DVR confirmed it.
int SendSetting(LiveLink& link, const sessions::DvrStatusBlock& status, const ServiceOptions& options,
                CtlReport& report, std::ostream& err) {
  sessions::ServiceSettingBlock setting = sessions::SettingOf(status);
  if (options.set_service_address) setting.address = *options.set_service_address;
  if (options.set_email) setting.email = *options.set_email;
  if (options.set_dvr_id) setting.dvr_id = *options.set_dvr_id;
  if (options.set_call_number) setting.call_number = *options.set_call_number;
  if (link.viewer().services().SendEmailSetting(0, setting) != 0) {
    // The session refuses anyone but "admin"; otherwise the send failed.
    const bool refused = link.viewer().session(0).user_name() != "admin";
    err << "kaviroctl: " << (refused ? platform::LoadString(143) : "the setting could not be sent") << "\n";
    return Failed();
  }
  const LinkTrace done = LinkTrace::kSettingDone;
  const LinkTrace failed = LinkTrace::kSettingFailed;
  link.Pump([&] { return link.Traced(done) || link.Traced(failed); }, options.timeout);
  if (!link.Traced(done)) {
    err << "kaviroctl: " << (link.Traced(failed) ? "the DVR refused the setting" : "no answer to the setting") << "\n";
    return link.Traced(failed) ? Failed() : TimedOut();
  }
  report.text() << "setting: " << platform::LoadString(142) << "\n";
  report.Set("setting", JsonText(platform::LoadString(142)));
  return 0;
}

}  // namespace

int RunStatus(LiveLink& link, const ServiceOptions& options, CtlReport& report, std::ostream& err) {
  link.ui().OpenDialogs(true, false, false);
  int code = 0;
  std::optional<sessions::DvrStatusBlock> status = FetchStatus(link, options, err, &code);
  if (!status) return code;
  if (HasSetting(options)) {
    if (const int sent = SendSetting(link, *status, options, report, err); sent != 0) return sent;
    // What the DVR reports now, as the reopened dialog would show it.
    status = FetchStatus(link, options, err, &code);
    if (!status) return code;
  }
  // The status dialog's fields, in its order and formats.
  const std::pair<const char*, std::string> fields[] = {
      {"version", status->version},
      {"model", status->model},
      {"dvr address", status->address},
      {"capacity", sessions::CapacityText(*status)},
      {"disk 1", sessions::FirstDiskText(*status)},
      {"disk 2", sessions::SecondDiskText(*status)},
      {"mode", status->text6},
      {"video", status->text7},
      {"service", sessions::FlagText(*status)},
      {"e-mail", status->email},
      {"service address", sessions::DottedAddress(status->service_address)},
      {"dvr id", status->dvr_id},
      {"call number", status->call_number},
  };
  for (const auto& [name, value] : fields) {
    report.text() << name << ": " << value << "\n";
    // JSON keys in one style: "dvr_address", "e_mail".
    report.Set(QString(name).replace(' ', '_').replace('-', '_'), JsonText(value));
  }
  return 0;
}

int RunLog(LiveLink& link, const ServiceOptions& options, CtlReport& report, std::ostream& err) {
  link.ui().OpenDialogs(false, true, false);
  const uint32_t page_number = static_cast<uint32_t>(options.page);
  if (link.viewer().services().RequestLogByDate(0, options.year, options.month, options.day, page_number) != 0) {
    err << "kaviroctl: the log request could not be sent\n";
    return Failed();
  }
  const LinkTrace failed = LinkTrace::kLogFailed;
  std::optional<sessions::DvrLogPage> page;
  link.Pump([&] { return (page = link.ui().TakeLogPage()).has_value() || link.Traced(failed); }, options.timeout);
  if (!page) {
    err << "kaviroctl: " << (link.Traced(failed) ? "the DVR has no such page" : "no log page from the DVR") << "\n";
    return link.Traced(failed) ? Failed() : TimedOut();
  }
  char indicator[32];
  std::snprintf(indicator, sizeof indicator, "page %d / %u", options.page, page->page_count);
  report.text() << indicator << "\n";
  const std::string date = DateText(options.year, options.month, options.day);
  report.Set("date", QString::fromStdString(date));
  report.Set("page", options.page);
  report.Set("pages", static_cast<qint64>(page->page_count));
  report.Set("records", QJsonArray());
  // The log viewer's two columns, "Date" (the time) and "Log Event", with
  // the day the viewer shows above them.
  for (const auto& record : page->records) {
    report.text() << date << " " << sessions::LogTimeText(record) << "\t" << sessions::LogEventText(record) << "\n";
    report.Append("records", LogRecordJson(options.year, options.month, options.day, record));
  }
  return 0;
}

int RunLight(LiveLink& link, const ServiceOptions& options, CtlReport& report, std::ostream& err) {
  link.ui().OpenDialogs(false, false, true);
  auto& services = link.viewer().services();
  const int sent = options.light_set ? services.SetLights(0, *options.light_set) : services.RequestLightStatus(0);
  if (sent != 0) {
    err << "kaviroctl: the light request could not be sent\n";
    return Failed();
  }
  const LinkTrace failed = LinkTrace::kLightFailed;
  std::optional<uint8_t> status;
  link.Pump([&] { return (status = link.ui().TakeLightState()).has_value() || link.Traced(failed); }, options.timeout);
  if (!status) {
    err << "kaviroctl: no light status from the DVR\n";
    return link.Traced(failed) ? Failed() : TimedOut();
  }
  report.text() << "lights: " << Hex(*status) << "\n";
  report.Set("status", *status);
  for (int light = 1; light <= 4; ++light) {
    const char* state = !sessions::LightExists(*status, light)   ? "absent"
                        : sessions::LightShownOn(*status, light) ? "on"
                                                                 : "off";
    report.text() << "light " << light << ": " << state << "\n";
    report.Append("lights", QJsonObject{{"light", light}, {"state", state}});
  }
  return 0;
}

int RunPtz(LiveLink& link, const ServiceOptions& options, CtlReport& report, std::ostream& err) {
  int channel = options.channel;
  const uint8_t mask = link.pan_tilt_mask();
  for (int candidate = 1; channel == 0 && candidate <= 8; ++candidate) {
    if (mask & (1u << (candidate - 1))) channel = candidate;
  }
  const int cell = link.SlotOfChannel(channel);
  if (cell < 0) {
    err << "kaviroctl: the DVR has no channel " << channel << "\n";
    return static_cast<int>(Outcome::kUsage);
  }
  // A camera is driven in the 1x1 layout of its channel.
  link.viewer().layouts().Align1x1(cell);
  sessions::PtzControl& ptz = link.viewer().ptz();
  if (ptz.Camera() == 0) {
    err << "kaviroctl: channel " << channel << " has no pan/tilt camera\n";
    return Failed();
  }
  if (options.preset != 0) {
    const uint8_t action = options.store ? sessions::kPresetStore : sessions::kPresetGo;
    if (ptz.Preset(options.preset, action) != 0) {
      err << "kaviroctl: the preset request failed\n";
      return Failed();
    }
    // REQ_PANTILT has no reply; a moment before the disconnect lets it land
    // ahead of the connection's end.
    link.Pump([] { return false; }, std::chrono::milliseconds(200));
    report.text() << "ptz: channel " << channel << " preset " << options.preset
                  << (options.store ? " stored" : " recalled") << "\n";
    report.Set("channel", channel);
    report.Set("preset", options.preset);
    report.Set("preset_action", options.store ? "stored" : "recalled");
    return 0;
  }
  for (const PtzAction& entry : kActions) {
    if (options.action != entry.name) continue;
    if (ptz.mode() != entry.mode) ptz.SetMode(entry.mode);
    if (ptz.ArrowDown(entry.arrow) != 0) {
      err << "kaviroctl: the pan/tilt request failed\n";
      return Failed();
    }
    link.Pump([] { return false; }, std::chrono::milliseconds(options.ms));
    const int released = ptz.ArrowUp(entry.arrow);
    report.text() << "ptz: channel " << channel << " " << entry.name << " for " << options.ms << " ms\n";
    report.Set("channel", channel);
    report.Set("action", entry.name);
    report.Set("ms", options.ms);
    return released == 0 ? 0 : Failed();
  }
  err << "kaviroctl: unknown ptz action " << options.action << "\n";
  return static_cast<int>(Outcome::kUsage);
}

int RunWatch(LiveLink& link, const ServiceOptions& options, CtlReport& report, std::ostream& err) {
  return RunWatch(std::vector<WatchedDvr>{{&link, ""}}, options, report, err);
}

namespace {

// What one DVR of a watch has come to, followed on every turn of the loop.
struct WatchState {
  WatchedDvr dvr;
  int announced_attempt = 0;
  bool ended = false;
  int code = 0;
};

// "kaviroctl: " and, when several DVRs are watched, the DVR's tag.
std::ostream& Message(std::ostream& err, const std::string& tag) {
  err << "kaviroctl: ";
  if (!tag.empty()) err << tag << ": ";
  return err;
}

// With --reconnect a drop is waited out: each attempt gets its line.
bool Going(LiveLink& link) { return link.connected() || link.status().state == sessions::SlotState::kReconnecting; }

void Announce(WatchState& watched, std::ostream& err) {
  const sessions::SlotStatus& status = watched.dvr.link->status();
  if (status.state == sessions::SlotState::kReconnecting && status.attempt != watched.announced_attempt &&
      status.next_delay.count() > 0) {
    watched.announced_attempt = status.attempt;
    Message(err, watched.dvr.tag) << "connection lost; reconnect attempt " << status.attempt << " in "
                                  << status.next_delay.count() / 1000 << " s\n";
    err.flush();
  } else if (status.state == sessions::SlotState::kOnline && watched.announced_attempt != 0) {
    watched.announced_attempt = 0;
    Message(err, watched.dvr.tag) << "reconnected\n";
    err.flush();
  }
}

// Why the link is no longer watched, said once; returns its exit code.
int EndCode(LiveLink& link, const std::string& tag, std::ostream& err) {
  if (link.status().state == sessions::SlotState::kFailed && link.ui().failure() != Outcome::kOk &&
      link.ui().failure() != Outcome::kFailed) {
    // An attempt was refused (a wrong password now): its own code.
    Message(err, tag) << OutcomeText(link.ui().failure()) << "\n";
    return static_cast<int>(link.ui().failure());
  }
  const Outcome lost = link.LossOutcome();
  Message(err, tag) << OutcomeText(lost) << "\n";
  err.flush();
  return static_cast<int>(lost);
}

}  // namespace

int RunWatch(const std::vector<WatchedDvr>& dvrs, const ServiceOptions& options, CtlReport& report, std::ostream& err) {
  std::vector<WatchState> watched;
  for (const WatchedDvr& dvr : dvrs) {
    dvr.link->ui().AnswerAlarms(options.acknowledge);
    watched.push_back(WatchState{dvr});
  }
  report.Set("seconds", options.seconds);
  report.Set("acknowledge", options.acknowledge);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
  auto flush = [&](WatchState& state) {
    for (const WatchLine& line : state.dvr.link->ui().TakeWatchLines()) PrintWatchLine(line, state.dvr.tag, report);
    report.text().flush();
  };
  // A DVR that is gone for good is told at once; the others go on.
  auto going = [&] {
    bool any = false;
    for (WatchState& state : watched) {
      if (!state.ended && !Going(*state.dvr.link)) {
        flush(state);
        state.ended = true;
        state.code = EndCode(*state.dvr.link, state.dvr.tag, err);
      }
      any = any || !state.ended;
    }
    return any;
  };
  // Every link's sessions run on this thread's one event loop.
  while (std::chrono::steady_clock::now() < deadline && going() && InterruptSignal() == 0) {
    watched.front().dvr.link->Pump([] { return false; }, std::chrono::milliseconds(100));
    for (WatchState& state : watched) {
      flush(state);
      if (!state.ended) Announce(state, err);
    }
  }
  int code = 0;
  for (WatchState& state : watched) {
    flush(state);
    LiveLink& link = *state.dvr.link;
    if (!state.ended && !(link.connected() && link.status().state != sessions::SlotState::kReconnecting)) {
      state.ended = true;
      state.code = EndCode(link, state.dvr.tag, err);
    }
    // The first DVR that was lost gives the code.
    if (code == 0) code = state.code;
  }
  return code;
}

}  // namespace kaviroctl
