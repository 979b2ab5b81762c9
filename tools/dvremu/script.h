// The emulator's command language: one command per line, from the --script
// file and from standard input (see README.md for the list). Each command
// turns into a call of the emulator's event and fault hooks.
//
// Threads: any one thread at a time per runner; the hooks it calls are
// thread-safe. "sleep" and "wait" return early once the emulator stops.
#pragma once

#include <string>

namespace dvremu {

class DvrEmulator;

class ScriptRunner {
 public:
  explicit ScriptRunner(DvrEmulator& dvr) : dvr_(dvr) {}

  // Runs one line; false with a message when it is not a valid command.
  // Blank lines and lines starting with '#' do nothing.
  bool Execute(const std::string& line, std::string* error);
  // Runs every line of a file, stopping at the first bad one.
  bool RunFile(const std::string& path, std::string* error);

 private:
  void Pause(long ms);

  DvrEmulator& dvr_;
};

}  // namespace dvremu
