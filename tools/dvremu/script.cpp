#include "tools/dvremu/script.h"

#include <charconv>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/trace.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/emulator_options.h"
#include "tools/dvremu/modem_line.h"

namespace dvremu {
namespace {

bool ParseTarget(const std::string& word, Target* target) {
  if (word == "command")
    *target = Target::kCommand;
  else if (word == "stream")
    *target = Target::kStream;
  else if (word == "file")
    *target = Target::kFile;
  else if (word == "all")
    *target = Target::kAll;
  else
    return false;
  return true;
}

}  // namespace

void ScriptRunner::Pause(long ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (dvr_.running() && !dvr_.stop_requested() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long>(ms, 20)));
  }
}

bool ScriptRunner::Execute(const std::string& line, std::string* error) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  if (words.empty() || words[0][0] == '#') return true;
  const std::string& name = words[0];

  // Arguments: numbers first, then an optional port word.
  auto number = [&](size_t at, long min, long max, long fallback, long* out) {
    Target unused = Target::kAll;
    if (at >= words.size() || ParseTarget(words[at], &unused)) {
      if (fallback < min) {
        *error = name + " needs a number";
        return false;
      }
      *out = fallback;
      return true;
    }
    if (!ParseNumber(words[at], min, max, out)) {
      *error = "bad number for " + name + ": " + words[at];
      return false;
    }
    return true;
  };
  auto too_many = [&](size_t max) {
    if (words.size() <= max) return false;
    *error = "too many arguments for " + name;
    return true;
  };
  auto target = [&](size_t at, Target* out) {
    *out = Target::kCommand;
    if (at >= words.size()) return true;
    if (at + 1 < words.size() || !ParseTarget(words[at], out)) {
      *error = "bad arguments for " + name;
      return false;
    }
    return true;
  };

  long value = 0;
  Target port = Target::kCommand;
  Trace("[DVREMU] script: %s", line.c_str());
  if (name == "sensor" || name == "motion") {
    if (too_many(2) || !number(1, 0, 255, -1, &value)) return false;
    if (name == "sensor")
      dvr_.SensorAlarm(static_cast<int>(value));
    else
      dvr_.MotionAlarm(static_cast<int>(value));
  } else if (name == "admin-notice") {
    if (too_many(2) || !number(1, 0, 255, 0x11, &value)) return false;
    dvr_.AdminNotice(static_cast<uint8_t>(value));
  } else if (name == "dvr-notice") {
    if (too_many(2) || !number(1, 0, 255, -1, &value)) return false;
    dvr_.DvrNotice(static_cast<uint8_t>(value));
  } else if (name == "next-result") {
    if (too_many(2) || !number(1, 0, 255, -1, &value)) return false;
    dvr_.ArmNextResult(static_cast<uint8_t>(value));
  } else if (name == "search-channels") {
    if (too_many(2) || !number(1, 0, 255, -1, &value)) return false;
    dvr_.SetSearchChannels(static_cast<uint8_t>(value));
  } else if (name == "refuse-playback") {
    if (too_many(2) || !number(1, 0, 255, -1, &value)) return false;
    dvr_.RefuseNextPlayback(static_cast<uint8_t>(value));
  } else if (name == "drop" || name == "reset" || name == "truncate" || name == "oversize") {
    if (!target(1, &port)) return false;
    if (name == "drop")
      dvr_.Drop(port);
    else if (name == "reset")
      dvr_.Reset(port);
    else if (name == "truncate")
      dvr_.Truncate(port);
    else
      dvr_.Oversize(port);
  } else if (name == "garbage" || name == "stall") {
    const bool garbage = name == "garbage";
    if (!number(1, 1, garbage ? 65536 : 600000, -1, &value) || !target(2, &port)) return false;
    if (garbage)
      dvr_.Garbage(port, static_cast<size_t>(value));
    else
      dvr_.Stall(port, std::chrono::milliseconds(value));
  } else if (name == "modem-answer" || name == "hangup") {
    ModemLine* modem = dvr_.modem();
    ModemAnswer answer = ModemAnswer::kConnect;
    if (!modem) {
      *error = name + " needs --modem";
      return false;
    }
    if (name == "hangup") {
      if (too_many(1)) return false;
      modem->HangUp();
    } else {
      if (too_many(2) || words.size() < 2 || !ParseModemAnswer(words[1], &answer)) {
        *error = "modem-answer takes connect, busy, no-carrier, no-dialtone or no-answer";
        return false;
      }
      modem->SetAnswer(answer);
    }
  } else if (name == "sleep") {
    if (too_many(2) || !number(1, 0, 3600000, -1, &value)) return false;
    Pause(value);
  } else if (name == "wait") {
    // Until a connection on the port is open (at most 60 s), so that a
    // script can hold its events until a client has come.
    if (!target(1, &port)) return false;
    for (int i = 0; i < 3000 && dvr_.running() && !dvr_.stop_requested() && dvr_.ConnectionCount(port) == 0; ++i) {
      Pause(20);
    }
  } else if (name == "quit") {
    if (too_many(1)) return false;
    dvr_.RequestStop();
  } else {
    *error = "unknown command: " + name;
    return false;
  }
  return true;
}

bool ScriptRunner::RunFile(const std::string& path, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line) && dvr_.running() && !dvr_.stop_requested()) {
    ++number;
    if (!Execute(line, error)) {
      *error = path + ":" + std::to_string(number) + ": " + *error;
      return false;
    }
  }
  return true;
}

}  // namespace dvremu
