#include "tools/dvremu/emulator_options.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace dvremu {

const char kUsageText[] =
    "usage: dvremu [--bind ADDR] [--port 4000] [--channels 4|8|16] [--user NAME --password PW]\n"
    "              [--users FILE] [--size 352x240|704x480] [--fps 30] [--unpaced]\n"
    "              [--pantilt 0x05] [--lights 0xF5] [--seed N] [--days 90]\n"
    "              [--script FILE] [--no-stdin] [--verbose]\n"
    "Serves the command port, the stream port (+1) and the file download port (+2).\n"
    "Lines on standard input (and in the script file) are emulator commands; see README.md.\n";

bool ParseNumber(const std::string& text, long min, long max, long* value) {
  int base = 10;
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  long parsed = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed, base);
  if (error != std::errc() || end != digits.data() + digits.size() || parsed < min || parsed > max) {
    return false;
  }
  *value = parsed;
  return true;
}

bool LoadUsersFile(const std::string& path, std::map<std::string, std::string>* users, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  users->clear();
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string name, password;
    if (!(words >> name) || name[0] == '#') continue;
    words >> password;
    (*users)[name] = password;
  }
  if (users->empty()) {
    *error = path + " names no user";
    return false;
  }
  return true;
}

bool ParseCommandLine(const std::vector<std::string>& args, EmulatorOptions* options, bool* help,
                      std::string* error) {
  *help = false;
  std::string user, password, users_file;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    auto number = [&](long min, long max, long* out) {
      std::string text;
      if (!value(&text)) return false;
      if (!ParseNumber(text, min, max, out)) {
        *error = "bad value for " + arg + ": " + text;
        return false;
      }
      return true;
    };
    long n = 0;
    std::string text;
    if (arg == "--help" || arg == "-h") {
      *help = true;
    } else if (arg == "--bind") {
      if (!value(&options->bind_address)) return false;
    } else if (arg == "--port") {
      if (!number(0, 65533, &n)) return false;
      options->port = static_cast<uint16_t>(n);
    } else if (arg == "--channels") {
      if (!number(1, 16, &n)) return false;
      if (n != 4 && n != 8 && n != 16) {
        *error = "--channels takes 4, 8 or 16";
        return false;
      }
      options->channels = static_cast<int>(n);
    } else if (arg == "--user") {
      if (!value(&user)) return false;
    } else if (arg == "--password") {
      if (!value(&password)) return false;
    } else if (arg == "--users") {
      if (!value(&users_file)) return false;
    } else if (arg == "--size") {
      if (!value(&text)) return false;
      if (text == "352x240") {
        options->width = 352, options->height = 240;
      } else if (text == "704x480") {
        options->width = 704, options->height = 480;
      } else {
        *error = "--size takes 352x240 or 704x480";
        return false;
      }
    } else if (arg == "--fps") {
      if (!number(1, 30, &n)) return false;
      options->fps = static_cast<int>(n);
    } else if (arg == "--unpaced") {
      options->unpaced = true;
    } else if (arg == "--pantilt") {
      if (!number(0, 255, &n)) return false;
      options->pantilt_mask = static_cast<uint8_t>(n);
    } else if (arg == "--lights") {
      if (!number(0, 255, &n)) return false;
      options->lights = static_cast<uint8_t>(n);
    } else if (arg == "--seed") {
      if (!number(0, 0xFFFFFFFFL, &n)) return false;
      options->seed = static_cast<uint32_t>(n);
    } else if (arg == "--days") {
      if (!number(1, 400, &n)) return false;
      options->recorded_days = static_cast<int>(n);
    } else if (arg == "--script") {
      if (!value(&options->script_file)) return false;
    } else if (arg == "--no-stdin") {
      options->read_stdin = false;
    } else if (arg == "--verbose") {
      options->verbose = true;
    } else {
      *error = "unknown argument: " + arg;
      return false;
    }
  }
  if (!users_file.empty() && !LoadUsersFile(users_file, &options->users, error)) return false;
  if (!user.empty() || !password.empty()) {
    if (user.empty()) {
      *error = "--password needs --user";
      return false;
    }
    if (users_file.empty()) options->users.clear();
    options->users[user] = password;
  }
  return true;
}

}  // namespace dvremu
