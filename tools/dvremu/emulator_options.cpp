#include "tools/dvremu/emulator_options.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "tools/dvremu/modem_line.h"

namespace dvremu {

const char kUsageText[] =
    "Usage: dvremu [OPTION]...\n"
    "Serves the command port, the stream port (+1) and the file download port (+2).\n"
    "Lines on standard input (and in the script file) are emulator commands; see README.md.\n"
    "  --bind ADDR          IPv4 address to listen on (127.0.0.1)\n"
    "  --port N             command port (4000); 0 takes three free ports, printed at start\n"
    "  --channels 4|8|16    camera channels (4); 16 only for load tests\n"
    "  --modem              a modem on a pseudo-terminal too, printed as \"modem: PATH\"\n"
    "  --modem-answer WHAT  its answer to a dial: connect, busy, no-carrier, no-dialtone,\n"
    "                       no-answer (connect)\n"
    "  --user NAME          the one account's user name (admin)\n"
    "  --password PW        its password (1234)\n"
    "  --users FILE         accounts instead, one \"name password\" a line, # comments\n"
    "  --size 352x240|704x480  picture size (352x240)\n"
    "  --fps N              pictures per second (30)\n"
    "  --unpaced            send pictures as fast as the socket takes them\n"
    "  --pantilt 0xNN       pan/tilt mask of the live stream reply (0x05)\n"
    "  --lights 0xNN        initial light status: bits 4-7 present, 0-3 on (0xF5)\n"
    "  --seed N             generator seed of the recordings and logs (1)\n"
    "  --days N             days of recordings up to today (90)\n"
    "  --write-disk FILE    write a DVR disk image of the recordings (3 days unless --days) and exit\n"
    "  --write-cd FILE      write a backup CD image of the first recording and exit\n"
    "  --script FILE        run the commands of FILE after start\n"
    "  --no-stdin           do not read commands from standard input\n"
    "  --verbose            trace lines to standard error\n"
    "  --version            print the version and the commit it was built from\n"
    "  --help               print this help\n";

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

bool ParseCommandLine(const std::vector<std::string>& args, EmulatorOptions* options, bool* help, std::string* error) {
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
      options->days_given = true;
    } else if (arg == "--write-disk") {
      if (!value(&options->write_disk)) return false;
    } else if (arg == "--write-cd") {
      if (!value(&options->write_cd)) return false;
    } else if (arg == "--script") {
      if (!value(&options->script_file)) return false;
    } else if (arg == "--no-stdin") {
      options->read_stdin = false;
    } else if (arg == "--verbose") {
      options->verbose = true;
    } else if (arg == "--modem") {
      options->modem = true;
    } else if (arg == "--modem-answer") {
      if (!value(&options->modem_answer)) return false;
      ModemAnswer answer;
      if (!ParseModemAnswer(options->modem_answer, &answer)) {
        *error = "--modem-answer takes connect, busy, no-carrier, no-dialtone or no-answer";
        return false;
      }
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
